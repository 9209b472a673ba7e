// SPDX-License-Identifier: GPL-3.0-or-later
// A file's fingerprint, from its status.
#include "fingerprint.h"

#include <QFile>

namespace zarvello {

Fingerprint Fingerprint::from(const struct stat& info)
{
    const auto time = [](const timespec& t) { return Time{qint64(t.tv_sec), qint64(t.tv_nsec)}; };
    return Fingerprint{info.st_dev, info.st_ino, info.st_size, time(info.st_mtim),
                       time(info.st_ctim)};
}

Fingerprint Fingerprint::of(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return from(info);
}

} // namespace zarvello
