// Program start: the application with Qt's Russian texts, the window, the event loop.
#include "main_window.h"
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
    window.show();
    return app.exec();
}
