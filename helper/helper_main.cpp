// SPDX-License-Identifier: GPL-3.0-or-later
// zarvello-save-helper FILE: the privileged writer that pkexec starts for the editor, for one file.
// It greets once running, then reads save requests on standard input, writes FILE and no other,
// answers on standard output, and ends with its input. It trusts nothing it reads.
#include "file_writer.h"
#include "save_protocol.h"

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
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
