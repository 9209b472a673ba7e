// SPDX-License-Identifier: GPL-3.0-or-later
// What every measuring tool reports: its peak memory and the wall clock.
#pragma once

#include <QEvent>
#include <QObject>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace zarvello {

inline long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

inline long long wallClockNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

// Ends the process, printing the wall clock and peak memory, when the watched widget first paints.
class ExitOnFirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            std::printf("shown_ns=%lld peak_kb=%ld\n", wallClockNs(), peakKilobytes());
            std::fflush(stdout);
            std::_Exit(0);
        }
        return false;
    }
};

} // namespace zarvello
