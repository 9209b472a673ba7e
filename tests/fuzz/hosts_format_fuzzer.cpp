// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a hosts file load, also into a list with entries, and with a typed name added save
// as their canonical form (CR LF, case-folded order) that loads back the same. As the helper's
// input they parse only to what encodes back to them.
#include "dialogs.h"
#include "editor_state.h"
#include "entry_commands.h"
#include "file_changes.h"
#include "hosts_file.h"
#include "line_codec.h"
#include "save_protocol.h"

#include <algorithm>
#include <cstdlib>

using namespace zarvello;

namespace {

void check(bool condition, const char* what)
{
    if (!condition)
        qFatal("broken: %s", what); // aborts, which the fuzzer reports with the input
}

// The format as plainly as it can be said: CR LF or CR ends a line; a final one adds none.
QList<QByteArray> referenceLines(QByteArray bytes)
{
    QList<QByteArray> lines = bytes.replace("\r\n", "\r").split('\r');
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

class Silent : public Dialogs {
    void showMessage(const QString&, const QString&) override {}
    std::optional<QString> askText(const QString&, const QString&, const QString&) override
    {
        return {};
    }
    std::optional<QString> chooseOpenPath(const FileDialogSettings&) override { return {}; }
    std::optional<QString> chooseSavePath(const FileDialogSettings&) override { return {}; }
};

// The lines in three parts: a file as last read, as another program left it, and the list. Each
// line is then in the list as often as it was, plus what the file gained of it, less what the file
// lost of it as far as the list still had it.
void checkMerge(const QList<QByteArray>& lines)
{
    const qsizetype third = lines.size() / 3;
    const QList<QByteArray> base = lines.first(third), current = lines.sliced(third, third),
                            list = lines.sliced(2 * third);
    const FileChanges changes = fileChanges(base, current, list);
    QHash<QByteArray, qsizetype> have, gained, listed;
    for (const QByteArray& line : list + changes.added)
        ++have[line];
    for (const QByteArray& line : current)
        ++gained[line];
    for (const QByteArray& line : base)
        --gained[line];
    for (const QByteArray& line : list)
        ++listed[line];
    for (qsizetype i = 0; i < changes.removed.size(); ++i) {
        check(changes.removed[i] > (i ? changes.removed[i - 1] : -1), "removals out of order");
        --have[list.at(changes.removed[i])];
    }
    for (const QByteArray& line : lines) {
        const qsizetype g = gained.value(line), l = listed.value(line);
        check(have.value(line)
                  == l + std::max<qsizetype>(g, 0) - std::min(l, std::max<qsizetype>(-g, 0)),
              "the merge lost or made up a line");
    }
}

void checkProtocol(QByteArrayView bytes)
{
    const protocol::Parsed parsed = protocol::parseRequest(bytes);
    if (parsed.status == protocol::Parsed::Status::Complete)
        check(protocol::encodeRequest(parsed.request.number, parsed.request.path,
                                      parsed.request.content)
                  == bytes.first(parsed.consumed),
              "a request that does not encode back to its bytes");
    std::optional<FileError> answer;
    const QByteArrayView line = bytes.first(std::max<qsizetype>(bytes.indexOf('\n'), 0));
    const quint64 number = line.first(std::max<qsizetype>(line.indexOf(' '), 0)).toULongLong();
    if (protocol::decodeAnswer(line, number, {}, answer))
        check(protocol::encodeAnswer(number, answer) == line.toByteArray() + '\n',
              "an answer that does not encode back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkProtocol(bytes);
    const QList<QByteArray> lines = splitLines(bytes.toByteArray());
    check(lines == referenceLines(bytes.toByteArray()), "the lines are not those of the file");
    if (lines.size() >= HostList::MaxCount)
        return 0;
    checkMerge(lines);

    // Loaded in two parts, as a second Open merges, and a typed name added: the order one AddItem
    // after another gives, the name on one line whatever it holds.
    EditorState state;
    const qsizetype half = lines.size() / 2;
    check(state.hostList().addLines(lines.first(half))
              && state.hostList().addLines(lines.sliced(half)),
          "adding");
    const QString typed = decodeLine(bytes.first(std::min<qsizetype>(bytes.size(), 64)));
    Silent silent;
    Saver saver;
    check(AddEntry(state, silent, saver, typed), "adding the typed name");
    QList<QByteArray> sorted = lines;
    if (!typed.isEmpty())
        sorted << encodeLine(blockingPrefix + oneLine(typed) + entryTag);
    std::stable_sort(sorted.begin(), sorted.end(), [](const QByteArray& a, const QByteArray& b) {
        return QString::compare(decodeLine(a), decodeLine(b), Qt::CaseInsensitive) < 0;
    });
    check(state.hostList().lines() == sorted, "not the case-folded order");
    for (const QByteArray& line : lines) {
        check(encodeLine(decodeLine(line)) == line, "a line's bytes do not survive as text");
        const QString utf8 = QString::fromUtf8(line); // valid UTF-8 reads as UTF-8 does
        check(utf8.toUtf8() != line || decodeLine(line) == utf8, "valid UTF-8 read otherwise");
    }

    // Saved for real, on a memory file system, and loaded back.
    static const QString file = [] {
        char folder[] = "/dev/shm/zarvello-fuzz-XXXXXX";
        check(::mkdtemp(folder) != nullptr, "mkdtemp");
        return QString::fromLatin1(folder) + "/hosts";
    }();
    state.setCurrentPath(file);
    check(!SaveHostsFile(state, saver, silent), "saving");
    const ReadResult saved = readHostsFile(file, HostList::MaxCount);
    check(joinLines(saved.lines) == joinLines(sorted) && saved.lines == sorted,
          "saved and loaded back differently");
    return 0;
}
