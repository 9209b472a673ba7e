// SPDX-License-Identifier: GPL-3.0-or-later
// AddEntry and EditEntry, step by step.
#include "entry_commands.h"
#include "dialogs.h"
#include "editor_state.h"
#include "hosts_file.h"

namespace zarvello {

QString oneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

bool AddEntry(EditorState& state, Dialogs& dialogs, Saver& saver, const QString& input)
{
    HostList& list = state.hostList();
    if (!input.isEmpty()) {
        if (!list.AddItem(blockingPrefix + oneLine(input) + entryTag)) {
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

void EditEntry(EditorState& state, Dialogs& dialogs, int position)
{
    HostList& list = state.hostList();
    if (position < 0 || position >= list.Count())
        return;
    const std::optional<QString> reply =
        dialogs.askText(QStringLiteral("Измените адресс"), QStringLiteral("Редактирование записи"),
                        list.Item(position));
    if (reply)
        list.SetItem(position, *reply);
}

} // namespace zarvello
