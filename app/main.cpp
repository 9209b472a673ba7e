// Program start: the application, the window, the event loop.
#include "main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    zarvello::MainWindow window;
    window.show();
    return app.exec();
}
