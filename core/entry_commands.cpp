// AddEntry and EditEntry, step by step.
#include "entry_commands.h"
#include "dialogs.h"
#include "editor_state.h"
#include "hosts_file.h"

namespace zarvello {

void AddEntry(EditorState& state, Dialogs& dialogs, QString& input)
{
    HostList& list = state.hostList();
    if (!input.isEmpty()) {
        if (!list.AddItem(blockingPrefix + input + entryTag)) {
            dialogs.showMessage(QStringLiteral("Список полон: в нём уже %1 записей, больше добавить нельзя. "
                                               "Запись «%2» не добавлена.")
                                    .arg(HostList::MaxCount)
                                    .arg(input),
                                errorTitle);
            return;
        }
    } else {
        dialogs.showMessage(QStringLiteral("Введите хоть что-нибудь"), QStringLiteral("Не майтесь дурью"));
    }
    input.clear();
    if (state.autosaveValue()) {
        if (const auto error = SaveHostsFile(state))
            showFailure(dialogs, *error);
    }
}

void EditEntry(EditorState& state, Dialogs& dialogs, int position)
{
    HostList& list = state.hostList();
    if (position < 0 || position >= list.Count())
        return;
    const std::optional<QString> reply =
        dialogs.askText(QStringLiteral("Измените адресс"), QStringLiteral("Редактирование записи"), list.Item(position));
    if (reply)
        list.SetItem(position, *reply);
}

} // namespace zarvello
