// SPDX-License-Identifier: GPL-3.0-or-later
// Form1: controls at their fixed places, the menu, the bindings and the event wiring.
#include "main_window.h"
#include "entry_commands.h"
#include "host_list_view.h"
#include "one_line_validator.h"

#include <QApplication>
#include <QCheckBox>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

namespace zarvello {

namespace {

#include "icon_pixels.inc"

// Built from pixels compiled in, so that start-up decodes no image file.
QIcon programIcon()
{
    QList<QRgb> palette(std::begin(iconPalette), std::end(iconPalette));
    QIcon icon;
    for (const auto& [size, pixels] : {std::pair{16, iconPixels16}, std::pair{32, iconPixels32}}) {
        QImage image(pixels, size, size, size, QImage::Format_Indexed8);
        image.setColorTable(palette);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QRect fromTwips(int left, int top, int width, int height)
{
    constexpr int t = MainWindow::TwipsPerPixel;
    return {left / t, top / t, width / t, height / t};
}

} // namespace

MainWindow::MainWindow(Dialogs& dialogs, Saver& saver, QWidget* parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs)
    , m_saver(saver)
    , dlgFile(dialogs)
{
    setObjectName("Form1");
    setWindowTitle("Zarvello");
    setWindowIcon(programIcon());

    buildControls();
    buildMenu();
    bindToState();

    // The event wiring, all of it.
    connect(Command1, &QPushButton::clicked, this, &MainWindow::addEntry);
    connect(List1, &HostListView::entryChosen, this, [this](int position) { EditEntry(m_state, m_dialogs, position); });
    connect(open, &QAction::triggered, this, [this] { OpenCommand(m_state, dlgFile, m_dialogs); });
    connect(save, &QAction::triggered, this, [this] { SaveCommand(m_state, m_dialogs, m_saver); });
    connect(save_as, &QAction::triggered, this, [this] { SaveAsCommand(m_state, dlgFile, m_dialogs, m_saver); });
    connect(ends, &QAction::triggered, this, &ExitCommand);
    connect(&m_saver, &Saver::waiting, this, &MainWindow::waitFor);

    m_state.StartUp(); // the window's Load: before it is first shown
}

void MainWindow::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName("client");
    // Nothing follows a resize, so the window keeps the size of its layout.
    client->setFixedSize(6270 / TwipsPerPixel, 5070 / TwipsPerPixel);
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    List1 = new HostListView(client);
    List1->setObjectName("List1");
    List1->setModel(&m_state.hostList());
    List1->setGeometry(fromTwips(0, 0, 6255, 4350));
    List1->setAccessibleName(QStringLiteral("Строки файла hosts"));
    List1->setAccessibleDescription(QStringLiteral("Щелчок по строке открывает её для правки"));

    Text1 = new QLineEdit(client);
    Text1->setObjectName("Text1");
    Text1->setGeometry(fromTwips(0, 4440, 6255, 285));
    Text1->setAccessibleName(QStringLiteral("Имя хоста для блокировки"));
    Text1->setValidator(new OneLineValidator(Text1));

    Command1 = new QPushButton(QStringLiteral("Добавить"), client);
    Command1->setObjectName("Command1");
    Command1->setGeometry(fromTwips(2280, 4800, 3975, 255));

    Check1 = new QCheckBox(QStringLiteral("Автосохранение"), client);
    Check1->setObjectName("Check1");
    Check1->setGeometry(fromTwips(120, 4800, 2055, 255));

    // Created in tab order, so the focus chain needs no setTabOrder.
    List1->setFocus();
}

void MainWindow::buildMenu()
{
    file = menuBar()->addMenu(QStringLiteral("Файл"));
    file->setObjectName("file");
    file->menuAction()->setObjectName("file");
    const auto addItem = [this](const char* name, const QString& caption) {
        QAction* action = file->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    open = addItem("open", QStringLiteral("Открыть"));
    save = addItem("save", QStringLiteral("Сохранить"));
    save_as = addItem("save_as", QStringLiteral("Сохранить как..."));
    ends = addItem("ends", QStringLiteral("Выход"));
}

void MainWindow::bindToState()
{
    save->setEnabled(m_state.saveEnabled());
    Check1->setEnabled(m_state.autosaveEnabled());
    Check1->setChecked(m_state.autosaveValue());
    connect(&m_state, &EditorState::saveEnabledChanged, save, &QAction::setEnabled);
    connect(&m_state, &EditorState::autosaveEnabledChanged, Check1, &QCheckBox::setEnabled);
    connect(&m_state, &EditorState::autosaveValueChanged, Check1, &QCheckBox::setChecked);
    connect(Check1, &QCheckBox::toggled, &m_state, &EditorState::setAutosaveValue);
}

void MainWindow::addEntry()
{
    if (AddEntry(m_state, m_dialogs, m_saver, Text1->text()))
        Text1->clear();
}

void MainWindow::waitFor(bool waiting)
{
    // The window keeps painting while the helper is waited for, but takes no input, so that no
    // other command starts meanwhile; what the person typed stays, and so does the focus.
    if (waiting) {
        m_focusBeforeWait = QApplication::focusWidget();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    setEnabled(!waiting);
    if (!waiting && m_focusBeforeWait)
        m_focusBeforeWait->setFocus();
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Keys reach here when the focused control has no use for them, as Return in Text1, List1
    // or Check1. A held key repeats its press; only the first one counts.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            addEntry();
        return; // taken, as a key event is unless ignored
    }
    QMainWindow::keyPressEvent(event);
}

} // namespace zarvello
