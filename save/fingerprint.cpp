// SPDX-License-Identifier: GPL-3.0-or-later
// A file's fingerprint, from its status.
#include "fingerprint.h"

#include <QFile>

namespace zarvello {

Fingerprint Fingerprint::from(const struct stat& info)
{
    const auto nanoseconds = [](const timespec& t) {
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    };
    return Fingerprint{info.st_dev, info.st_ino, info.st_size, nanoseconds(info.st_mtim),
                       nanoseconds(info.st_ctim)};
}

Fingerprint Fingerprint::of(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return from(info);
}

} // namespace zarvello
