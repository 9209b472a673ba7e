// SPDX-License-Identifier: GPL-3.0-or-later
// A measuring tool for us, not part of the product: times the window.
//
//   zarvello-bench-window open FILE   Open of FILE until the list is painted, and peak memory
//   zarvello-bench-window lines FILE  the same for a file of LF lines, then a page of scrolling and
//                                     the retype box of a line deep down shown, medians of 21
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
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <algorithm>

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

// The scripted Open, and the real retype box.
struct RealPrompt : ScriptedDialogs {
    QtDialogs real;
    std::optional<QString> askText(const QString& prompt, const QString& title,
                                   const QString& defaultText) override
    {
        return real.askText(prompt, title, defaultText);
    }
};

double median(std::vector<double> figures)
{
    std::sort(figures.begin(), figures.end());
    return figures[figures.size() / 2];
}

int linesFigure(int argc, char* argv[], const QString& file)
{
    QApplication app(argc, argv);
    installRussianTranslation(app);
    RealPrompt dialogs;
    Saver saver;
    MainWindow window(dialogs, saver);
    dialogs.real.setParent(&window);
    window.show();
    QCoreApplication::processEvents();
    const double opened = openAndPaint(window, dialogs, file);
    auto* list = window.findChild<QListView*>("List1");
    QElapsedTimer timer;
    std::vector<double> pages, prompts;
    QCoreApplication::processEvents(); // the view lays its rows out once, after the paint
    for (int page = 0; page < 21; ++page) {
        timer.start();
        // As the scroll bar's page step does: a key would choose a row and open its retype box.
        list->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        list->viewport()->repaint();
        pages.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    for (int row = 40000; row < 40021; ++row) {
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        QTimer::singleShot(0, [&] {
            if (QWidget* prompt = QApplication::activeModalWidget()) {
                prompts.push_back(double(timer.nsecsElapsed()) / 1e6);
                prompt->close();
            }
        });
        timer.start();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    }
    std::printf("open_paint_ms=%.3f page_ms=%.3f prompt_ms=%.3f rows=%d top_row=%d prompts=%zu\n",
                opened, median(pages), median(prompts), list->model()->rowCount(),
                list->indexAt({0, 0}).row(), prompts.size());
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
    if (mode == "lines" && argc == 3)
        return linesFigure(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (mode == "startup")
        return startup(argc, argv);
    std::fprintf(stderr, "usage: zarvello-bench-window open FILE | lines FILE | startup\n");
    return 2;
}
