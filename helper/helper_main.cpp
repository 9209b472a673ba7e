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

using namespace zarvello;

namespace {

bool send(QByteArrayView bytes)
{
    return ::write(STDOUT_FILENO, bytes.data(), size_t(bytes.size())) == bytes.size();
}

FileError refused(int error)
{
    return FileError{{}, FileError::Operation::Write, FileError::Reason::System, error};
}

// Nothing of the caller's process limits what root writes or how: a new file gets the usual
// mode, and a write past a size limit fails with EFBIG (the old bytes go back) instead of killing.
void startClean()
{
    ::umask(022);
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {RLIM_INFINITY, RLIM_INFINITY};
    // Raising the hard limit needs a capability that a container may withhold.
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 && ::getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    // An editor that went away gets no answer; the save itself still ends as it would.
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace

int main(int argc, char* argv[])
{
    startClean();
    if (argc != 2 || !protocol::acceptablePath(argv[1]))
        return 2;
    // pkexec names the person it acts for; root's own runs keep the editor's rules.
    const Rules rules = std::getenv("PKEXEC_UID") ? Rules::ForAnotherPerson : Rules::Own;
    const QByteArray target(argv[1]);
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
            const std::optional<FileError> result = request.path == target
                ? writeFileSafely(target, request.content, rules)
                : refused(EPERM);
            if (!send(protocol::encodeAnswer(request.number, result)))
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
