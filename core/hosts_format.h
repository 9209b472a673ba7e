// SPDX-License-Identifier: GPL-3.0-or-later
// The hosts file format: a file's bytes read whole, cut into lines, and lines joined into bytes.
#pragma once

#include "file_error.h"
#include "fingerprint.h"
#include "size_limit.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <limits>
#include <optional>

namespace zarvello {

struct ReadResult {
    QByteArray bytes;               // the file's bytes, which the lines share
    QList<QByteArray> lines;        // the lines read, also those before a failure
    std::optional<FileError> error; // why reading stopped early, if it did
    Fingerprint fingerprint;        // the file's as it was opened, if it was
};

// Reads the lines of a regular file (or a link to one), the whole file into one buffer. Fails with
// TooManyEntries when the file holds more than maxLines lines, returning maxLines + 1 of them, and
// with TooLarge, returning no lines, past MaxHostsFileSize.
ReadResult readHostsFile(const QString& path, int maxLines);

// The lines of a whole file's bytes, at most atMost of them: CR LF or a lone CR ends a line, a lone
// LF is an ordinary character, and a final terminator adds no empty line. The lines share bytes'
// buffer rather than each taking an allocation of its own.
QList<QByteArray> splitLines(const QByteArray& bytes,
                             qsizetype atMost = std::numeric_limits<qsizetype>::max());

// The bytes a list of lines is written as: each line followed by CR LF. Written into into's buffer
// when nothing else shares it and it is large enough: fresh pages cost more than the copy. Counts
// in pieces the copies it made.
QByteArray joinLines(const QList<QByteArray>& lines, QByteArray into = {},
                     qsizetype* pieces = nullptr);

} // namespace zarvello
