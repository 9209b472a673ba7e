// Any bytes as a hosts file: they load without a crash, save as their canonical form (every
// line with CR LF, in sorted order), and what was saved loads back to the same entries.
#include "host_list.h"
#include "hosts_file.h"
#include "line_codec.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

using namespace zarvello;

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// The format as plainly as it can be said: CR LF or CR ends a line, and a final terminator
// adds no empty line.
QList<QByteArray> referenceLines(QByteArrayView bytes)
{
    QList<QByteArray> lines;
    QByteArray line;
    bool pending = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            lines << line;
            line.clear();
            pending = false;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            line += c;
            pending = true;
        }
    }
    if (pending)
        lines << line;
    return lines;
}

QList<QByteArray> linesLoadedFrom(QByteArrayView bytes, qsizetype pieceSize)
{
    QList<QByteArray> lines;
    LineSplitter splitter;
    for (qsizetype at = 0; at < bytes.size(); at += pieceSize)
        splitter.feed(bytes.sliced(at, std::min(pieceSize, bytes.size() - at)), lines);
    splitter.finish(lines);
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> reference = referenceLines(bytes);

    // However the bytes arrive, the lines are the same, and each keeps its bytes.
    const QList<QByteArray> lines = linesLoadedFrom(bytes, qsizetype(size % 7) + 1);
    check(lines == linesLoadedFrom(bytes, qsizetype(size) + 1), "lines depend on how the bytes arrive");
    check(lines == reference, "the lines are not those of the file");
    for (const QByteArray& line : lines)
        check(encodeLine(decodeLine(line)) == line, "a line's bytes do not survive as text");

    if (lines.size() > HostList::MaxCount)
        return 0; // refused as a whole; the unit tests cover that

    // The real reader, through a file.
    static const int file = memfd_create("hosts", 0);
    check(file >= 0 && ftruncate(file, 0) == 0 && pwrite(file, data, size, 0) == ssize_t(size), "memfd");
    const ReadResult read = readHostsFile(QStringLiteral("/proc/self/fd/%1").arg(file), HostList::MaxCount);
    check(!read.error && read.lines == lines, "reading the file");

    // Saved: the lines in the order the case-insensitive comparison gives, each with CR LF.
    HostList list;
    check(list.addLines(lines), "adding the lines");
    QList<QByteArray> sorted = reference;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QByteArray& a, const QByteArray& b) {
        return QString::compare(decodeLine(a), decodeLine(b), Qt::CaseInsensitive) < 0;
    });
    QByteArray canonical;
    for (const QByteArray& line : sorted)
        canonical += line + "\r\n";
    const QByteArray saved = joinLines(list.lines());
    check(saved == canonical, "saved bytes are not the canonical form");

    // What was saved loads back to the same entries.
    HostList again;
    check(again.addLines(linesLoadedFrom(saved, 4096)), "adding the saved lines");
    check(again.lines() == list.lines(), "load(save(load(x))) differs from load(x)");
    return 0;
}
