// Hosts file reading and writing over POSIX calls, so that every failure keeps its errno.
#include "hosts_file.h"
#include "editor_state.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zarvello {

namespace {

constexpr qsizetype ChunkSize = 64 * 1024;

// Closes a descriptor when it goes out of scope, unless released.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now and reports the error close() found (a delayed write error on some file systems).
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

FileError systemFailure(const QString& path, FileError::Operation operation, int error, bool fileUnchanged = true)
{
    FileError failure{path, operation, FileError::Reason::System, error};
    failure.fileUnchanged = fileUnchanged;
    return failure;
}

int writeAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, p, size_t(std::min<qsizetype>(left, 1 << 30)));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        p += written;
        left -= written;
    }
    return 0;
}

// Some file systems (and /proc, /sys) cannot sync; that is no reason to call a save failed.
int syncFile(int fd)
{
    if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS)
        return 0;
    return errno;
}

std::optional<FileError> writeInPlace(const QString& shownPath, const QByteArray& target, const QByteArray& bytes)
{
    Descriptor file(::open(target.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666));
    if (!file.valid())
        return systemFailure(shownPath, FileError::Operation::Write, errno);
    int error = writeAll(file.get(), bytes);
    if (error == 0)
        error = syncFile(file.get());
    const int closeError = file.close();
    if (error == 0)
        error = closeError;
    if (error != 0)
        return systemFailure(shownPath, FileError::Operation::Write, error, false);
    return std::nullopt;
}

// The file a save really writes: the end of a chain of symbolic links, so the link stays.
// A dangling link yields nothing: writing through it in place creates its target.
std::optional<QByteArray> resolveTarget(const QByteArray& path)
{
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.constData(), resolved) == nullptr)
        return std::nullopt;
    return QByteArray(resolved);
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    if (slash == 0)
        return "/";
    return path.left(slash);
}

} // namespace

void LineSplitter::feed(QByteArrayView chunk, QList<QByteArray>& lines)
{
    qsizetype start = 0;
    if (m_afterCr && !chunk.isEmpty() && chunk.front() == '\n')
        start = 1;
    m_afterCr = false;
    while (true) {
        const qsizetype cr = chunk.indexOf('\r', start);
        if (cr < 0)
            break;
        const QByteArrayView piece = chunk.sliced(start, cr - start);
        if (m_partial.isEmpty()) {
            lines.append(piece.toByteArray());
        } else {
            m_partial.append(piece);
            lines.append(std::exchange(m_partial, {}));
        }
        start = cr + 1;
        if (start == chunk.size()) {
            m_afterCr = true;
            return;
        }
        if (chunk.at(start) == '\n')
            ++start;
    }
    m_partial.append(chunk.sliced(start));
}

void LineSplitter::finish(QList<QByteArray>& lines)
{
    if (!m_partial.isEmpty())
        lines.append(std::exchange(m_partial, {}));
    m_afterCr = false;
}

ReadResult readHostsFile(const QString& path, int maxLines)
{
    using Op = FileError::Operation;
    ReadResult result;
    // Non-blocking, so that a FIFO without a writer cannot hang the open; the check below turns
    // it away before anything is read.
    Descriptor file(::open(nativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.valid()) {
        result.error = systemFailure(path, Op::Read, errno);
        return result;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        result.error = systemFailure(path, Op::Read, errno);
        return result;
    }
    if (S_ISDIR(info.st_mode)) {
        result.error = systemFailure(path, Op::Read, EISDIR);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.error = FileError{path, Op::Read, FileError::Reason::NotRegularFile};
        return result;
    }

    const FileError tooLarge{path, Op::Read, FileError::Reason::TooLarge};
    if (info.st_size > MaxHostsFileSize) {
        result.error = tooLarge;
        return result;
    }

    LineSplitter splitter;
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    qint64 total = 0;
    while (true) {
        const ssize_t got = ::read(file.get(), chunk.data(), size_t(chunk.size()));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.error = systemFailure(path, Op::Read, errno);
            return result;
        }
        if (got == 0)
            break;
        // The file may have grown since it was measured.
        if ((total += got) > MaxHostsFileSize) {
            result.lines.clear();
            result.error = tooLarge;
            return result;
        }
        splitter.feed(QByteArrayView(chunk.constData(), got), result.lines);
        if (result.lines.size() > maxLines)
            break;
    }
    splitter.finish(result.lines);
    if (result.lines.size() > maxLines) {
        result.lines.clear();
        result.error = FileError{path, Op::Read, FileError::Reason::TooManyEntries};
    }
    return result;
}

QByteArray joinLines(const QList<QByteArray>& lines)
{
    qsizetype size = 0;
    for (const QByteArray& line : lines)
        size += line.size() + 2;
    QByteArray bytes;
    bytes.reserve(size);
    for (const QByteArray& line : lines) {
        bytes.append(line);
        bytes.append("\r\n", 2);
    }
    return bytes;
}

std::optional<FileError> writeHostsFile(const QString& path, const QByteArray& bytes)
{
    using Op = FileError::Operation;
    if (path.isEmpty())
        return systemFailure(path, Op::Write, ENOENT);
    const std::optional<QByteArray> resolved = resolveTarget(nativePath(path));
    if (!resolved)
        return writeInPlace(path, nativePath(path), bytes);
    const QByteArray& target = *resolved;

    struct stat existing {};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (!exists && errno != ENOENT)
        return systemFailure(path, Op::Write, errno);
    if (exists && S_ISDIR(existing.st_mode))
        return systemFailure(path, Op::Write, EISDIR);
    if (exists && !S_ISREG(existing.st_mode))
        return FileError{path, Op::Write, FileError::Reason::NotRegularFile};
    // Renaming over a file needs only the folder's permission; a file the person may not write
    // stays theirs to protect, as writing it in place would respect.
    if (exists && ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
        return systemFailure(path, Op::Write, errno);

    QByteArray temporary = folderOf(target) + "/.zarvello-XXXXXX";
    Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.valid())
        return writeInPlace(path, target, bytes);

    const auto discard = [&](int error) {
        ::unlink(temporary.constData());
        return systemFailure(path, Op::Write, error);
    };
    if (exists) {
        // Only root may give a file away; anyone else keeps their own ownership, as when editing.
        if (::fchown(file.get(), existing.st_uid, existing.st_gid) != 0 && errno != EPERM)
            return discard(errno);
        if (::fchmod(file.get(), existing.st_mode & 07777) != 0)
            return discard(errno);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(file.get(), 0666 & ~mask) != 0)
            return discard(errno);
    }
    if (const int error = writeAll(file.get(), bytes))
        return discard(error);
    if (const int error = syncFile(file.get()))
        return discard(error);
    if (const int error = file.close())
        return discard(error);

    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        // A bind-mounted file (as /etc/hosts in a container) cannot be replaced, only rewritten.
        if (error == EBUSY || error == EXDEV)
            return writeInPlace(path, target, bytes);
        return systemFailure(path, Op::Write, error);
    }
    // Make the rename itself durable; a folder that cannot be synced still holds the new file.
    Descriptor folder(::open(folderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        ::fsync(folder.get());
    return std::nullopt;
}

std::optional<FileError> LoadHostsFile(HostList& list, const QString& path)
{
    ReadResult result = readHostsFile(path, list.room());
    // Lines read before a failure stay, and they fit: reading stops once they would not.
    list.addLines(std::move(result.lines));
    return result.error;
}

std::optional<FileError> SaveHostsFile(const EditorState& state)
{
    return writeHostsFile(state.currentPath(), joinLines(state.hostList().lines()));
}

} // namespace zarvello
