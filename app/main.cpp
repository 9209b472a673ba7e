// SPDX-License-Identifier: GPL-3.0-or-later
// Program start: the application with Qt's Russian texts, the window, the event loop.
#include "main_window.h"
#include "privileged_writer.h"
#include "qt_dialogs.h"
#include "translations.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("zarvello");
    QApplication::setDesktopFileName("org.zarvello.Zarvello");
    zarvello::installRussianTranslation(app);

    zarvello::QtDialogs dialogs;
    zarvello::MainWindow window(dialogs);
    dialogs.setParent(&window);
    // Saves the system refuses go to the helper, with the administrator's consent asked once.
    zarvello::PkexecWriter administrator({QStringLiteral("pkexec"), zarvello::PkexecWriter::installedHelper()});
    window.state().setPrivilegedWriter(&administrator);
    window.show();
    return app.exec();
}
