// SPDX-License-Identifier: GPL-3.0-or-later
// A three-way merge of lines, which a sorted list of lines can always take without a conflict.
#include "file_changes.h"

#include <QFile>
#include <QHash>

#include <sys/stat.h>

namespace zarvello {

std::optional<Fingerprint> Fingerprint::of(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    const auto nanoseconds = [](const timespec& t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return Fingerprint{info.st_dev, info.st_ino, info.st_size, nanoseconds(info.st_mtim),
                       nanoseconds(info.st_ctim)};
}

FileChanges fileChanges(const QList<QByteArray>& base, const QList<QByteArray>& current,
                        const QList<QByteArray>& list)
{
    // Positive: occurrences the file gained; negative: occurrences it lost.
    QHash<QByteArray, qsizetype> balance;
    for (const QByteArray& line : current)
        ++balance[line];
    for (const QByteArray& line : base)
        --balance[line];
    FileChanges changes;
    for (const QByteArray& line : current) {
        qsizetype& gained = balance[line];
        if (gained > 0) {
            changes.added << line;
            --gained;
        }
    }
    for (int position = 0; position < list.size(); ++position) {
        const auto lost = balance.find(list.at(position));
        if (lost != balance.end() && *lost < 0) {
            changes.removed << position;
            ++*lost;
        }
    }
    return changes;
}

} // namespace zarvello
