// SPDX-License-Identifier: GPL-3.0-or-later
// The helper under pkexec, spoken to in the save protocol over a socket of its own.
#include "pkexec_rights.h"
#include "save_protocol.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace zarvello {

namespace {

// An answer is a few dozen bytes; a helper that sends more without a line end is not ours.
constexpr qsizetype MaxLine = 4096;

} // namespace

PkexecRights::PkexecRights(QStringList command, int firstTimeoutMs, int timeoutMs)
    : m_command(std::move(command))
    , m_firstTimeoutMs(firstTimeoutMs)
    , m_timeoutMs(timeoutMs)
{
}

PkexecRights::~PkexecRights()
{
    letGo(false);
    reap();
}

Rights::Result PkexecRights::write(const QString& path, const QByteArray& bytes)
{
    reap();
    const QByteArray target = QFile::encodeName(path);
    if (m_channel.valid() && m_target != target)
        letGo(false); // another file asks for a grant of its own
    QByteArray line;
    if (!m_channel.valid()) {
        // Nothing is sent before the greeting: a helper let go while the password was asked
        // finds no request to carry out when it starts.
        if (!launch(target) || !exchange({}, m_firstTimeoutMs, line)
            || line != protocol::Greeting) {
            letGo(true);
            return {Outcome::NotGiven, {}};
        }
    }
    const quint64 number = ++m_requests;
    Result result{Outcome::Answered, {}};
    if (!exchange(protocol::encodeRequest(number, target, bytes), m_timeoutMs, line)
        || !protocol::decodeAnswer(line, number, path, result.error)) {
        letGo(true);
        return {Outcome::NoAnswer, {}};
    }
    return result;
}

bool PkexecRights::launch(const QByteArray& target)
{
    // Other processes of the person's may reach neither into this one nor, through /proc, into
    // the helper's channel: the grant is this editor's alone. It stays so for the rest of the run.
    ::prctl(PR_SET_DUMPABLE, 0);
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    Descriptor ours(ends[0]), theirs(ends[1]);
    QList<QByteArray> arguments;
    for (const QString& argument : std::as_const(m_command))
        arguments << QFile::encodeName(argument);
    arguments << target;
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, theirs.get(), STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, theirs.get(), STDOUT_FILENO);
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return false;
    m_pid = pid;
    m_channel = std::move(ours);
    m_target = target;
    m_received.clear();
    ++m_launches;
    return true;
}

bool PkexecRights::exchange(QByteArrayView bytes, int timeoutMs, QByteArray& line)
{
    const int fd = m_channel.get();
    qsizetype sent = 0;
    bool ended = false;
    QEventLoop loop;
    QSocketNotifier readable(fd, QSocketNotifier::Read), writable(fd, QSocketNotifier::Write);
    const auto settle = [&] {
        writable.setEnabled(!ended && sent < bytes.size());
        if (ended || m_received.contains('\n'))
            loop.quit();
    };
    QObject::connect(&writable, &QSocketNotifier::activated, &loop, [&] {
        const ssize_t n = ::send(fd, bytes.data() + sent, size_t(bytes.size() - sent),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0)
            sent += n;
        else if (errno != EAGAIN && errno != EINTR)
            ended = true;
        settle();
    });
    QObject::connect(&readable, &QSocketNotifier::activated, &loop, [&] {
        char buffer[512];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
            m_received.append(buffer, n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            ended = true;
        ended = ended || (m_received.size() > MaxLine && !m_received.contains('\n'));
        settle();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    settle();
    if (!m_received.contains('\n'))
        loop.exec();
    const qsizetype end = m_received.indexOf('\n');
    if (end < 0)
        return false;
    line = m_received.first(end);
    m_received.remove(0, end + 1);
    return true;
}

void PkexecRights::letGo(bool stop)
{
    if (m_pid > 0) {
        if (stop)
            ::kill(m_pid,
                   SIGTERM); // refused once the helper runs as root; it then ends with its input
        m_letGo << m_pid;
    }
    m_pid = -1;
    m_channel = Descriptor();
    m_received.clear();
}

void PkexecRights::reap()
{
    m_letGo.removeIf([](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

QString PkexecRights::installedHelper()
{
    // pkexec matches the path against its policy letter for letter: no "..", no links.
    const QFileInfo helper(QCoreApplication::applicationDirPath()
                           + QStringLiteral("/../libexec/zarvello/zarvello-save-helper"));
    return helper.canonicalFilePath();
}

} // namespace zarvello
