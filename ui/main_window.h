// SPDX-License-Identifier: GPL-3.0-or-later
// Form1, the program's one window: the list, the input field, the Add button, the autosave box
// and the File menu, each wired to its command.
#pragma once

#include "editor_state.h"
#include "file_commands.h"
#include "host_rows.h"
#include "saver.h"

#include <QMainWindow>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;

namespace zarvello {

class HostListView;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Dialogs& dialogs, Saver& saver, QWidget* parent = nullptr);

    EditorState& state() { return m_state; }

protected:
    // Command1 is the default button: Return or Enter anywhere in the window adds the entry.
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // Device-independent pixels per twip (1440 twips to the inch), and the controls placed by it.
    double pixelsPerTwip() const;
    void layOut();
    void buildMenu();
    void bindToState();
    void addEntry();
    void waitFor(bool waiting);
    void openFileMenu();

    EditorState m_state;
    HostRows m_rows{m_state.hostList()};
    Dialogs& m_dialogs;
    Saver& m_saver;
    QWidget* m_focusBeforeWait = nullptr;
    CommonDialog dlgFile;

    HostListView* List1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QMenu* file = nullptr;
    QAction* open = nullptr;
    QAction* save = nullptr;
    QAction* save_as = nullptr;
    QAction* ends = nullptr;
    // What releasing Alt does, when it was pressed and released with nothing else in between.
    enum class AltTap { None, Opens, Closes } m_altTap = AltTap::None;
};

} // namespace zarvello
