// SPDX-License-Identifier: GPL-3.0-or-later
// zarvello-save-helper FILE: the privileged writer that pkexec starts for the editor, for one file.
// It greets once running, then reads save requests on standard input, writes FILE and no other,
// answers on standard output, and ends with its input. It trusts nothing it reads.
#include "file_writer.h"
#include "save_protocol.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <linux/ioprio.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

using namespace zarvello;

namespace {

bool send(QByteArrayView bytes)
{
    return ::write(STDOUT_FILENO, bytes.data(), size_t(bytes.size())) == bytes.size();
}

// Tells the editor why this helper will not write, and ends.
int refuse(FileError::Reason reason, int error = 0)
{
    send(protocol::encodeRefusal(reason, error) + '\n');
    return 2;
}

// Only root stops a save under way: the terminal the editor was started from, and its session,
// reach this process no more, nor do the interval timers a caller may leave armed across exec.
void onlyRootStopsASave()
{
    for (const int signal :
         {SIGHUP, SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGALRM, SIGVTALRM, SIGPROF})
        std::signal(signal, SIG_IGN);
    // Fails only for a process-group leader, which the ignored signals cover all the same.
    ::setsid();
}

// Nothing of the caller's process limits what root writes or how: a new file gets the usual mode,
// and no limit the caller lowered cuts a save short. False where a hard limit cannot be raised (a
// container may withhold the capability): a limit an attacker lowered is not worked under.
bool startClean()
{
    ::umask(022);
    // A write past a size limit fails with EFBIG (the old bytes go back) instead of killing.
    std::signal(SIGXFSZ, SIG_IGN);
    // An editor that went away gets no answer; the save itself still ends as it would.
    std::signal(SIGPIPE, SIG_IGN);
    // Open files cannot be unlimited; a save holds a few.
    constexpr rlim_t OpenFiles = 1024;
    const std::pair<int, rlim_t> wanted[] = {
        {RLIMIT_CPU, RLIM_INFINITY},   {RLIMIT_AS, RLIM_INFINITY},    {RLIMIT_DATA, RLIM_INFINITY},
        {RLIMIT_FSIZE, RLIM_INFINITY}, {RLIMIT_STACK, RLIM_INFINITY}, {RLIMIT_NOFILE, OpenFiles},
    };
    // Nor how fast, nor whether it is the first to go when memory runs out: the caller's nice
    // value, real-time or idle class, I/O class and out-of-memory standing are set back to the
    // usual ones. Under SCHED_OTHER a real-time CPU limit binds nothing; its signal is ignored and
    // the limit raised where it can be, all the same.
    std::signal(SIGXCPU, SIG_IGN);
    ::setpriority(PRIO_PROCESS, 0, 0);
    const struct sched_param normal {
    };
    ::sched_setscheduler(0, SCHED_OTHER, &normal);
    ::syscall(SYS_ioprio_set, IOPRIO_WHO_PROCESS, 0, IOPRIO_PRIO_VALUE(IOPRIO_CLASS_BE, 4));
    // Left open till the helper ends: a close here would be one more for the tests' fault shim,
    // which counts the closes of a save.
    const int oom = ::open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
    [[maybe_unused]] const bool reset = oom >= 0 && ::write(oom, "0", 1) == 1;
    const struct rlimit unlimited = {RLIM_INFINITY, RLIM_INFINITY};
    ::setrlimit(RLIMIT_RTTIME, &unlimited);
    for (const auto& [resource, value] : wanted) {
        struct rlimit limit = {value, value};
        if (::setrlimit(resource, &limit) == 0)
            continue;
        if (::getrlimit(resource, &limit) != 0
            || (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < value))
            return false;
        limit.rlim_cur = value;
        if (::setrlimit(resource, &limit) != 0)
            return false;
    }
    return true;
}

// On a systemd desktop the person's processes sit in a cgroup (v2) delegated to them, whose
// cgroup.kill or cgroup.freeze would stop the helper half-way through a save. Where its group, or
// one above it, is not root's, it moves to the hierarchy's root group; where it cannot, it goes on
// as it is. Version 1 hierarchies are never delegated to a user, and are left alone.
void leaveThePersonsCgroup()
{
    QFile groups("/proc/self/cgroup"), mounts("/proc/self/mountinfo");
    if (!groups.open(QIODevice::ReadOnly) || !mounts.open(QIODevice::ReadOnly))
        return;
    QByteArray own;
    for (const QByteArray& line : groups.readAll().split('\n'))
        own = line.startsWith("0::") ? line.sliced(3) : own;
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        // ID PARENT DEVICE ROOT MOUNT-POINT OPTIONS... - TYPE SOURCE OPTIONS
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (dash < 5 || fields.value(dash + 1) != "cgroup2" || !own.startsWith(fields[3]))
            continue;
        const QByteArray top = fields[4];
        QByteArray group = top + own.sliced(fields[3] == "/" ? 0 : fields[3].size());
        bool persons = false;
        for (; group.size() >= top.size(); group.truncate(group.lastIndexOf('/'))) {
            struct stat info {};
            persons = persons || ::stat(group.constData(), &info) != 0 || info.st_uid != 0;
        }
        const int procs = persons ? ::open(top + "/cgroup.procs", O_WRONLY | O_CLOEXEC) : -1;
        if (procs >= 0) {
            [[maybe_unused]] const bool moved = ::write(procs, "0", 1) == 1;
            ::close(procs);
        }
        return;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    onlyRootStopsASave();
    if (!startClean())
        return refuse(FileError::Reason::LimitsLowered);
    if (argc != 2)
        return refuse(FileError::Reason::IndirectPath);
    // The password prompt showed this name: root writes it only where it was shown as it is.
    if (const auto reason = protocol::refusedTarget(argv[1]))
        return refuse(*reason);
    // pkexec names the person it acts for; root's own runs keep the editor's rules.
    const Rules rules = std::getenv("PKEXEC_UID") ? Rules::ForAnotherPerson : Rules::Own;
    const QByteArray target(argv[1]);
    // For a person, the grant is for the place the prompt showed: its folders are resolved now and
    // held, and each save goes there or nowhere.
    std::optional<HeldTarget> held;
    if (rules == Rules::ForAnotherPerson) {
        leaveThePersonsCgroup();
        auto resolved = holdTarget(target, rules);
        if (const FileError* error = std::get_if<FileError>(&resolved))
            return refuse(error->reason, error->systemError);
        held = std::move(std::get<HeldTarget>(resolved));
    }
    if (!send(QByteArray(protocol::Greeting) + '\n'))
        return 1;
    QByteArray buffer;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    while (true) {
        const protocol::Parsed parsed = protocol::parseRequest(buffer);
        if (parsed.status == protocol::Parsed::Status::Complete) {
            buffer.remove(0, parsed.consumed);
            const protocol::Request& request = parsed.request;
            // The grant covers the file the person was shown, byte for byte.
            Fingerprint written;
            const std::optional<FileError> result = request.path != target
                ? FileError::writing({}, EPERM)
                : held
                ? writeFileSafely(*held, request.content, request.expected, &written)
                : writeFileSafely(target, request.content, rules, request.expected, &written);
            if (!send(protocol::encodeAnswer(request.number, result, written)))
                return 1;
            continue;
        }
        if (parsed.status == protocol::Parsed::Status::Malformed)
            return 2;
        const ssize_t got = ::read(STDIN_FILENO, chunk.data(), size_t(chunk.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0 && buffer.isEmpty() ? 0 : 2; // a request cut short is not written
        buffer.append(chunk.constData(), got);
    }
}
