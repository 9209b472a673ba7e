// SPDX-License-Identifier: GPL-3.0-or-later
// Running part of a test in a child process: as another user, or in a mount namespace of its own.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <grp.h>
#include <optional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zarvello {

// Runs body in a child once prepare() has succeeded there, so that what it changes (mounts, the
// user) touches nothing else. Returns what body returned, or nothing when prepare() failed, as it
// does where this process is not root.
inline std::optional<QString> inChild(const std::function<bool()>& prepare, const std::function<QString()>& body)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return QStringLiteral("pipe failed");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const QByteArray report = prepare() ? body().toUtf8() : QByteArray();
        (void)!::write(channel[1], report.constData(), size_t(report.size()));
        ::_exit(0);
    }
    ::close(channel[1]);
    QByteArray report;
    char buffer[512];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, got);
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    if (report.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(report);
}

inline bool privateMounts()
{
    return ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Becomes another user, with none of root's exemptions; extraGroup, when not 0, is a
// supplementary group.
inline bool becomeUser(uid_t user, gid_t group, gid_t extraGroup = 0)
{
    const gid_t groups[] = {extraGroup};
    return ::geteuid() == 0 && ::setgroups(extraGroup ? 1 : 0, groups) == 0 && ::setgid(group) == 0
        && ::setuid(user) == 0;
}

inline std::optional<QString> asNobody(const std::function<QString()>& body)
{
    return inChild([] { return becomeUser(65534, 65534); }, body);
}

} // namespace zarvello
