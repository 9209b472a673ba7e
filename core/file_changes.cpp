// SPDX-License-Identifier: GPL-3.0-or-later
// A three-way merge of lines, which a sorted list of lines can always take without a conflict.
#include "file_changes.h"

#include <QHash>

namespace zarvello {

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
    return changes;
}

} // namespace zarvello
