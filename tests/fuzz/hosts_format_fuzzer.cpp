// SPDX-License-Identifier: GPL-3.0-or-later
// In memory, fast: any bytes as a hosts file split into the lines the format says, load in two
// parts into the order one AddItem after another gives, with a typed name made one line; each
// line's bytes survive as text; and a three-way merge of lines loses none and makes none up.
#include "file_changes.h"
#include "fuzz_support.h"

using namespace zarvello::fuzz;

namespace {

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> lines = splitLines(bytes.toByteArray());
    const qsizetype atMost = qsizetype(size % 7);
    check(lines == referenceLines(bytes.toByteArray())
              && splitLines(bytes.toByteArray(), atMost)
                  == lines.first(std::min(atMost, lines.size())),
          "the lines are not those of the file");
    if (lines.size() >= HostList::MaxCount)
        return 0;
    checkMerge(lines);

    // Loaded in two parts, as a second Open merges, and a typed name added without a save: the
    // order one AddItem after another gives, the name on one line whatever it holds.
    EditorState state;
    const qsizetype half = lines.size() / 2;
    check(state.hostList().addLines(lines.first(half))
              && state.hostList().addLines(lines.sliced(half)),
          "adding");
    const QString typed = decodeLine(bytes.first(std::min<qsizetype>(bytes.size(), 64)));
    ScriptedDialogs dialogs;
    Saver saver;
    check(AddEntry(state, dialogs, saver, typed), "adding the typed name");
    QList<QByteArray> expected = lines;
    if (!typed.isEmpty())
        expected << encodeLine(blockingPrefix + oneLine(typed) + entryTag);
    check(state.hostList().lines() == referenceOrder(expected), "not the case-folded order");
    for (const QByteArray& line : lines) {
        check(encodeLine(decodeLine(line)) == line, "a line's bytes do not survive as text");
        const QString utf8 = QString::fromUtf8(line); // valid UTF-8 reads as UTF-8 does
        check(utf8.toUtf8() != line || decodeLine(line) == utf8, "valid UTF-8 read otherwise");
    }
    return 0;
}
