// SPDX-License-Identifier: GPL-3.0-or-later
// The hosts file format: lines read over POSIX calls, so that every failure keeps its errno, and
// the list written as lines.
#include "hosts_file.h"
#include "descriptor.h"
#include "dialogs.h"
#include "editor_state.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zarvello {

namespace {

constexpr qsizetype ChunkSize = 64 * 1024;

FileError systemFailure(const QString& path, int error)
{
    return FileError{path, FileError::Operation::Read, FileError::Reason::System, error};
}

} // namespace

ReadResult readHostsFile(const QString& path, int maxLines)
{
    using Op = FileError::Operation;
    ReadResult result;
    // Non-blocking, so that a FIFO without a writer cannot hang the open; the check below turns
    // it away before anything is read.
    Descriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.valid()) {
        result.error = systemFailure(path, errno);
        return result;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        result.error = systemFailure(path, errno);
        return result;
    }
    result.fingerprint = Fingerprint::from(info);
    if (S_ISDIR(info.st_mode)) {
        result.error = systemFailure(path, EISDIR);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.error = FileError{path, Op::Read, FileError::Reason::NotRegularFile};
        return result;
    }

    FileError tooLarge{path, Op::Read, FileError::Reason::TooLarge};
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
            result.error = systemFailure(path, errno);
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
        result.error = FileError{path, Op::Read, FileError::Reason::TooManyEntries};
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

std::optional<FileError> LoadHostsFile(EditorState& state, const QString& path)
{
    HostList& list = state.hostList();
    ReadResult result = readHostsFile(path, list.room());
    if (result.error && result.error->reason == FileError::Reason::TooManyEntries)
        result.error->maxEntries = HostList::MaxCount;
    if (!result.error)
        state.base() = {path, result.fingerprint, result.bytes};
    // Lines read before a read failure stay; too many lines add none, as addLines takes all or
    // none.
    list.addLines(std::move(result.lines));
    return result.error;
}

std::optional<FileError> SaveHostsFile(EditorState& state, Saver& saver, Dialogs& dialogs)
{
    const QString path = state.currentPath();
    HostList& list = state.hostList();
    FileBase& base = state.base();
    bool recreated = false;
    // One stat tells an untouched file. Nothing locks a hosts file: a change another program makes
    // between the read below and the save's rename, a few milliseconds, is not seen.
    if (base.path == path && Fingerprint::of(path) != base.fingerprint) {
        ReadResult now = readHostsFile(path, HostList::MaxCount);
        if (now.error && now.error->reason != FileError::Reason::TooManyEntries) {
            recreated = true; // gone or unreadable: the list is all there is
        } else {
            const FileChanges changes =
                fileChanges(splitLines(base.bytes), now.lines, list.lines());
            if (now.error
                || list.Count() - changes.removed.size() + changes.added.size()
                    > HostList::MaxCount)
                return FileError{
                    path, FileError::Operation::Write, FileError::Reason::TooManyEntries, 0,
                    {},   HostList::MaxCount};
            list.removeLines(changes.removed);
            list.addLines(changes.added);
            base = {path, now.fingerprint, std::move(now.bytes)};
            if (!changes.isEmpty())
                dialogs.showMessage(
                    QStringLiteral(
                        "Файл «%1» изменила другая программа. Её изменения взяты в список перед "
                        "сохранением: строк добавлено — %2, убрано — %3.")
                        .arg(path)
                        .arg(changes.added.size())
                        .arg(changes.removed.size()),
                    savingTitle);
        }
    }
    qsizetype pieces = 0;
    const QByteArray bytes = joinLines(list.lines(), std::exchange(base.spare, {}), &pieces);
    // Lines copied one by one (a file loaded unsorted, many additions) cost a copy each at every
    // save; as parts of these bytes, runs of them are copied in one piece.
    if (pieces > 64)
        list.shareWritten(bytes);
    if (const std::optional<FileError> error = saver.save(path, bytes)) {
        // A save that failed after writing, or may have, leaves the file as the base only if it
        // holds what was written: else the next save would take this list's own lines in again.
        if (error->fileState != FileError::FileState::Unchanged) {
            const ReadResult now = readHostsFile(path, HostList::MaxCount);
            if (!now.error && now.bytes == bytes)
                base = {path, now.fingerprint, bytes};
        }
        return error;
    }
    base = {path, Fingerprint::of(path), bytes, std::move(base.bytes)};
    if (recreated)
        dialogs.showMessage(
            QStringLiteral("Файл «%1» пропал или перестал читаться после того, как программа его "
                           "открыла или сохранила. Он записан заново из списка.")
                .arg(path),
            savingTitle);
    return std::nullopt;
}

} // namespace zarvello
