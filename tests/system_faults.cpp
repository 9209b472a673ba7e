// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into the helper: one system call of a save fails, or kills the process, on demand.
// ZARVELLO_FAULT="CALL ERRNO FLAGS SKIP", a second one maybe after " ; ": after SKIP calls of CALL
// whose open (or descriptor's F_GETFL) flags include FLAGS, the next fails with ERRNO, or does what
// a FaultAction says.
#include "faults.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#define REAL(name) reinterpret_cast<decltype(&::name)>(::dlsym(RTLD_NEXT, #name))

static bool strikes(const char* call, int flags)
{
    static char armed[2][32];
    static int error[2], wanted[2], skip[2];
    [[maybe_unused]] static int read =
        std::sscanf(std::getenv("ZARVELLO_FAULT") ? std::getenv("ZARVELLO_FAULT") : "",
                    "%31s %d %d %d ; %31s %d %d %d", armed[0], &error[0], &wanted[0], &skip[0],
                    armed[1], &error[1], &wanted[1], &skip[1]);
    for (int i = 0; i < 2; ++i) {
        if (std::strcmp(armed[i], call) != 0 || (flags & wanted[i]) != wanted[i] || skip[i]-- > 0)
            continue;
        armed[i][0] = '\0';
        if (error[i] == Kill)
            ::raise(SIGKILL);
        if (error[i] == Alarm)
            return ::raise(SIGALRM), false;
        if (error[i] == Pause) {
            const char* paused = std::getenv("ZARVELLO_PAUSED");
            REAL(close)(::open(paused, O_CREAT | O_WRONLY, 0600));
            for (int tries = 0; tries < 3000 && ::access(paused, F_OK) == 0; ++tries)
                ::usleep(10000);
            return false;
        }
        errno = error[i];
        return true;
    }
    return false;
}

static int flagsOf(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags < 0 ? 0 : flags;
}

// Defines a call that fails when strikes() says so, and is the C library's, REAL, otherwise.
#define FAULTY(type, name, parameters, flags, ...)                                                 \
    extern "C" type name parameters                                                                \
    {                                                                                              \
        return strikes(#name, flags) ? (errno == ReturnZero ? 0 : -1) : REAL(name)(__VA_ARGS__);   \
    }

extern "C" ssize_t pwrite(int fd, const void* bytes, size_t size, off_t at)
{
    if (!strikes("pwrite", flagsOf(fd)))
        return REAL(pwrite)(fd, bytes, size, at);
    return errno == Short ? REAL(pwrite)(fd, bytes, size / 2, at) : -1;
}
FAULTY(ssize_t, pread, (int fd, void* bytes, size_t size, off_t at), 0, fd, bytes, size, at)
FAULTY(int, fsync, (int fd), flagsOf(fd), fd)
FAULTY(int, close, (int fd), flagsOf(fd), fd)
FAULTY(int, fchown, (int fd, uid_t user, gid_t group), 0, fd, user, group)
FAULTY(int, fallocate, (int fd, int mode, off_t at, off_t size), 0, fd, mode, at, size)
FAULTY(int, ftruncate, (int fd, off_t size), 0, fd, size)
FAULTY(int, fsetxattr, (int fd, const char* name, const void* value, size_t size, int flags), 0, fd,
       name, value, size, flags)
FAULTY(ssize_t, flistxattr, (int fd, char* names, size_t size), flagsOf(fd), fd, names, size)
FAULTY(int, unlinkat, (int folder, const char* name, int flags), 0, folder, name, flags)
FAULTY(int, linkat, (int from, const char* path, int to, const char* name, int flags), 0, from,
       path, to, name, flags)
FAULTY(int, renameat, (int from, const char* path, int to, const char* name), 0, from, path, to,
       name)

// openat's mode is there only for a file it creates.
extern "C" int openat(int folder, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & (O_CREAT | __O_TMPFILE)) ? va_arg(args, mode_t) : 0;
    va_end(args);
    if (strikes("openat", flags)
        && (errno != Swap || REAL(renameat)(AT_FDCWD, std::getenv("ZARVELLO_SWAP"), folder, path)))
        return -1;
    return REAL(openat)(folder, path, flags, mode);
}
