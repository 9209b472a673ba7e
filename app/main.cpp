// SPDX-License-Identifier: GPL-3.0-or-later
// Program start: the application with Qt's Russian texts, the window, the event loop.
#include "main_window.h"
#include "pkexec_rights.h"
#include "qt_dialogs.h"
#include "translations.h"

#include <QApplication>

#include <sys/prctl.h>

int main(int argc, char* argv[])
{
    // Before anything else runs: no other program of the person's may attach to the editor, which
    // may come to hold a grant of administrator rights.
    ::prctl(PR_SET_DUMPABLE, 0);
    QApplication app(argc, argv);
    QApplication::setApplicationName("zarvello");
    QApplication::setDesktopFileName("org.zarvello.Zarvello");
    QApplication::setApplicationVersion(QStringLiteral(ZARVELLO_VERSION));
    zarvello::installRussianTranslation(app);

    // Saves the system refuses go to a helper for that file, with the administrator's consent.
    zarvello::PkexecRights administrator(
        {QStringLiteral("/usr/bin/pkexec"), zarvello::PkexecRights::installedHelper()});
    zarvello::Saver saver(&administrator);
    zarvello::QtDialogs dialogs;
    zarvello::MainWindow window(dialogs, saver);
    dialogs.setParent(&window);
    window.show();
    return app.exec();
}
