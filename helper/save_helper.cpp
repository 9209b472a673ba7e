// SPDX-License-Identifier: GPL-3.0-or-later
// zarvello-save-helper: the privileged writer that pkexec starts for the editor. It reads save
// requests on standard input, writes each file as the editor itself would, answers on standard
// output, and ends with its input. It runs nothing else and trusts nothing it reads.
#include "file_writer.h"
#include "save_protocol.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <unistd.h>

using namespace zarvello;

namespace {

bool answer(const std::optional<FileError>& result)
{
    const QByteArray line = protocol::encodeAnswer(result);
    return ::write(STDOUT_FILENO, line.constData(), size_t(line.size())) == line.size();
}

FileError refused(int error)
{
    return FileError{{}, FileError::Operation::Write, FileError::Reason::System, error};
}

std::optional<FileError> save(const protocol::Request& request)
{
    if (!protocol::acceptablePath(request.path))
        return refused(EINVAL);
    return writeFileSafely(QFile::decodeName(request.path), request.content);
}

} // namespace

int main()
{
    // An editor that went away gets no answer; the save itself still ends as it would.
    std::signal(SIGPIPE, SIG_IGN);
    QByteArray buffer;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    while (true) {
        const protocol::Parsed parsed = protocol::parseRequest(buffer);
        if (parsed.status == protocol::Parsed::Status::Complete) {
            buffer.remove(0, parsed.consumed);
            if (!answer(save(parsed.request)))
                return 1;
            continue;
        }
        if (parsed.status == protocol::Parsed::Status::Malformed) {
            answer(refused(EINVAL));
            return 2;
        }
        const ssize_t got = ::read(STDIN_FILENO, chunk.data(), size_t(chunk.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0 && buffer.isEmpty())
                return 0;
            answer(refused(got == 0 ? EINVAL : errno)); // a request cut short
            return 2;
        }
        buffer.append(chunk.constData(), got);
    }
}
