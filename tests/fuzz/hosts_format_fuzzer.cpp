// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a hosts file: they load without a crash, also into a list that holds entries
// already; with a typed entry added they save for real as their canonical form (every line with
// CR LF, in sorted order); and what was saved loads back to the same entries.
#include "dialogs.h"
#include "editor_state.h"
#include "entry_commands.h"
#include "hosts_file.h"
#include "line_codec.h"
#include "save_protocol.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
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

// Answers no question: the fuzzer only types.
class Silent : public Dialogs {
public:
    void showMessage(const QString&, const QString&) override {}
    std::optional<QString> askText(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> chooseOpenPath(const FileDialogSettings&) override { return {}; }
    std::optional<QString> chooseSavePath(const FileDialogSettings&) override { return {}; }
};

// A folder on a memory file system, so that a real save per input costs no disk.
QString scratchFile()
{
    static const QString path = [] {
        char folder[] = "/dev/shm/zarvello-fuzz-XXXXXX";
        check(::mkdtemp(folder) != nullptr, "mkdtemp");
        return QString::fromLatin1(folder) + "/hosts";
    }();
    return path;
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

// The same bytes as what the privileged helper reads: a request parses only to what encodes back
// to the very bytes it took, and an answer line only to what encodes back to that line.
void checkProtocol(QByteArrayView bytes)
{
    const protocol::Parsed parsed = protocol::parseRequest(bytes);
    if (parsed.status == protocol::Parsed::Status::Complete)
        check(protocol::encodeRequest(parsed.request.path, parsed.request.content) == bytes.first(parsed.consumed),
              "a request that does not encode back to its bytes");
    std::optional<FileError> answer;
    const QByteArrayView line = bytes.first(std::max<qsizetype>(bytes.indexOf('\n'), 0));
    if (protocol::decodeAnswer(line, {}, answer))
        check(protocol::encodeAnswer(answer) == line.toByteArray() + '\n', "an answer that does not encode back");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkProtocol(bytes);
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

    // Loaded in two parts, as a second Open merges into the list, and a typed name added: the
    // order one AddItem after another gives, the name on one line whatever it holds.
    EditorState state;
    HostList& list = state.hostList();
    const qsizetype half = lines.size() / 2;
    check(list.addLines(lines.first(half)) && list.addLines(lines.sliced(half)), "adding the lines");
    const QString typed = decodeLine(bytes.first(std::min<qsizetype>(bytes.size(), 64)));
    Silent dialogs;
    check(AddEntry(state, dialogs, typed) || list.Count() == HostList::MaxCount, "adding the typed name");
    QList<QByteArray> sorted = reference;
    if (!typed.isEmpty() && reference.size() < HostList::MaxCount)
        sorted << encodeLine(blockingPrefix + oneLine(typed) + entryTag);
    std::stable_sort(sorted.begin(), sorted.end(), [](const QByteArray& a, const QByteArray& b) {
        return QString::compare(decodeLine(a), decodeLine(b), Qt::CaseInsensitive) < 0;
    });

    // Saved for real: the lines in that order, each with CR LF; loaded back, the same entries.
    state.setCurrentPath(scratchFile());
    check(!SaveHostsFile(state), "saving");
    QByteArray canonical;
    for (const QByteArray& line : sorted)
        canonical += line + "\r\n";
    const ReadResult saved = readHostsFile(state.currentPath(), HostList::MaxCount);
    check(joinLines(saved.lines) == canonical, "saved bytes are not the canonical form");
    check(saved.lines == list.lines(), "load(save(load(x))) differs from load(x)");
    return 0;
}
