// SPDX-License-Identifier: GPL-3.0-or-later
// The hosts file format: lines read over POSIX calls, so that every failure keeps its errno, and
// the list written as lines.
#include "hosts_format.h"
#include "descriptor.h"
#include "host_list.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvello {

namespace {

constexpr qsizetype ChunkSize = 64 * 1024;

} // namespace

ReadResult readHostsFile(const QString& path, int maxLines)
{
    ReadResult result;
    // Non-blocking, so that a FIFO without a writer cannot hang the open; the check below turns
    // it away before anything is read.
    Descriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.valid()) {
        result.error = FileError::reading(path, errno);
        return result;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        result.error = FileError::reading(path, errno);
        return result;
    }
    result.fingerprint = Fingerprint::from(info);
    if (S_ISDIR(info.st_mode)) {
        result.error = FileError::reading(path, EISDIR);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.error = FileError::reading(path, 0, FileError::Reason::NotRegularFile);
        return result;
    }

    FileError tooLarge = FileError::reading(path, 0, FileError::Reason::TooLarge);
    tooLarge.maxMebibytes = MaxHostsFileSize >> 20;
    if (info.st_size > MaxHostsFileSize) {
        result.error = tooLarge;
        return result;
    }

    // The whole file in one buffer, which its lines then share. Room for more than the file's size
    // tells that it grew since it was measured; a whole chunk more, as some files (pagemap) refuse
    // reads of a single byte.
    QByteArray& bytes = result.bytes;
    const qsizetype most = MaxHostsFileSize + ChunkSize;
    bytes.resize(std::min<qsizetype>(std::max<qsizetype>(info.st_size, ChunkSize - 1) + 1, most));
    qsizetype filled = 0;
    while (true) {
        if (filled == bytes.size())
            bytes.resize(std::min(2 * filled, most));
        const ssize_t got =
            ::read(file.get(), bytes.data() + filled, size_t(bytes.size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.error = FileError::reading(path, errno);
            // The lines read whole stay; a line cut short by the failure is not one.
            const auto last =
                std::find(std::make_reverse_iterator(bytes.cbegin() + filled), bytes.crend(), '\r');
            filled = bytes.crend() - last;
            break;
        }
        if (got == 0)
            break;
        if ((filled += got) > MaxHostsFileSize) {
            result.bytes.clear();
            result.error = tooLarge;
            return result;
        }
    }
    bytes.truncate(filled);
    result.lines = splitLines(bytes, qsizetype(maxLines) + 1);
    if (result.lines.size() > maxLines)
        result.error = FileError::reading(path, 0, FileError::Reason::TooManyEntries);
    return result;
}

QList<QByteArray> splitLines(const QByteArray& bytes, qsizetype atMost)
{
    QList<QByteArray> lines;
    const char* const data = bytes.constData();
    qsizetype start = 0;
    while (start < bytes.size() && lines.size() < atMost) {
        const auto* cr =
            static_cast<const char*>(std::memchr(data + start, '\r', size_t(bytes.size() - start)));
        const qsizetype end = cr ? cr - data : bytes.size();
        lines.append(sharedPart(bytes, start, end - start));
        start = end + 1;
        if (start < bytes.size() && data[start] == '\n')
            ++start;
    }
    return lines;
}

QByteArray joinLines(const QList<QByteArray>& lines, QByteArray into, qsizetype* pieces)
{
    qsizetype size = 0;
    for (const QByteArray& line : lines)
        size += line.size() + 2;
    if (!into.isDetached() || into.capacity() < size) {
        into = QByteArray();
        into.reserve(size + size / 16); // room for the lines a few more saves add
    }
    into.resize(size);
    char* out = into.data();
    // Copied straight in, an append per line costs several times the copy; lines that follow one
    // another in one buffer with CR LF between, as in the bytes of an earlier save, in one piece.
    for (qsizetype i = 0; i < lines.size();) {
        const char* const start = lines.at(i).constData();
        const QArrayData* const buffer = const_cast<QByteArray&>(lines.at(i)).data_ptr().d_ptr();
        const char* end = start + lines.at(i).size();
        for (++i; i < lines.size() && buffer
             && const_cast<QByteArray&>(lines.at(i)).data_ptr().d_ptr() == buffer
             && lines.at(i).constData() == end + 2 && end[0] == '\r' && end[1] == '\n';
             ++i)
            end += 2 + lines.at(i).size();
        std::memcpy(out, start, size_t(end - start));
        out += end - start;
        *out++ = '\r';
        *out++ = '\n';
        if (pieces)
            ++*pieces;
    }
    return into;
}

} // namespace zarvello
