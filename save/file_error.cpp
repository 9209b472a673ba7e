// SPDX-License-Identifier: GPL-3.0-or-later
// The Russian wording of file failures, all in one place.
#include "file_error.h"

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

} // namespace

QString FileError::message() const
{
    if (reason == Reason::TooManyEntries) {
        const QString text = operation == Operation::Write
            ? QStringLiteral("Файл «%1» не сохранён: его изменила другая программа, и с её "
                             "строками в списке стало бы больше %2 записей, а больше он не "
                             "вмещает. Файл и список остались прежними.")
            : QStringLiteral("Файл «%1» не открыт: список вмещает не больше %2 записей, а с этим "
                             "файлом их стало бы больше. Из файла ничего не добавлено.");
        return text.arg(path).arg(maxEntries);
    }
    if (reason == Reason::TooLarge) {
        return QStringLiteral("Файл «%1» не открыт: он больше %2 МиБ, это не похоже на файл hosts. "
                              "Из файла ничего не добавлено.")
            .arg(path)
            .arg(maxMebibytes);
    }
    QString why;
    if (reason == Reason::NotRegularFile)
        why = QStringLiteral("это не обычный файл");
    else if (reason == Reason::ForeignLink)
        why = QStringLiteral(
            "путь идёт через символическую ссылку чужого пользователя в общей папке");
    else if (reason == Reason::UnsafeFolder)
        why = QStringLiteral("в папку на пути к нему может писать не только администратор, а с его "
                             "правами программа пишет только туда, где решает он один");
    else if (reason == Reason::UnsafeLink)
        why = QStringLiteral("путь идёт через символическую ссылку, которая принадлежит не "
                             "администратору");
    else if (reason == Reason::SeveralNames)
        why = QStringLiteral("у файла несколько имён (жёстких ссылок), а с правами администратора "
                             "программа пишет только файлы с одним именем");
    else if (reason == Reason::NoAnswer)
        why = QStringLiteral("помощник с правами администратора не ответил");
    else
        why = systemReason(systemError);
    if (operation == Operation::Read)
        return QStringLiteral("Не удалось прочитать файл «%1»: %2.").arg(path, why);
    if (reason == Reason::CopyLeft)
        return QStringLiteral(
                   "Файл «%1» сохранён, но его временную копию рядом с ним (имя начинается "
                   "на «.zarvello-») удалить не удалось: %2.")
            .arg(path, why);
    if (fileState == FileState::WrittenNotDurable)
        return QStringLiteral(
                   "Файл «%1» записан, но система не подтвердила, что он сохранён на диске: %2.")
            .arg(path, why);
    const QString outcome = fileState == FileState::Unchanged
        ? QStringLiteral("Файл остался прежним.")
        : fileState == FileState::OldOrNew
        ? QStringLiteral("Файл мог остаться прежним, а мог быть и сохранён.")
        : QStringLiteral("Файл мог остаться записанным не полностью.");
    const QString rights =
        adminRefused ? QStringLiteral(" Права администратора не получены.") : QString();
    return QStringLiteral("Не удалось сохранить файл «%1»: %2. %3%4")
        .arg(path, why, outcome, rights);
}

} // namespace zarvello
