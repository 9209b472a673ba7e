// SPDX-License-Identifier: GPL-3.0-or-later
// What the editor knows of the file it last read or wrote, and what another program changed there
// since, so that a save takes those changes in instead of undoing them.
#pragma once

#include "fingerprint.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace zarvello {

// The file at path as the editor last read or wrote it: its bytes, shared with the list's lines
// or with the save that wrote them, so that keeping them costs no copy.
struct FileBase {
    QString path;
    Fingerprint fingerprint;
    QByteArray bytes;
    QByteArray spare = {}; // the bytes before them, for the next save to write into
    QByteArray late = {};  // what a helper given up on may yet write: this list's, no other's
};

// What the list takes in from a file that changed since its base: the lines the file gained, and
// the positions in the list (ascending) of lines it lost, one occurrence each, where the list still
// holds them as they were. Occurrences are counted, as a file may hold a line twice. An entry
// holding line feeds that the person retyped a line of takes the other program's changes inside
// it: its new version is added, and the person's removed.
struct FileChanges {
    QList<QByteArray> added;
    QList<int> removed;
    // What the other program did, in lines as the person sees them: inside an entry, line by line.
    qsizetype linesAdded = 0, linesRemoved = 0;
    bool isEmpty() const { return added.isEmpty() && removed.isEmpty(); }
};

FileChanges fileChanges(const QList<QByteArray>& base, const QList<QByteArray>& current,
                        const QList<QByteArray>& list);

} // namespace zarvello
