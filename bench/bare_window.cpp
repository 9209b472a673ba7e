// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for start-up and memory: an empty QMainWindow, shown, and nothing else.
#include "bench_common.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(418, 360);
    zarvello::ExitOnFirstPaint watch;
    window.installEventFilter(&watch);
    window.show();
    return app.exec();
}
