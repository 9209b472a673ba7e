// SPDX-License-Identifier: GPL-3.0-or-later
// The calls a save makes, each able to fail once on demand.
#include "system_faults.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>

namespace {

struct Armed {
    const char* call = nullptr;
    int error = 0;
    int flags = 0;
    int skip = 0;
    std::function<void()> probe;
    bool met = false;
} armed;

// Whether this call is the armed one; a probe runs here, a fault sets errno.
bool strikes(const char* call, int flags)
{
    if (!armed.call || std::strcmp(armed.call, call) != 0 || (flags & armed.flags) != armed.flags)
        return false;
    if (armed.skip-- > 0)
        return false;
    armed.call = nullptr;
    armed.met = true;
    if (armed.probe) {
        std::exchange(armed.probe, nullptr)();
        return false;
    }
    errno = armed.error;
    return true;
}

int flagsOf(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags < 0 ? 0 : flags;
}

template<typename F>
F real(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

} // namespace

namespace faults {

void fail(const char* call, int error, int flags, int skip)
{
    armed = {call, error, flags, skip, nullptr, false};
}

void probe(const char* call, std::function<void()> probe, int flags)
{
    armed = {call, 0, flags, 0, std::move(probe), false};
}

bool met()
{
    armed.call = nullptr;
    return std::exchange(armed.met, false);
}

} // namespace faults

#define PASS_ON(name, fd, ...)                                                                                        \
    if (strikes(#name, flagsOf(fd)))                                                                                  \
        return -1;                                                                                                    \
    return real<decltype(&::name)>(#name)(__VA_ARGS__)

extern "C" {

int openat(int folder, const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | __O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if (strikes("openat", flags))
        return -1;
    return real<int (*)(int, const char*, int, ...)>("openat")(folder, path, flags, mode);
}

ssize_t pwrite(int fd, const void* bytes, size_t size, off_t offset) { PASS_ON(pwrite, fd, fd, bytes, size, offset); }
int fsync(int fd) { PASS_ON(fsync, fd, fd); }
int close(int fd) { PASS_ON(close, fd, fd); }
int fchown(int fd, uid_t owner, gid_t group) { PASS_ON(fchown, fd, fd, owner, group); }
int fallocate(int fd, int mode, off_t offset, off_t length) { PASS_ON(fallocate, fd, fd, mode, offset, length); }
int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags)
{
    PASS_ON(fsetxattr, fd, fd, name, value, size, flags);
}
int linkat(int from, const char* path, int to, const char* name, int flags)
{
    if (strikes("linkat", 0))
        return -1;
    return real<decltype(&::linkat)>("linkat")(from, path, to, name, flags);
}
int renameat(int from, const char* path, int to, const char* name)
{
    if (strikes("renameat", 0))
        return -1;
    return real<decltype(&::renameat)>("renameat")(from, path, to, name);
}

} // extern "C"
