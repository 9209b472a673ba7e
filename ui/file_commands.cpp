// Open, Save, Save As and Exit.
#include "file_commands.h"
#include "editor_state.h"
#include "hosts_file.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace zarvello {

FileDialogSettings CommonDialog::settings() const
{
    return {CancelError, DialogTitle, FileName, DefaultExt, Filter, FilterIndex, InitDir};
}

bool CommonDialog::ShowOpen()
{
    const std::optional<QString> chosen = m_dialogs.chooseOpenPath(settings());
    if (chosen)
        FileName = *chosen;
    return chosen.has_value();
}

bool CommonDialog::ShowSave()
{
    const std::optional<QString> chosen = m_dialogs.chooseSavePath(settings());
    if (chosen)
        FileName = *chosen;
    return chosen.has_value();
}

QString startingFolder(const EditorState& state)
{
    if (state.currentPath().isEmpty())
        return QStringLiteral("/etc");
    return QFileInfo(state.currentPath()).absolutePath();
}

void OpenCommand(EditorState& state, CommonDialog& dlgFile, Dialogs& dialogs)
{
    dlgFile.CancelError = false;
    dlgFile.DialogTitle = QStringLiteral("Открыть");
    dlgFile.FileName = QStringLiteral("hosts");
    dlgFile.DefaultExt = QStringLiteral("hosts");
    dlgFile.Filter = QStringLiteral("hosts|hosts");
    dlgFile.FilterIndex = 1;
    dlgFile.InitDir = startingFolder(state);
    // A cancelled dialog changes nothing, so Save keeps writing to the file it wrote before.
    if (!dlgFile.ShowOpen() || dlgFile.FileName.isEmpty())
        return;

    // The path is taken only once the file has loaded: Save must not write this list over a file
    // whose lines it does not hold.
    if (const auto error = LoadHostsFile(state.hostList(), dlgFile.FileName)) {
        showFailure(dialogs, *error);
        return;
    }
    state.setCurrentPath(dlgFile.FileName);
    state.setSaveEnabled(true);
    state.setAutosaveEnabled(true);
}

void SaveCommand(EditorState& state, Dialogs& dialogs)
{
    if (const auto error = SaveHostsFile(state))
        showFailure(dialogs, *error);
}

void SaveAsCommand(EditorState& state, CommonDialog& dlgFile, Dialogs& dialogs)
{
    dlgFile.CancelError = false;
    dlgFile.DialogTitle = QStringLiteral("Сохраняемся");
    dlgFile.FileName = QStringLiteral("hosts");
    dlgFile.InitDir = startingFolder(state);
    if (!dlgFile.ShowSave() || dlgFile.FileName.isEmpty())
        return;

    state.setCurrentPath(dlgFile.FileName);
    state.setSaveEnabled(true);
    state.setAutosaveEnabled(true);
    SaveCommand(state, dialogs);
}

void ExitCommand()
{
    QCoreApplication::exit(0);
}

} // namespace zarvello
