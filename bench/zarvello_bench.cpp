// SPDX-License-Identifier: GPL-3.0-or-later
// A measuring tool for us, not part of the product: generates realistic hosts files and times
// the core's load and save of them. It links QtCore only, as a command-line sort would.
//
//   zarvello-bench generate LINES SEED OUT   a shuffled hosts file, the same bytes for the same seed
//   zarvello-bench load-save IN OUT          LoadHostsFile then SaveHostsFile, as the program does
#include "bench_common.h"
#include "bench_dialogs.h"
#include "editor_state.h"
#include "hosts_file.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace zarvello;

namespace {

// A small generator of our own, so that the same seed gives the same file on every machine.
class Random {
public:
    explicit Random(unsigned long long seed)
        : m_state(seed * 6364136223846793005ULL + 1442695040888963407ULL)
    {
    }
    unsigned next(unsigned bound)
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return unsigned(m_state % bound);
    }

private:
    unsigned long long m_state;
};

int generate(int lines, unsigned long long seed, const char* out)
{
    static const char* const words[] = {"ads", "Tracker", "metrics", "Telemetry", "pixel", "beacon", "stats",
                                        "counter", "promo", "banner", "cdn", "Analytics", "collect", "log"};
    static const char* const zones[] = {"example", "example.ru", "example.com", "test", "example.net"};
    constexpr int wordCount = sizeof words / sizeof *words;
    constexpr int zoneCount = sizeof zones / sizeof *zones;
    Random random(seed);
    std::vector<QByteArray> rows;
    rows.reserve(size_t(lines));
    for (int i = 0; i < lines; ++i) {
        const unsigned kind = random.next(100);
        QByteArray row;
        if (kind < 4) {
            row = "# " + QByteArray(words[random.next(wordCount)]) + " list, part " + QByteArray::number(i);
        } else if (kind < 7) {
            // blank line
        } else if (kind < 8) {
            row = "0.0.0.0";
            for (int n = 0; n < 20; ++n)
                row += " " + QByteArray(words[random.next(wordCount)]) + QByteArray::number(random.next(1000)) + "." +
                       zones[random.next(zoneCount)];
        } else {
            row = kind < 60 ? "0.0.0.0 " : "127.0.0.1 ";
            row += QByteArray(words[random.next(wordCount)]) + QByteArray::number(random.next(100000)) + "." +
                   words[random.next(wordCount)] + "." + zones[random.next(zoneCount)];
        }
        rows.push_back(row);
    }
    for (size_t i = rows.size(); i > 1; --i)
        std::swap(rows[i - 1], rows[random.next(unsigned(i))]);
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    for (const QByteArray& row : rows)
        file.write(row + "\r\n");
    return 0;
}

int loadSave(const QString& in, const QString& out)
{
    QElapsedTimer timer;
    timer.start();
    EditorState state;
    if (const auto error = LoadHostsFile(state, in)) {
        std::fprintf(stderr, "%s\n", qPrintable(error->message()));
        return 1;
    }
    state.setCurrentPath(out);
    Saver saver;
    FixedDialogs dialogs;
    if (const auto error = SaveHostsFile(state, saver, dialogs)) {
        std::fprintf(stderr, "%s\n", qPrintable(error->message()));
        return 1;
    }
    std::printf("wall_ms=%.3f peak_kb=%ld entries=%d\n", double(timer.nsecsElapsed()) / 1e6, peakKilobytes(),
                state.hostList().Count());
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == "generate" && argc == 5)
        return generate(std::atoi(argv[2]), std::strtoull(argv[3], nullptr, 10), argv[4]);
    if (mode == "load-save" && argc == 4)
        return loadSave(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    std::fprintf(stderr, "usage: zarvello-bench generate LINES SEED OUT | load-save IN OUT\n");
    return 2;
}
