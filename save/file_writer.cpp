// SPDX-License-Identifier: GPL-3.0-or-later
// The safe save over POSIX calls, so that every failure keeps its errno.
#include "file_writer.h"
#include "descriptor.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <linux/magic.h>
#include <memory>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <variant>

namespace zarvello {

namespace {

using Op = FileError::Operation;
using State = FileError::FileState;

// How many links one path may pass through, as the kernel allows.
constexpr int MaxLinks = 40;

// The file a save writes, with nothing left to resolve: an open folder and a name in it.
struct Location {
    Descriptor folder;
    QByteArray name;
    bool exists = false;
    struct stat info {};
    bool diskOnly = false; // as root for a person: files of disk file systems alone
    std::optional<Fingerprint> expected =
        {};                   // the file as the content was made from it, if checked
    Fingerprint written = {}; // the file as the save left it
};

// Whether the file is still the one the new content was made from.
bool asExpected(const Location& at)
{
    struct stat info {};
    if (!at.expected)
        return true;
    if (::fstatat(at.folder.get(), at.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT && *at.expected == Fingerprint{};
    return Fingerprint::from(info) == *at.expected;
}

// A failure before the location is known, or while writing: errno, or one of our reasons.
struct Refusal {
    int error = 0;
    FileError::Reason reason = FileError::Reason::System;
};

int openFolder(int at, const char* name)
{
    return ::openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The kernel's protected-symlink rule: in a sticky folder that anyone may write, a link is
// followed only by its owner or when it belongs to the folder's owner.
bool mayFollow(int folder, const struct stat& link)
{
    struct stat info {};
    if (::fstat(folder, &info) != 0)
        return false;
    const bool shared = (info.st_mode & S_ISVTX) && (info.st_mode & S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == info.st_uid;
}

QByteArray readLink(int folder, const QByteArray& name)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length =
        ::readlinkat(folder, name.constData(), target.data(), size_t(target.size()));
    return length > 0 && length < target.size() ? target.left(length) : QByteArray();
}

void pushFront(std::deque<QByteArray>& pending, const QByteArray& path)
{
    const QList<QByteArray> parts = path.split('/');
    pending.insert(pending.begin(), parts.cbegin(), parts.cend());
}

// A folder only user may change: owned by them, and writable by no group and no other user (an
// ACL's entries for others count in the group bits).
bool onlyChangedBy(int folder, uid_t user)
{
    struct stat info {};
    return ::fstat(folder, &info) == 0 && info.st_uid == user
        && !(info.st_mode & (S_IWGRP | S_IWOTH));
}

// A file system that holds files, on a disk or in memory. Those of kernel interfaces (proc, sysfs,
// configfs, binfmt_misc...) hold files too, but writing one changes the running system, and a
// FUSE file system answers for its owner, whoever it says owns a folder. A list of what to allow,
// since one of what to refuse would miss what a later kernel adds.
bool holdsFiles(int fd)
{
    constexpr decltype(statfs::f_type) ZfsMagic = 0x2FC12FC1;
    struct statfs info {};
    if (::fstatfs(fd, &info) != 0)
        return false;
    switch (info.f_type) {
    case EXT4_SUPER_MAGIC: // ext2 and ext3 too
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case ZfsMagic:
    case OVERLAYFS_SUPER_MAGIC:
        return true;
    case TMPFS_MAGIC: {
        // devtmpfs says it is a tmpfs: the one at /dev, which holds the devices, is not taken.
        struct stat file {
        }, devices{};
        return ::fstat(fd, &file) == 0 && ::stat("/dev", &devices) == 0
            && file.st_dev != devices.st_dev;
    }
    default:
        return false;
    }
}

// A file system mounted without set-user-ID programs, as udisks and a "user" entry of fstab always
// mount a disk a person brings: who made it decides what it says of owners, root's among them.
bool mountedByAPerson(int fd)
{
    struct statfs info {};
    return ::fstatfs(fd, &info) != 0 || (info.f_flags & ST_NOSUID);
}

std::variant<Location, Refusal> locate(QByteArrayView path, Rules rules)
{
    const bool forAnother = rules == Rules::ForAnotherPerson;
    std::deque<QByteArray> pending;
    pushFront(pending, path.toByteArray());
    Descriptor folder(openFolder(AT_FDCWD, path.startsWith('/') ? "/" : "."));
    int links = 0;
    while (folder.valid()) {
        // Every folder on the way, not the last alone: one of /proc that root owns leads, by a
        // process's fd or cwd link, to a file of the person's choosing that the prompt never named.
        if (forAnother && !holdsFiles(folder.get()))
            return Refusal{EACCES, FileError::Reason::KernelInterface};
        if (forAnother && mountedByAPerson(folder.get()))
            return Refusal{EACCES, FileError::Reason::PersonsDisk};
        if (forAnother && !onlyChangedBy(folder.get(), 0))
            return Refusal{EACCES, FileError::Reason::UnsafeFolder};
        const QByteArray part = pending.front();
        pending.pop_front();
        const bool last = pending.empty();
        if (part.isEmpty() || part == "." || part == "..") {
            if (last)
                return Refusal{EISDIR};
            if (part == "..")
                folder = Descriptor(openFolder(folder.get(), ".."));
            continue;
        }
        struct stat info {};
        if (::fstatat(folder.get(), part.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT && last)
                return Location{std::move(folder), part, false, {}, forAnother};
            return Refusal{errno};
        }
        if (S_ISLNK(info.st_mode)) {
            if (++links > MaxLinks)
                return Refusal{ELOOP};
            if (forAnother && info.st_uid != 0)
                return Refusal{EACCES, FileError::Reason::UnsafeLink};
            if (!mayFollow(folder.get(), info))
                return Refusal{EACCES, FileError::Reason::ForeignLink};
            const QByteArray target = readLink(folder.get(), part);
            if (target.isEmpty())
                return Refusal{ENOENT};
            pushFront(pending, target);
            if (target.startsWith('/'))
                folder = Descriptor(openFolder(AT_FDCWD, "/"));
            continue;
        }
        if (last)
            return Location{std::move(folder), part, true, info, forAnother};
        if (!S_ISDIR(info.st_mode))
            return Refusal{ENOTDIR};
        // O_NOFOLLOW: a folder swapped for a link since fstatat fails here instead of leading away.
        folder = Descriptor(openFolder(folder.get(), part.constData()));
    }
    return Refusal{errno};
}

int writeAllAt(int fd, const QByteArray& bytes, off_t offset)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::pwrite(fd, p, size_t(std::min<qsizetype>(left, 1 << 30)), offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        p += written;
        left -= written;
        offset += written;
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

int readAll(int fd, QByteArray& bytes, qsizetype size)
{
    bytes.resize(size);
    qsizetype done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, bytes.data() + done, size_t(size - done), done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got < 0 ? errno : EIO; // the file shrank under us
        done += got;
    }
    return 0;
}

// Writes the old bytes back over whatever of the new ones reached the file, which then holds them
// alone; true once that is on disk.
bool putBack(int fd, const QByteArray& old, qsizetype written)
{
    return writeAllAt(fd, old, 0) == 0
        && (written <= old.size() || ::ftruncate(fd, old.size()) == 0) && syncFile(fd) == 0;
}

// Rewrites the file itself, for the cases a rename cannot serve. The space is reserved before a
// byte changes, a failed write or cut puts the old bytes back, and the file is synced once, whole:
// a crash between the write and the cut would find the new bytes followed by the old tail, so
// nothing comes between them.
Refusal rewriteInPlace(Location& at, const QByteArray& bytes, State& state)
{
    Descriptor file(::openat(at.folder.get(), at.name.constData(),
                             O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.valid())
        return {errno};
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return {errno};
    if (!S_ISREG(info.st_mode))
        return {0, FileError::Reason::NotRegularFile};
    // A file mounted over its name may lie on another file system than its folder.
    if (at.diskOnly && !holdsFiles(file.get()))
        return {EACCES, FileError::Reason::KernelInterface};
    if (at.diskOnly && mountedByAPerson(file.get()))
        return {EACCES, FileError::Reason::PersonsDisk};
    // The file opened by name must be the one located, whose links and folders were checked.
    if (info.st_dev != at.info.st_dev || info.st_ino != at.info.st_ino)
        return {ESTALE};
    // The old bytes are held to be put back; no hosts file is larger.
    if (info.st_size > MaxHostsFileSize)
        return {EFBIG};
    QByteArray old;
    if (const int error = readAll(file.get(), old, qsizetype(info.st_size)))
        return {error};
    // The last moment before a byte changes: what another program wrote meanwhile stays.
    if (at.expected && (::fstat(file.get(), &info) != 0 || Fingerprint::from(info) != *at.expected))
        return {0, FileError::Reason::ChangedMeanwhile};
    if (bytes.size() > old.size()
        && ::fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, bytes.size()) != 0
        && errno != EOPNOTSUPP)
        return {errno};

    if (const int error = writeAllAt(file.get(), bytes, 0)) {
        state = putBack(file.get(), old, bytes.size()) ? State::Unchanged : State::MaybeIncomplete;
        return {error};
    }
    // A longer or equal list already gave the file its size; a shorter one leaves the old tail, and
    // the old bytes, being the longer, cover all of the file if it cannot be cut.
    if (bytes.size() < old.size() && ::ftruncate(file.get(), bytes.size()) != 0) {
        const int error = errno;
        state = putBack(file.get(), old, bytes.size()) ? State::Unchanged : State::MaybeIncomplete;
        return {error};
    }
    if (::fstat(file.get(), &info) == 0)
        at.written = Fingerprint::from(info);
    int error = syncFile(file.get());
    if (error == 0)
        error = file.close();
    if (error != 0)
        state = State::WrittenNotDurable;
    return {error};
}

// A temporary file in the target's folder. Anonymous where the file system allows, so that a
// crash leaves nothing behind; it gets a name only right before the rename.
struct Temporary {
    Descriptor file;
    bool anonymous = false;
    QByteArray name; // once it has one
};

constexpr char TemporaryPrefix[] = ".zarvello-";
constexpr char TemporaryAlphabet[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr qsizetype TemporaryRandom = 8;

QByteArray temporaryName()
{
    unsigned char random[TemporaryRandom] = {};
    if (::getrandom(random, sizeof random, 0) != sizeof random)
        return {};
    QByteArray name(TemporaryPrefix);
    for (const unsigned char r : random)
        name += TemporaryAlphabet[r % (sizeof TemporaryAlphabet - 1)];
    return name;
}

bool isTemporaryName(QByteArrayView name)
{
    const qsizetype prefix = sizeof TemporaryPrefix - 1;
    return name.size() == prefix + TemporaryRandom && name.startsWith(TemporaryPrefix)
        && std::all_of(name.begin() + prefix, name.end(),
                       [](char c) { return c != '\0' && std::strchr(TemporaryAlphabet, c); });
}

// Removes what a killed save of this user's left in the folder: a name of our pattern on a plain
// file with no other name, owned by the saving user and untouched for a minute (a save under way
// writes its copy, or keeps it without a name). Only in a folder no one else may change, so that no
// name can be swapped between the check and the removal; nothing else is touched. What cannot be
// removed now waits for a later save: this save does not depend on it.
void removeLitter(int folder)
{
    if (!onlyChangedBy(folder, ::geteuid()))
        return;
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (listing < 0)
        return;
    const std::unique_ptr<DIR, int (*)(DIR*)> entries(::fdopendir(listing), ::closedir);
    if (!entries) {
        ::close(listing);
        return;
    }
    struct timespec now {};
    if (::clock_gettime(CLOCK_REALTIME, &now) != 0)
        return;
    while (const dirent* entry = ::readdir(entries.get())) {
        struct stat info {};
        if (isTemporaryName(entry->d_name)
            && ::fstatat(listing, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(info.st_mode) && info.st_nlink == 1 && info.st_uid == ::geteuid()
            && info.st_mtim.tv_sec < now.tv_sec - 60)
            ::unlinkat(listing, entry->d_name, 0);
    }
}

// A file mounted over its own name (a bind mount, as /etc/hosts in a container) cannot be renamed
// over; knowing it first spares a copy that could not be used. Kernels before 5.8 cannot tell, and
// the rename's EBUSY says it.
bool mountedOnItself(const Location& at)
{
    struct statx info {};
    // Attributes come whatever the mask asks.
    const int found = ::statx(at.folder.get(), at.name.constData(), AT_SYMLINK_NOFOLLOW, 0, &info);
    return found == 0 && (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        && (info.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

// Gives the temporary file fresh names of our pattern until make, given one, takes it (EEXIST: the
// name is someone else's); the errno of the last try, or 0.
int underFreshName(Temporary& temporary, const std::function<bool(const char*)>& make)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary.name = temporaryName();
        if (temporary.name.isEmpty())
            return errno;
        if (make(temporary.name.constData()))
            return 0;
        if (errno != EEXIST)
            break;
    }
    const int error = errno;
    temporary.name.clear();
    return error;
}

int createNamed(int folder, mode_t mode, Temporary& temporary)
{
    return underFreshName(temporary, [&](const char* name) {
        temporary.file = Descriptor(
            ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        return temporary.file.valid();
    });
}

int createTemporary(int folder, mode_t mode, Temporary& temporary)
{
    // Naming an anonymous file goes through /proc, which a chroot may lack.
    if (::access("/proc/self/fd", X_OK) == 0) {
        temporary.file = Descriptor(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (temporary.file.valid()) {
            temporary.anonymous = true;
            return 0;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
    }
    return createNamed(folder, mode, temporary);
}

int nameAnonymous(int folder, Temporary& temporary)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(temporary.file.get());
    return underFreshName(temporary, [&](const char* name) {
        return ::linkat(AT_FDCWD, self.constData(), folder, name, AT_SYMLINK_FOLLOW) == 0;
    });
}

// The names of the file's extended attributes, all of them, or false. A file system without
// extended attributes has none, and says so in unsupported; an attribute added between the two
// calls (ERANGE) is a failure too.
bool attributeNames(int fd, QList<QByteArray>& names, bool& unsupported)
{
    names.clear();
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    unsupported = size < 0 && errno == ENOTSUP;
    if (size <= 0)
        return size == 0 || unsupported;
    QByteArray list(size, Qt::Uninitialized);
    const ssize_t got = ::flistxattr(fd, list.data(), size_t(size));
    if (got < 0)
        return false;
    if (got > 0)
        names = list.left(got - 1).split('\0');
    return true;
}

// Gives the replacement everything of the old file's that a rename would otherwise lose: owner
// and group, extended attributes (ACLs and security labels are among them) and the mode. False
// when any of it cannot be given, or when what there is to give cannot be read whole.
bool keepsEverything(const Location& at, int replacement)
{
    Descriptor old(::openat(at.folder.get(), at.name.constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!old.valid())
        return false;
    if (::fchown(replacement, at.info.st_uid, at.info.st_gid) != 0)
        return false;
    QList<QByteArray> kept, inherited;
    bool oldUnsupported = false, copyUnsupported = false;
    if (!attributeNames(old.get(), kept, oldUnsupported))
        return false;
    for (const QByteArray& name : kept) {
        const ssize_t size = ::fgetxattr(old.get(), name.constData(), nullptr, 0);
        QByteArray value(std::max<ssize_t>(size, 0), Qt::Uninitialized);
        if (size < 0 || ::fgetxattr(old.get(), name.constData(), value.data(), size_t(size)) != size
            || ::fsetxattr(replacement, name.constData(), value.constData(), size_t(size), 0) != 0)
            return false;
    }
    // What the new file got from its folder (a default ACL) and the old one did not have.
    // Two files of one folder are on one file system: where only one of them lists, the other's
    // ENOTSUP hides what it holds.
    if (!attributeNames(replacement, inherited, copyUnsupported)
        || oldUnsupported != copyUnsupported)
        return false;
    for (const QByteArray& name : inherited) {
        if (!kept.contains(name) && ::fremovexattr(replacement, name.constData()) != 0)
            return false;
    }
    // Last: a change of owner clears set-user-ID bits, and an ACL sets the group bits.
    return ::fchmod(replacement, at.info.st_mode & 07777) == 0;
}

// Some reasons a replacement cannot be made are in the nature of the place, and the file itself
// can still be rewritten; any other failure is reported.
bool onlyInPlace(int error, const Location& at)
{
    return at.exists && (error == EACCES || error == EPERM);
}

Refusal replace(Location& at, const QByteArray& bytes, State& state)
{
    removeLitter(at.folder.get());
    // Another name of the file would keep the old content; a file mounted on itself cannot be
    // replaced.
    if (at.exists && (at.info.st_nlink > 1 || mountedOnItself(at)))
        return rewriteInPlace(at, bytes, state);
    Temporary temporary;
    int notRemoved = 0; // the errno of a copy of ours that could not be removed
    // An existing file's content stays private to the owner until the file has the old mode.
    if (const int error = createTemporary(at.folder.get(), at.exists ? 0600 : 0666, temporary))
        return onlyInPlace(error, at) ? rewriteInPlace(at, bytes, state) : Refusal{error};
    const auto discard = [&](int error) {
        if (!temporary.name.isEmpty()
            && ::unlinkat(at.folder.get(), temporary.name.constData(), 0) != 0)
            notRemoved = errno;
        return Refusal{error};
    };
    // Saved in place, but with our copy beside it: the person hears of both.
    const auto inPlace = [&] {
        const Refusal refusal = rewriteInPlace(at, bytes, state);
        if (refusal.error != 0 || refusal.reason != FileError::Reason::System || notRemoved == 0)
            return refusal;
        state = State::Saved;
        return Refusal{notRemoved, FileError::Reason::CopyLeft};
    };
    if (at.exists && !keepsEverything(at, temporary.file.get())) {
        discard(0);
        return inPlace();
    }
    if (const int error = writeAllAt(temporary.file.get(), bytes, 0))
        return discard(error);
    if (const int error = syncFile(temporary.file.get()))
        return discard(error);
    if (temporary.anonymous) {
        if (const int error = nameAnonymous(at.folder.get(), temporary))
            return discard(error);
    }
    struct stat made {};
    if (::fstat(temporary.file.get(), &made) != 0)
        return discard(errno);
    if (const int error = temporary.file.close())
        return discard(error);
    if (!asExpected(at)) {
        discard(0);
        return {0, FileError::Reason::ChangedMeanwhile};
    }
    if (::renameat(at.folder.get(), temporary.name.constData(), at.folder.get(),
                   at.name.constData())
        != 0) {
        const int error = errno;
        discard(error);
        // A bind-mounted file (as /etc/hosts in a container) cannot be replaced, only rewritten.
        if (at.exists && (error == EBUSY || error == EXDEV))
            return inPlace();
        return {error};
    }
    // The rename changed the file's ctime and nothing else, unless another program wrote it since:
    // then the next save is to see that write as a change.
    struct stat now {};
    at.written = Fingerprint::from(made);
    if (::fstatat(at.folder.get(), at.name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0
        && now.st_dev == made.st_dev && now.st_ino == made.st_ino && now.st_size == made.st_size
        && Fingerprint::from(now).modified == at.written.modified)
        at.written = Fingerprint::from(now);
    // The rename is durable only once the folder is synced; a folder this user cannot open for
    // reading cannot be synced by them at all.
    Descriptor folder(::openat(at.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) {
        if (const int error = syncFile(folder.get())) {
            state = State::WrittenNotDurable;
            return {error};
        }
    }
    return {};
}

} // namespace

namespace {

// The checks and the save once the file is located.
std::optional<FileError> writeLocated(Location& at, FileError& failure, const QByteArray& bytes,
                                      Rules rules, const std::optional<Fingerprint>& expected,
                                      Fingerprint* written)
{
    const auto fail = [&](const Refusal& refusal) -> std::optional<FileError> {
        failure.reason = refusal.reason;
        failure.systemError = refusal.error;
        return failure;
    };
    at.expected = expected;
    if (at.exists && S_ISDIR(at.info.st_mode))
        return fail({EISDIR});
    if (at.exists && !S_ISREG(at.info.st_mode))
        return fail({0, FileError::Reason::NotRegularFile});
    // Another name of the file may stand where root does not decide.
    if (at.exists && at.info.st_nlink > 1 && rules == Rules::ForAnotherPerson)
        return fail({EACCES, FileError::Reason::SeveralNames});
    // Renaming over a file needs only the folder's permission; a file the person may not write
    // stays theirs to protect, as writing it in place would respect.
    if (at.exists && ::faccessat(at.folder.get(), at.name.constData(), W_OK, AT_EACCESS) != 0)
        return fail({errno});
    const Refusal refusal = replace(at, bytes, failure.fileState);
    if (refusal.error == 0 && refusal.reason == FileError::Reason::System) {
        if (written)
            *written = at.written;
        return std::nullopt;
    }
    return fail(refusal);
}

FileError failed(const QByteArray& path, const Refusal& refusal)
{
    return FileError::writing(QFile::decodeName(path), refusal.error, refusal.reason);
}

// One folder: the same inode on the same mount, since a disk mounted again is another mount.
bool sameFolder(int one, int other)
{
    struct statx a {
    }, b{};
    const auto of = [](int fd, struct statx& info) {
        return ::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &info) == 0
            && (info.stx_mask & STATX_MNT_ID);
    };
    return of(one, a) && of(other, b) && a.stx_dev_major == b.stx_dev_major
        && a.stx_dev_minor == b.stx_dev_minor && a.stx_ino == b.stx_ino
        && a.stx_mnt_id == b.stx_mnt_id;
}

} // namespace

std::optional<FileError> writeFileSafely(const QByteArray& path, const QByteArray& bytes,
                                         Rules rules, const std::optional<Fingerprint>& expected,
                                         Fingerprint* written)
{
    if (path.isEmpty())
        return failed(path, {ENOENT});
    if (bytes.size() > MaxHostsFileSize)
        return failed(path, {EFBIG});
    auto located = locate(path, rules);
    if (const Refusal* refusal = std::get_if<Refusal>(&located))
        return failed(path, *refusal);
    FileError failure{QFile::decodeName(path), Op::Write};
    return writeLocated(std::get<Location>(located), failure, bytes, rules, expected, written);
}

std::variant<HeldTarget, FileError> holdTarget(const QByteArray& path, Rules rules)
{
    if (path.isEmpty())
        return failed(path, {ENOENT});
    auto located = locate(path, rules);
    if (const Refusal* refusal = std::get_if<Refusal>(&located))
        return failed(path, *refusal);
    Location& at = std::get<Location>(located);
    return HeldTarget{path, std::move(at.folder), at.name, rules};
}

std::optional<FileError> writeFileSafely(const HeldTarget& target, const QByteArray& bytes,
                                         const std::optional<Fingerprint>& expected,
                                         Fingerprint* written)
{
    if (bytes.size() > MaxHostsFileSize)
        return failed(target.path, {EFBIG});
    auto located = locate(target.path, target.rules);
    if (const Refusal* refusal = std::get_if<Refusal>(&located))
        return failed(target.path, *refusal);
    Location& at = std::get<Location>(located);
    if (at.name != target.name || !sameFolder(at.folder.get(), target.folder.get()))
        return failed(target.path, {ESTALE, FileError::Reason::PlaceChanged});
    // The name is looked up afresh in the held folder: a save by rename left a new file there.
    at.folder = Descriptor(::fcntl(target.folder.get(), F_DUPFD_CLOEXEC, 0));
    at.exists = ::fstatat(at.folder.get(), at.name.constData(), &at.info, AT_SYMLINK_NOFOLLOW) == 0;
    if (!at.exists && errno != ENOENT)
        return failed(target.path, {errno});
    // A link laid there since is no file of the grant's, and none the resolution just followed.
    if (at.exists && S_ISLNK(at.info.st_mode))
        return failed(target.path, {ESTALE, FileError::Reason::PlaceChanged});
    FileError failure{QFile::decodeName(target.path), Op::Write};
    return writeLocated(at, failure, bytes, target.rules, expected, written);
}

} // namespace zarvello
