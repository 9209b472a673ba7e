// SPDX-License-Identifier: GPL-3.0-or-later
// A measuring tool for us, not part of the product: generates realistic hosts files and times
// the core's load and save of them. It links QtCore only, as a command-line sort would.
//
// - generate LINES SEED OUT: a shuffled hosts file, the same bytes for the same seed;
// - generate-block-list LINES SEED OUT: a shuffled block list of mixed-case names;
// - load-save IN OUT: LoadHostsFile then SaveHostsFile, as the program does;
// - add FILE RUNS [touched]: Add with autosave into FILE, opened; each time touched by another
//   program first, if asked (a read and merge); each followed by its yardstick, a bare durable
//   replace of the same bytes.
#include "bench_common.h"
#include "editor_state.h"
#include "entry_commands.h"
#include "hosts_file.h"
#include "saver.h"
#include "support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace zarvello;

namespace {

// The engine's output is fixed by the standard (a distribution's is not), so the same seed gives
// the same file on every machine.
class Random {
public:
    explicit Random(unsigned long long seed)
        : m_engine(seed)
    {
    }
    unsigned next(unsigned bound) { return unsigned(m_engine() % bound); }

private:
    std::mt19937_64 m_engine;
};

// A block list as people download one: every line an address and one name of 2 to 4 dotted words,
// each word in lower, upper or capitalised case, shuffled.
int generateBlockList(int lines, unsigned long long seed, const char* out)
{
    static const char* const words[] = {"ads",     "tracker", "metrics", "telemetry", "pixel",
                                        "beacon",  "stats",   "counter", "promo",     "banner",
                                        "cdn",     "mail",    "collect", "log",       "static",
                                        "content", "api",     "img",     "video",     "news"};
    static const char* const zones[] = {"com", "ru", "net", "org", "info", "io"};
    constexpr int wordCount = sizeof words / sizeof *words;
    Random random(seed);
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    QSet<QByteArray> named; // a list names each host once, so its order is the same as sort's
    for (int i = 0; i < lines;) {
        QByteArray row = random.next(2) ? "0.0.0.0 " : "127.0.0.1 ";
        const unsigned wordsInName = 2 + random.next(3);
        for (unsigned w = 0; w + 1 < wordsInName; ++w) {
            QByteArray word = words[random.next(wordCount)];
            if (w == 0 && random.next(3) != 0)
                word += QByteArray::number(random.next(10000));
            const unsigned form = random.next(4);
            if (form == 0)
                word = word.toUpper();
            else if (form == 1)
                word[0] = char(word[0] - 0x20);
            row += word + '.';
        }
        row += zones[random.next(sizeof zones / sizeof *zones)];
        if (named.contains(row.toLower()))
            continue;
        named.insert(row.toLower());
        file.write(row + "\r\n");
        ++i;
    }
    return 0;
}

int generate(int lines, unsigned long long seed, const char* out)
{
    static const char* const words[] = {"ads",    "Tracker",   "metrics", "Telemetry", "pixel",
                                        "beacon", "stats",     "counter", "promo",     "banner",
                                        "cdn",    "Analytics", "collect", "log"};
    static const char* const zones[] = {"example", "example.ru", "example.com", "test",
                                        "example.net"};
    constexpr int wordCount = sizeof words / sizeof *words;
    constexpr int zoneCount = sizeof zones / sizeof *zones;
    Random random(seed);
    std::vector<QByteArray> rows;
    rows.reserve(size_t(lines));
    for (int i = 0; i < lines; ++i) {
        const unsigned kind = random.next(100);
        QByteArray row;
        if (kind < 4) {
            row = "# " + QByteArray(words[random.next(wordCount)]) + " list, part "
                + QByteArray::number(i);
        } else if (kind < 7) {
            // blank line
        } else if (kind < 8) {
            row = "0.0.0.0";
            for (int n = 0; n < 20; ++n)
                row += " " + QByteArray(words[random.next(wordCount)])
                    + QByteArray::number(random.next(1000)) + "." + zones[random.next(zoneCount)];
        } else {
            row = kind < 60 ? "0.0.0.0 " : "127.0.0.1 ";
            row += QByteArray(words[random.next(wordCount)])
                + QByteArray::number(random.next(100000)) + "." + words[random.next(wordCount)]
                + "." + zones[random.next(zoneCount)];
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
    ScriptedDialogs dialogs;
    if (const auto error = SaveHostsFile(state, saver, dialogs)) {
        std::fprintf(stderr, "%s\n", qPrintable(error->message()));
        return 1;
    }
    std::printf("wall_ms=%.3f peak_kb=%ld entries=%d\n", double(timer.nsecsElapsed()) / 1e6,
                peakKilobytes(), state.hostList().Count());
    return 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// What any program must do at the least to replace a file durably: an anonymous file in its
// folder, written, synced, named, renamed over it, and the folder synced. Milliseconds, or a
// negative number when it failed.
double bareReplace(const QString& path)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = source.readAll();
    const QByteArray folderPath = QFileInfo(source).absolutePath().toLocal8Bit();
    QElapsedTimer timer;
    timer.start();
    const int folder = ::open(folderPath.constData(), O_RDONLY | O_DIRECTORY);
    const int file = ::openat(folder, ".", O_TMPFILE | O_WRONLY, 0644);
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(file);
    const bool done = ::write(file, bytes.constData(), size_t(bytes.size())) == bytes.size()
        && ::fsync(file) == 0
        && ::linkat(AT_FDCWD, self.constData(), folder, ".bench-new", AT_SYMLINK_FOLLOW) == 0
        && ::renameat(folder, ".bench-new", folder, "replaced") == 0 && ::fsync(folder) == 0;
    ::close(file);
    ::close(folder);
    return done ? double(timer.nsecsElapsed()) / 1e6 : -1;
}

// Milliseconds of each Add with autosave, the entries growing by one each time; after each, the
// yardstick: a bare durable replace of the bytes it wrote, in the same folder, so that both meet
// the disk in the same state.
int addWithAutosave(const QString& path, int runs, bool touched)
{
    EditorState state;
    Saver saver;
    ScriptedDialogs dialogs;
    if (LoadHostsFile(state, path))
        return 1;
    state.setCurrentPath(path);
    state.setAutosaveValue(true);
    std::vector<double> times, bare;
    for (int run = 0; run < runs; ++run) {
        if (touched && ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), nullptr, 0) != 0)
            return 1;
        QElapsedTimer timer;
        timer.start();
        if (!AddEntry(state, dialogs, saver, QStringLiteral("added%1.example").arg(run)))
            return 1;
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        bare.push_back(bareReplace(path));
        if (bare.back() < 0)
            return 1;
    }
    std::printf("add_ms=%.3f replace_ms=%.3f entries=%d\n", median(times), median(bare),
                state.hostList().Count());
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == "generate-block-list" && argc == 5)
        return generateBlockList(std::atoi(argv[2]), std::strtoull(argv[3], nullptr, 10), argv[4]);
    if (mode == "generate" && argc == 5)
        return generate(std::atoi(argv[2]), std::strtoull(argv[3], nullptr, 10), argv[4]);
    if (mode == "load-save" && argc == 4)
        return loadSave(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (mode == "add" && (argc == 4 || (argc == 5 && QByteArray(argv[4]) == "touched")))
        return addWithAutosave(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]), argc == 5);
    std::fprintf(stderr,
                 "usage: zarvello-bench generate[-block-list] LINES SEED OUT | load-save IN OUT | "
                 "add FILE RUNS [touched]\n");
    return 2;
}
