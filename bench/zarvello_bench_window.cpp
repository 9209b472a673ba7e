// SPDX-License-Identifier: GPL-3.0-or-later
// A measuring tool for us, not part of the product: times the window.
//
//   zarvello-bench-window open FILE   Open of FILE until the list is painted, and peak memory
//   zarvello-bench-window startup     prints the wall clock (ns) when the window first paints
#include "bench_common.h"
#include "main_window.h"
#include "qt_dialogs.h"
#include "support.h"
#include "translations.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>

#include <cstdio>

using namespace zarvello;

namespace {

// Milliseconds from the Open command's dialog returning path to the list painted once.
double openAndPaint(MainWindow& window, ScriptedDialogs& dialogs, const QString& path)
{
    auto* list = window.findChild<QListView*>("List1");
    dialogs.answers << path;
    QElapsedTimer timer;
    timer.start();
    window.findChild<QAction*>("open")->trigger();
    list->viewport()->repaint();
    return double(timer.nsecsElapsed()) / 1e6;
}

int openFigure(int argc, char* argv[], const QString& file)
{
    QApplication app(argc, argv);
    installRussianTranslation(app);
    ScriptedDialogs dialogs;
    Saver saver;
    MainWindow window(dialogs, saver);
    window.show();
    QCoreApplication::processEvents();
    const double ms = openAndPaint(window, dialogs, file);
    std::printf("open_paint_ms=%.3f peak_kb=%ld entries=%d\n", ms, peakKilobytes(),
                window.state().hostList().Count());
    return 0;
}

int startup(int argc, char* argv[])
{
    // What main() does, up to the window on the screen.
    QApplication app(argc, argv);
    installRussianTranslation(app);
    QtDialogs dialogs;
    Saver saver;
    MainWindow window(dialogs, saver);
    dialogs.setParent(&window);
    ExitOnFirstPaint watch;
    window.installEventFilter(&watch);
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == "open" && argc == 3)
        return openFigure(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (mode == "startup")
        return startup(argc, argv);
    std::fprintf(stderr, "usage: zarvello-bench-window open FILE | startup\n");
    return 2;
}
