// SPDX-License-Identifier: GPL-3.0-or-later
// Enough of a file's status to tell, with one stat, that nobody wrote it.
#pragma once

#include <QString>

#include <sys/stat.h>

namespace zarvello {

// Device, inode, size and the times of the last write and of the last change, as the kernel keeps
// them: any second of a 64-bit count and its nanoseconds.
// A kernel moves those times once a clock tick (4 ms on Debian's), not at every write: a rewrite
// that keeps the size, within the tick of the write before, goes unseen. Content is never
// compared: that would cost a read of the file at every save.
struct Fingerprint {
    struct Time {
        qint64 seconds = 0, nanoseconds = 0;
        bool operator==(const Time&) const = default;
    };
    quint64 device = 0, inode = 0;
    qint64 size = 0;
    Time modified, changed;

    bool operator==(const Fingerprint&) const = default;
    // The file's as its status says.
    static Fingerprint from(const struct stat& info);
    // The file's at path, following links as a read does; Fingerprint{}, which no file has, when
    // there is none.
    static Fingerprint of(const QString& path);
};

} // namespace zarvello
