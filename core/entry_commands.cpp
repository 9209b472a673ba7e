// SPDX-License-Identifier: GPL-3.0-or-later
// AddEntry and EditEntry, step by step.
#include "entry_commands.h"
#include "dialogs.h"
#include "editor_state.h"
#include "hosts_file.h"
#include "line_codec.h"

#include <QUrl>

#include <algorithm>

namespace zarvello {

namespace {

// What the person is told of a text over MaxTypedLength, and what became of it.
QString tooLong(const QString& text, const QString& kept)
{
    return QStringLiteral("Текст слишком длинный: в нём %1 символов, а запись вмещает не больше "
                          "%2. %3")
        .arg(text.size())
        .arg(MaxTypedLength)
        .arg(kept);
}

} // namespace

QString oneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

QString withAsciiForms(const QString& text)
{
    const qsizetype names = text.indexOf(u'#') < 0 ? text.size() : text.indexOf(u'#');
    QString forms;
    qsizetype after = -1; // the end of the last name that has forms
    for (qsizetype start = 0; start < names;) {
        qsizetype end = text.indexOf(u' ', start);
        if (end < 0 || end > names)
            end = names;
        const QString name = text.sliced(start, end - start);
        const bool ascii =
            std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x80; });
        // Empty when the name is none that the resolver could take.
        const QString ace = ascii ? QString() : QString::fromLatin1(QUrl::toAce(name));
        if (!ace.isEmpty() && ace != name) {
            // As some programs still look names up: ß as ss, ς as σ.
            const QString transitional =
                QString::fromLatin1(QUrl::toAce(name, QUrl::AceTransitionalProcessing));
            forms += u' ' + ace;
            if (!transitional.isEmpty() && transitional != ace && transitional != name)
                forms += u' ' + transitional;
            after = end;
        }
        start = end + 1;
    }
    return after < 0 ? text : QString(text).insert(after, forms);
}

bool AddEntry(EditorState& state, Dialogs& dialogs, Saver& saver, const QString& input)
{
    HostList& list = state.hostList();
    if (input.size() > MaxTypedLength) {
        dialogs.showMessage(tooLong(input,
                                    QStringLiteral("Запись не добавлена, текст остался в "
                                                   "поле.")),
                            errorTitle);
        return false;
    }
    if (!input.isEmpty()) {
        if (!list.AddItem(blockingPrefix + withAsciiForms(oneLine(input)) + entryTag)) {
            dialogs.showMessage(
                QStringLiteral("Список полон: в нём уже %1 записей, больше добавить нельзя. "
                               "Запись «%2» не добавлена.")
                    .arg(HostList::MaxCount)
                    .arg(input),
                errorTitle);
            return false;
        }
    } else {
        dialogs.showMessage(QStringLiteral("Введите хоть что-нибудь"),
                            QStringLiteral("Не майтесь дурью"));
    }
    if (state.autosaveValue()) {
        if (const auto error = SaveHostsFile(state, saver, dialogs))
            showFailure(dialogs, *error);
    }
    return true;
}

void EditEntry(EditorState& state, Dialogs& dialogs, int position, int line)
{
    HostList& list = state.hostList();
    if (position < 0 || position >= list.Count() || line < 0)
        return;
    // The line between the line feeds before and after it; the rest of the entry stays as it is.
    const QByteArray entry = list.lines().at(position);
    qsizetype from = 0;
    for (int before = 0; before < line; ++before)
        if ((from = entry.indexOf('\n', from) + 1) == 0)
            return;
    const qsizetype to = entry.indexOf('\n', from) < 0 ? entry.size() : entry.indexOf('\n', from);
    const QString shown = decodeLine(QByteArrayView(entry).sliced(from, to - from));
    std::optional<QString> reply = shown;
    do {
        if (reply != shown) // asked again with what was typed, which is not lost
            dialogs.showMessage(tooLong(*reply,
                                        QStringLiteral("Строка осталась прежней: "
                                                       "сократите текст.")),
                                errorTitle);
        reply = dialogs.askText(QStringLiteral("Измените адресс"),
                                QStringLiteral("Редактирование записи"), *reply);
    } while (reply && *reply != shown && reply->size() > MaxTypedLength);
    if (reply)
        list.setLine(position, entry.first(from) + encodeLine(*reply) + entry.sliced(to));
}

} // namespace zarvello
