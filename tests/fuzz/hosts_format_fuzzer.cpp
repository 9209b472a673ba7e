// SPDX-License-Identifier: GPL-3.0-or-later
// In memory, fast: any bytes as a hosts file split into the lines the format says, load in two
// parts into the order one AddItem after another gives, with a typed name made one line; each
// line's bytes survive as text; and a three-way merge of lines loses none and makes none up.
#include "file_changes.h"
#include "fuzz_support.h"

using namespace zarvello::fuzz;

// The file as last read, as another program left it, and the list, each of up to five lines over
// a few letters, where lines repeat and share beginnings: each byte adds a letter or a line feed,
// ends a line, or goes on to the next part. Merged, the list holds each line as often as it did
// plus what the file gained of it, less what it lost, or none.
static void checkMerge(QByteArrayView bytes)
{
    QList<QByteArray> parts[3];
    QByteArray line;
    int part = 0;
    for (const char byte : bytes) {
        const int choice = static_cast<unsigned char>(byte) % 8;
        if (choice < 4) {
            line += "ab\nA"[choice];
        } else if (choice < 7 && parts[part].size() < 5) {
            parts[part] << std::exchange(line, {});
        } else if (choice == 7 && ++part == 3) {
            break;
        }
    }
    const QList<QByteArray>&base = parts[0], &current = parts[1], &list = parts[2];
    const FileChanges changes = fileChanges(base, current, list);
    const QList<int> positions = QList{-1} + changes.removed << int(list.size());
    check(std::ranges::adjacent_find(positions, std::greater_equal()) == positions.end(),
          "removals out of order or outside the list");
    // Entries of lines that end in LF alone are merged line by line: each line another program put
    // into one is kept. The rest are merged as lines.
    QHash<QByteArray, qsizetype> merged, wanted;
    QSet<QByteArray> inside, based;
    for (const QByteArray& line : list + changes.added)
        ++merged[line];
    for (const int position : changes.removed)
        --merged[list.at(position)];
    for (auto entry = merged.cbegin(); entry != merged.cend(); ++entry)
        for (const QByteArray& line :
             entry.value() > 0 ? entry.key().split('\n') : QByteArrayList())
            inside << line;
    for (const QByteArray& line : list + current)
        ++wanted[line];
    for (const QByteArray& line : base) {
        --wanted[line];
        for (const QByteArray& part : line.split('\n'))
            based << part;
    }
    for (const QByteArray& line : current)
        for (const QByteArray& part : line.contains('\n') ? line.split('\n') : QByteArrayList())
            check(based.contains(part) || inside.contains(part), "a line inside an entry lost");
    const auto none = [](auto count) { return count.value() <= 0 || count.key().contains('\n'); };
    merged.removeIf(none);
    wanted.removeIf(none);
    check(merged == wanted, "the merge lost or made up a line");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> lines = splitLines(bytes);
    const qsizetype atMost = qsizetype(size % 7);
    check(lines == referenceLines(bytes)
              && splitLines(bytes, atMost) == lines.first(std::min(atMost, lines.size())),
          "the lines are not those of the file");
    if (lines.size() >= HostList::MaxCount)
        return 0;
    checkMerge(bytes);

    // Loaded in two parts, as a second Open merges, and a typed name added without a save: the
    // order one AddItem after another gives, the name on one line whatever it holds.
    EditorState state;
    HostList& list = state.hostList();
    const qsizetype half = lines.size() / 2;
    check(list.addLines(lines.first(half)) && list.addLines(lines.sliced(half)), "adding");
    const QString typed = decodeLine(bytes.left(64));
    ScriptedDialogs dialogs;
    Saver saver;
    check(AddEntry(state, dialogs, saver, typed), "adding the typed name");
    QList<QByteArray> expected = lines;
    if (!typed.isEmpty())
        expected << encodeLine(blockingPrefix + withAsciiForms(oneLine(typed)) + entryTag);
    check(list.lines() == referenceOrder(expected), "not the case-folded order");
    check(std::ranges::none_of(list.lines(), [](const QByteArray& l) { return l.contains('\r'); }),
          "a typed name on more than one line");
    for (const QByteArray& line : lines) {
        const QString text = decodeLine(line), utf8 = QString::fromUtf8(line);
        check(encodeLine(text) == line, "a line's bytes do not survive as text");
        check(utf8.toUtf8() != line || text == utf8, "valid UTF-8 read otherwise"); // as UTF-8 does
    }
    return 0;
}
