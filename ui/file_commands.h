// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu's commands and dlgFile, the one file dialog they share.
#pragma once

#include "dialogs.h"

#include <QString>

namespace zarvello {

class EditorState;
class Saver;

// dlgFile: a file dialog whose settings stay set between uses, as the commands rely on: a Save As
// after an Open shows the Open's filter and default extension.
class CommonDialog {
public:
    explicit CommonDialog(Dialogs& dialogs)
        : m_dialogs(dialogs)
    {
    }

    FileDialogSettings settings;

    // Each shows its modal dialog with the settings and stores the chosen path as the file name.
    // They return false, leaving it as it was, when the person cancels.
    bool ShowOpen();
    bool ShowSave();

private:
    // Shows one of the two dialogs of m_dialogs, as ShowOpen and ShowSave do.
    bool show(std::optional<QString> (Dialogs::*choose)(const FileDialogSettings&));

    Dialogs& m_dialogs;
};

// The folder a file dialog starts in: that of the current file, else where the system keeps its
// hosts file.
QString startingFolder(const EditorState& state);

void OpenCommand(EditorState& state, CommonDialog& dlgFile, Dialogs& dialogs);
// The Save item: writes the list to the current path and reports a failure.
void SaveCommand(EditorState& state, Dialogs& dialogs, Saver& saver);
void SaveAsCommand(EditorState& state, CommonDialog& dlgFile, Dialogs& dialogs, Saver& saver);
// Ends the program at once, asking nothing and saving nothing.
void ExitCommand();

} // namespace zarvello
