// SPDX-License-Identifier: GPL-3.0-or-later
// Program start: the application with Qt's Russian texts, the window, the event loop.
#include "main_window.h"
#include "pkexec_rights.h"
#include "qt_dialogs.h"
#include "translations.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("zarvello");
    QApplication::setDesktopFileName("org.zarvello.Zarvello");
    QApplication::setApplicationVersion(QStringLiteral(ZARVELLO_VERSION));
    // --help and --version answer and end; any other option is refused rather than ignored.
    QCommandLineParser options;
    options.addHelpOption();
    options.addVersionOption();
    options.process(app);
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
