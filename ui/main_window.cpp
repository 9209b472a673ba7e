// SPDX-License-Identifier: GPL-3.0-or-later
// Form1: controls at their fixed places, the menu, the bindings and the event wiring.
#include "main_window.h"
#include "entry_commands.h"
#include "host_list_view.h"
#include "one_line_validator.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFontInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <cmath>
#include <limits>

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

// The client area and each control's place in it, in twips: left, top, width, height.
struct TwipRect {
    const char* name;
    int left, top, width, height;
};
constexpr TwipRect layoutInTwips[] = {
    {"client", 0, 0, 6270, 5070},     {"List1", 0, 0, 6255, 4350},
    {"Text1", 0, 4440, 6255, 285},    {"Command1", 2280, 4800, 3975, 255},
    {"Check1", 120, 4800, 2055, 255},
};

// Edges are rounded, not sizes, so that controls side by side stay side by side.
QRect fromTwips(const TwipRect& twips, double pixelsPerTwip)
{
    const auto px = [pixelsPerTwip](int twips) { return int(std::lround(twips * pixelsPerTwip)); };
    const int left = px(twips.left), top = px(twips.top);
    return {left, top, px(twips.left + twips.width) - left, px(twips.top + twips.height) - top};
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
    connect(List1, &HostListView::rowChosen, this, [this](int row) {
        const HostRows::Place at = m_rows.place(row);
        EditEntry(m_state, m_dialogs, at.entry, at.line);
    });
    connect(open, &QAction::triggered, this, [this] { OpenCommand(m_state, dlgFile, m_dialogs); });
    connect(save, &QAction::triggered, this, [this] { SaveCommand(m_state, m_dialogs, m_saver); });
    connect(save_as, &QAction::triggered, this,
            [this] { SaveAsCommand(m_state, dlgFile, m_dialogs, m_saver); });
    connect(ends, &QAction::triggered, this, &ExitCommand);
    connect(&m_saver, &Saver::waiting, this, &MainWindow::waitFor);

    m_state.StartUp(); // the window's Load: before it is first shown
}

void MainWindow::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    // Nothing follows a resize, so the window keeps the size of its layout: on X11 the window
    // manager is told min = max and offers no maximize. On Wayland Qt 6.4 draws the title bar
    // itself and always shows its maximize button; the min and max size it tells the compositor
    // leave that title bar out, while the surface's geometry includes it. A maximize or
    // fullscreen request is then answered with the fixed size, which the compositor takes as a
    // protocol error and ends the program. So there the window may grow: the client area keeps
    // its size at the top left, and the rest shows the window's background.
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    layout()->setSizeConstraint(wayland ? QLayout::SetMinimumSize : QLayout::SetFixedSize);
    // Nor is a maximize button offered that does nothing: some window managers draw one for a
    // window of a fixed size unless it is told there is none.
    if (!wayland)
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                       | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                       | Qt::WindowCloseButtonHint);

    List1 = new HostListView(client);
    List1->setObjectName("List1");
    List1->setModel(&m_rows);
    List1->setAccessibleName(QStringLiteral("Строки файла hosts"));
    List1->setAccessibleDescription(QStringLiteral("Щелчок по строке открывает её для правки"));

    Text1 = new QLineEdit(client);
    Text1->setObjectName("Text1");
    Text1->setAccessibleName(QStringLiteral("Имя хоста для блокировки"));
    Text1->setValidator(new OneLineValidator(Text1));
    // Qt cuts a paste at 32767 characters without a word; a text too long is refused, and kept.
    Text1->setMaxLength(std::numeric_limits<int>::max());

    Command1 = new QPushButton(QStringLiteral("Добавить"), client);
    Command1->setObjectName("Command1");

    Check1 = new QCheckBox(QStringLiteral("Автосохранение"), client);
    Check1->setObjectName("Check1");

    // Created in tab order, so the focus chain needs no setTabOrder.
    List1->setFocus();
    layOut();
}

double MainWindow::pixelsPerTwip() const
{
    // The layout was drawn for Qt's own default font, 9 pt, at 96 dpi, where 15 twips make a
    // pixel (418 x 338 for the client area). Twips are physical units, so the rate follows the
    // screen's logical dpi; and a larger desktop font grows every control with its caption.
    constexpr double referencePoints = 9;
    const double points =
        font().pointSizeF() > 0 ? font().pointSizeF() : QFontInfo(font()).pointSizeF();
    return logicalDpiY() / 1440.0 * points / referencePoints;
}

void MainWindow::layOut()
{
    const double rate = pixelsPerTwip();
    for (const TwipRect& twips : layoutInTwips) {
        auto* control = findChild<QWidget*>(twips.name);
        if (control == centralWidget())
            control->setFixedSize(fromTwips(twips, rate).size());
        else
            control->setGeometry(fromTwips(twips, rate));
    }
}

void MainWindow::changeEvent(QEvent* event)
{
    // The desktop's font can change while the program runs.
    if (event->type() == QEvent::FontChange && centralWidget())
        layOut();
    QMainWindow::changeEvent(event);
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

    // With no access keys, the menu is reached by the desktop's own keys, whatever the style:
    // F10, the window's key rather than an item's, and Alt tapped alone, watched for below.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, &MainWindow::openFileMenu);
    QCoreApplication::instance()->installEventFilter(this);
}

void MainWindow::openFileMenu()
{
    menuBar()->setActiveAction(file->menuAction());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A key event climbs from the focused control to the window and passes here at each step.
    const bool isKey = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    const auto* key = isKey ? static_cast<QKeyEvent*>(event) : nullptr;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (key->key() != Qt::Key_Alt)
            m_altTap = AltTap::None;
        else if (m_altTap == AltTap::None && !key->isAutoRepeat() && isActiveWindow())
            m_altTap = file->isVisible() ? AltTap::Closes : AltTap::Opens;
        break;
    case QEvent::KeyRelease:
        if (key->key() == Qt::Key_Alt && m_altTap != AltTap::None) {
            // After the menu bar's own handling of Alt, which some styles have and some not.
            const bool opens = m_altTap == AltTap::Opens;
            QTimer::singleShot(0, this, [this, opens] { opens ? openFileMenu() : file->hide(); });
            m_altTap = AltTap::None;
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::WindowDeactivate: // Alt+Tab, its Tab taken by the desktop
        m_altTap = AltTap::None;
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
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
