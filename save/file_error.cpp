// SPDX-License-Identifier: GPL-3.0-or-later
// The Russian wording of file failures; what commands tell besides stands beside each command.
#include "file_error.h"

#include <QList>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zarvello {

namespace {

// The C library speaks the user's language only when its locale has a catalogue for it; the
// program must speak Russian everywhere, so the usual reasons are worded here.
QString systemReason(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("нет такого файла или папки");
    case EACCES:
        return QStringLiteral("нет доступа");
    case EPERM:
        return QStringLiteral("операция не позволена");
    case EISDIR:
        return QStringLiteral("это папка, а не файл");
    case ENOTDIR:
        return QStringLiteral("часть пути не является папкой");
    case EROFS:
        return QStringLiteral("файловая система доступна только для чтения");
    case ENOSPC:
        return QStringLiteral("на диске нет места");
    case EDQUOT:
        return QStringLiteral("превышена дисковая квота");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя");
    case ELOOP:
        return QStringLiteral("слишком много символических ссылок");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("файл занят");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    case ENXIO:
        return QStringLiteral("устройство или адрес недоступны");
    case EFBIG:
        return QStringLiteral("файл слишком велик");
    case ESTALE:
        return QStringLiteral("файл подменили во время сохранения");
    case EINVAL:
        return QStringLiteral("недопустимый запрос");
    case ENOMEM:
        return QStringLiteral("не хватает памяти");
    default:
        return QStringLiteral("системная ошибка %1 (%2)")
            .arg(error)
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

// Why a file could not be read or written, or saved with administrator rights.
QString reasonText(FileError::Reason reason, int systemError)
{
    using Reason = FileError::Reason;
    switch (reason) {
    case Reason::NotRegularFile:
        return QStringLiteral("это не обычный файл");
    case Reason::ForeignLink:
        return QStringLiteral(
            "путь идёт через символическую ссылку чужого пользователя в общей папке");
    case Reason::UnsafeFolder:
        return QStringLiteral("в папку на пути к нему может писать не только администратор, а с "
                              "его правами программа пишет только туда, где решает он один");
    case Reason::UnsafeLink:
        return QStringLiteral("путь идёт через символическую ссылку, которая принадлежит не "
                              "администратору");
    case Reason::SeveralNames:
        return QStringLiteral("у файла несколько имён (жёстких ссылок), а с правами "
                              "администратора программа пишет только файлы с одним именем");
    case Reason::KernelInterface:
        return QStringLiteral("это не файл на диске, а файл ядра, а с правами администратора "
                              "программа пишет только файлы на дисках");
    case Reason::PersonsDisk:
        return QStringLiteral("путь идёт через диск, подключённый без права запуска от имени "
                              "владельца (nosuid), как подключают флешки, карты памяти и образы "
                              "дисков, а с правами администратора программа пишет только на "
                              "диски системы");
    case Reason::PlaceChanged:
        return QStringLiteral("путь к нему ведёт уже не в ту папку, которую показал запрос пароля");
    case Reason::UnshowableName:
        return QStringLiteral(
            "в его имени есть знаки, которые запрос пароля не покажет как есть: "
            "управляющие, невидимые, пробелы, кроме обычного внутри имени, "
            "надстрочные знаки в начале имени, знаки, похожие на косую черту, "
            "знаки, не назначенные в Юникоде или для частного использования, или байты "
            "не UTF-8");
    case Reason::IndirectPath:
        return QStringLiteral("путь к нему не прямой: относительный или с «.», «..» или пустыми "
                              "частями");
    case Reason::LimitsLowered:
        return QStringLiteral("помощнику урезали ресурсы процесса, а поднять их он не может");
    case Reason::Traced:
        return QStringLiteral("программу сейчас трассирует (отлаживает) другой процесс");
    case Reason::Busy:
        return QStringLiteral("прежнее сохранение этого файла с правами администратора ещё не "
                              "закончилось, сохраните его позже");
    case Reason::NoAnswer:
        return QStringLiteral("помощник с правами администратора не ответил");
    case Reason::ChangedMeanwhile:
        return QStringLiteral("его раз за разом меняет другая программа");
    default:
        return systemError ? systemReason(systemError)
                           : QStringLiteral("помощник с правами администратора отказался его "
                                            "писать");
    }
}

// What came of asking for administrator rights that pkexec did not give: what was missing. The
// file's state is told before.
QString deniedText(FileError::Reason reason)
{
    using Reason = FileError::Reason;
    switch (reason) {
    case Reason::NoPolkitService:
        return QStringLiteral("Права администратора спросить не у кого: в системе не работает "
                              "служба polkit, которая их выдаёт.");
    case Reason::NoAuthenticationAgent:
        return QStringLiteral("Пароль администратора спросить некому: на рабочем столе не запущен "
                              "агент polkit, программа, которая показывает запрос пароля.");
    case Reason::NotAuthorized:
        return QStringLiteral("В правах администратора отказано: система не дала их этому "
                              "пользователю.");
    default:
        return QStringLiteral("В правах администратора отказано.");
    }
}

// A name as the person can read it: characters that would hide or reorder what follows are
// shown by their numbers.
QString visible(const QString& path)
{
    QString shown;
    const QList<uint> characters = path.toUcs4();
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const char32_t c = characters[i];
        if (hidesText(c, i == 0 || characters[i - 1] == '/',
                      i + 1 == characters.size() || characters[i + 1] == '/'))
            shown += QStringLiteral("\\u{%1}").arg(QString::number(uint(c), 16).toUpper());
        else
            shown += QString::fromUcs4(&c, 1);
    }
    return shown;
}

} // namespace

bool hidesText(char32_t c, bool startsPart, bool endsPart)
{
    // Unicode's Default_Ignorable_Code_Point, which Qt 6.4 does not tell: shown as nothing,
    // whatever their category (the Hangul fillers among them).
    constexpr std::pair<char32_t, char32_t> Ignorable[] = {
        {0x00AD, 0x00AD},   {0x034F, 0x034F}, {0x061C, 0x061C},   {0x115F, 0x1160},
        {0x17B4, 0x17B5},   {0x180B, 0x180F}, {0x200B, 0x200F},   {0x202A, 0x202E},
        {0x2060, 0x206F},   {0x3164, 0x3164}, {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},
        {0xFFA0, 0xFFA0},   {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
        {0xE0000, 0xE0FFF},
    };
    // Blank symbols and a filler that show as nothing, and signs drawn as a slash, with which a
    // file in one folder would read as one in another.
    constexpr char32_t Blank[] = {0x2800, 0x16FE4, 0x2044, 0x2215, 0x29F8, 0xFF0F};
    if (std::find(std::begin(Blank), std::end(Blank), c) != std::end(Blank)
        || std::any_of(std::begin(Ignorable), std::end(Ignorable),
                       [c](auto r) { return c >= r.first && c <= r.second; }))
        return true;
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    case QChar::Separator_Space:
        return c != U' ' || endsPart;
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return startsPart;
    default:
        return false;
    }
}

QString FileError::message() const
{
    const QString shown = visible(path);
    if (reason == Reason::TooManyEntries) {
        const QString text = operation == Operation::Write
            ? QStringLiteral("Файл «%1» не сохранён: его изменила другая программа, и с её "
                             "строками в списке стало бы больше %2 записей, а больше он не "
                             "вмещает. Файл и список остались прежними.")
            : QStringLiteral("Файл «%1» не открыт: список вмещает не больше %2 записей, а с этим "
                             "файлом их стало бы больше. Из файла ничего не добавлено.");
        return text.arg(shown, QString::number(maxEntries));
    }
    if (reason == Reason::TooLarge) {
        return QStringLiteral("Файл «%1» не открыт: он больше %2 МиБ, это не похоже на файл hosts. "
                              "Из файла ничего не добавлено.")
            .arg(shown, QString::number(maxMebibytes));
    }
    const QString why = reasonText(reason, systemError);
    if (operation == Operation::Read)
        return QStringLiteral("Не удалось прочитать файл «%1»: %2.").arg(shown, why);
    if (reason == Reason::CopyLeft)
        return QStringLiteral(
                   "Файл «%1» сохранён, но его временную копию рядом с ним (имя начинается "
                   "на «.zarvello-») удалить не удалось: %2.")
            .arg(shown, why);
    if (fileState == FileState::WrittenNotDurable)
        return QStringLiteral(
                   "Файл «%1» записан, но система не подтвердила, что он сохранён на диске: %2.")
            .arg(shown, why);
    const QString outcome = fileState == FileState::Unchanged
        ? QStringLiteral("Файл остался прежним.")
        : fileState == FileState::OldOrNew
        ? QStringLiteral("Файл мог остаться прежним, а мог быть и сохранён.")
        : QStringLiteral("Файл мог остаться записанным не полностью.");
    QString rights;
    if (this->rights == Rights::NotGiven)
        rights = QStringLiteral(" Права администратора не получены.");
    else if (this->rights == Rights::Denied)
        rights = ' ' + deniedText(rightsRefusal);
    else if (this->rights == Rights::Refused)
        rights = QStringLiteral(" С правами администратора его сохранить нельзя: %1.")
                     .arg(reasonText(rightsRefusal, rightsRefusalError));
    const QString taken = outsideAdded > 0 || outsideRemoved > 0
        ? QStringLiteral(" Изменения другой программы уже взяты в список: строк добавлено — %1, "
                         "убрано — %2.")
              .arg(QString::number(outsideAdded), QString::number(outsideRemoved))
        : QString();
    // pkexec's words, in its language and not ours, come last, as the system's.
    const QString said = this->rights == Rights::Denied && !rightsDenial.isEmpty()
        ? QStringLiteral(" Сообщение системы: «%1».").arg(rightsDenial)
        : QString();
    return QStringLiteral("Не удалось сохранить файл «%1»: %2. %3%4%5%6")
        .arg(shown, why, outcome, rights, taken, said);
}

} // namespace zarvello
