// SPDX-License-Identifier: GPL-3.0-or-later
// Open, Save, Save As and Exit.
#include "file_commands.h"
#include "editor_state.h"
#include "hosts_file.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace zarvello {

bool CommonDialog::show(std::optional<QString> (Dialogs::*choose)(const FileDialogSettings&))
{
    const std::optional<QString> chosen = (m_dialogs.*choose)(settings);
    if (chosen)
        settings.fileName = *chosen;
    return chosen.has_value();
}

bool CommonDialog::ShowOpen()
{
    return show(&Dialogs::chooseOpenPath);
}

bool CommonDialog::ShowSave()
{
    return show(&Dialogs::chooseSavePath);
}

QString startingFolder(const EditorState& state)
{
    if (state.currentPath().isEmpty())
        return QStringLiteral("/etc");
    return QFileInfo(state.currentPath()).absolutePath();
}

void OpenCommand(EditorState& state, CommonDialog& dlgFile, Dialogs& dialogs)
{
    FileDialogSettings& dialog = dlgFile.settings;
    dialog.title = QStringLiteral("Открыть");
    dialog.fileName = QStringLiteral("hosts");
    dialog.defaultExt = QStringLiteral("hosts");
    dialog.filter = QStringLiteral("hosts|hosts");
    dialog.filterIndex = 1;
    dialog.initialDir = startingFolder(state);
    // A cancelled dialog changes nothing, so Save keeps writing to the file it wrote before.
    if (!dlgFile.ShowOpen() || dialog.fileName.isEmpty())
        return;

    // The path is taken only once the file has loaded: Save must not write this list over a file
    // whose lines it does not hold.
    if (const auto error = LoadHostsFile(state, dialog.fileName)) {
        showFailure(dialogs, *error);
        return;
    }
    state.setCurrentPath(dialog.fileName);
    state.setSaveEnabled(true);
    state.setAutosaveEnabled(true);
}

void SaveCommand(EditorState& state, Dialogs& dialogs, Saver& saver)
{
    if (const auto error = SaveHostsFile(state, saver, dialogs))
        showFailure(dialogs, *error);
}

void SaveAsCommand(EditorState& state, CommonDialog& dlgFile, Dialogs& dialogs, Saver& saver)
{
    FileDialogSettings& dialog = dlgFile.settings;
    dialog.title = QStringLiteral("Сохраняемся");
    dialog.fileName = QStringLiteral("hosts");
    dialog.initialDir = startingFolder(state);
    if (!dlgFile.ShowSave() || dialog.fileName.isEmpty())
        return;

    state.setCurrentPath(dialog.fileName);
    state.setSaveEnabled(true);
    state.setAutosaveEnabled(true);
    SaveCommand(state, dialogs, saver);
}

void ExitCommand()
{
    QCoreApplication::exit(0);
}

} // namespace zarvello
