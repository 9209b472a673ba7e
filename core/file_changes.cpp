// SPDX-License-Identifier: GPL-3.0-or-later
// A three-way merge of lines, which a sorted list of lines can always take without a conflict.
#include "file_changes.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace zarvello {

namespace {

// How many lines a and b share, counting repeats.
qsizetype shared(const QByteArrayList& a, const QByteArrayList& b)
{
    QHash<QByteArray, qsizetype> count;
    for (const QByteArray& line : a)
        ++count[line];
    qsizetype both = 0;
    for (const QByteArray& line : b)
        both += count[line]-- > 0;
    return both;
}

// The other program's version of an entry's lines with the person's retyped lines put in: each
// where the line it replaced went, or, where the other program changed or removed that line too,
// right after the line before it. Nobody's line is lost.
QByteArray mergedLines(const QByteArrayList& base, const QByteArrayList& other,
                       const QByteArrayList& retyped, FileChanges& changes)
{
    // Where each line of base went in other: the same lines in the same order, -1 for none.
    std::vector<qsizetype> to(size_t(base.size()), -1);
    qsizetype front = 0, back = 0;
    for (; front < base.size() && front < other.size() && base[front] == other[front]; ++front)
        to[size_t(front)] = front;
    for (; back < base.size() - front && back < other.size() - front
         && base[base.size() - 1 - back] == other[other.size() - 1 - back];
         ++back)
        to[size_t(base.size() - 1 - back)] = other.size() - 1 - back;
    QHash<QByteArray, QList<qsizetype>> places;
    for (qsizetype j = other.size() - back - 1; j >= front; --j)
        places[other[j]] << j; // last first, so that the earliest is taken from the end
    qsizetype next = front;
    for (qsizetype i = front; i < base.size() - back; ++i) {
        QList<qsizetype>& at = places[base[i]];
        while (!at.isEmpty() && at.last() < next)
            at.removeLast();
        if (!at.isEmpty())
            next = (to[size_t(i)] = at.takeLast()) + 1;
    }
    QByteArrayList lines = other;
    QHash<qsizetype, QByteArrayList> after; // lines put in after a line of other, -1 before all
    qsizetype previous = -1;
    // Told as lines, not as an entry gained and one lost; a line the person retyped was not lost.
    changes.linesAdded += other.size()
        - std::count_if(to.cbegin(), to.cend(), [](qsizetype j) { return j >= 0; }) - 1;
    for (qsizetype i = 0; i < base.size(); ++i) {
        if (to[size_t(i)] >= 0)
            previous = to[size_t(i)];
        changes.linesRemoved += to[size_t(i)] < 0 && retyped[i] == base[i];
        if (retyped[i] == base[i])
            continue;
        if (to[size_t(i)] >= 0)
            lines[to[size_t(i)]] = retyped[i];
        else
            after[previous] << retyped[i];
    }
    QByteArrayList merged = after.value(-1);
    for (qsizetype j = 0; j < lines.size(); ++j)
        merged << lines[j] << after.value(j);
    return merged.join('\n');
}

// Pairs each entry holding line feeds that the file gained with the one it lost that shares the
// most lines with it, and that one with the list's entry of as many lines that keeps the most of it
// in place: the person retyped lines of it. The pair's lines are merged as lines.
void mergeInsideEntries(FileChanges& changes, QList<QByteArray> lost, const QList<QByteArray>& base,
                        const QList<QByteArray>& list)
{
    const QSet<QByteArray> based(base.cbegin(), base.cend());
    QSet<int> taken(changes.removed.cbegin(), changes.removed.cend());
    for (QByteArray& gained : changes.added) {
        if (!gained.contains('\n'))
            continue;
        const QByteArrayList other = gained.split('\n');
        qsizetype best = 0, was = -1;
        for (qsizetype i = 0; i < lost.size(); ++i)
            if (const qsizetype both = shared(lost[i].split('\n'), other); both > best)
                best = both, was = i;
        if (was < 0)
            continue;
        const QByteArrayList before = lost[was].split('\n');
        qsizetype kept = 0;
        int person = -1;
        for (int position = 0; position < list.size(); ++position) {
            if (taken.contains(position) || based.contains(list[position]))
                continue;
            const QByteArrayList lines = list[position].split('\n');
            if (lines.size() != before.size())
                continue;
            qsizetype same = 0;
            for (qsizetype i = 0; i < lines.size(); ++i)
                same += lines[i] == before[i];
            if (same > kept)
                kept = same, person = position;
        }
        if (person < 0)
            continue;
        gained = mergedLines(before, other, list[person].split('\n'), changes);
        changes.removed.insert(
            std::upper_bound(changes.removed.begin(), changes.removed.end(), person), person);
        taken.insert(person);
        lost.removeAt(was);
    }
}

} // namespace

FileChanges fileChanges(const QList<QByteArray>& base, const QList<QByteArray>& current,
                        const QList<QByteArray>& list)
{
    // Another program's change is usually a few lines: the lines before and after it agree.
    qsizetype front = 0, back = 0;
    while (front < base.size() && front < current.size() && base.at(front) == current.at(front))
        ++front;
    while (back < base.size() - front && back < current.size() - front
           && base.at(base.size() - 1 - back) == current.at(current.size() - 1 - back))
        ++back;
    // Positive: occurrences the file gained; negative: occurrences it lost.
    QHash<QByteArray, qsizetype> balance;
    for (qsizetype i = front; i < current.size() - back; ++i)
        ++balance[current.at(i)];
    qsizetype lost = 0;
    for (qsizetype i = front; i < base.size() - back; ++i)
        lost += --balance[base.at(i)] < 0;
    FileChanges changes;
    for (qsizetype i = front; i < current.size() - back; ++i) {
        qsizetype& gained = balance[current.at(i)];
        if (gained > 0) {
            changes.added << current.at(i);
            --gained;
        }
    }
    for (int position = 0; lost > 0 && position < list.size(); ++position) {
        const auto missing = balance.find(list.at(position));
        if (missing != balance.end() && *missing < 0) {
            changes.removed << position;
            ++*missing;
        }
    }
    changes.linesAdded = changes.added.size();
    changes.linesRemoved = changes.removed.size();
    // The lost lines the list no longer holds as they were, that hold line feeds.
    QList<QByteArray> retyped;
    for (qsizetype i = front; i < base.size() - back; ++i) {
        const QByteArray& line = base.at(i);
        if (line.contains('\n') && retyped.count(line) < -balance.value(line))
            retyped << line;
    }
    if (!retyped.isEmpty())
        mergeInsideEntries(changes, retyped, base, list);
    return changes;
}

} // namespace zarvello
