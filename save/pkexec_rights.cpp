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

#include <algorithm>
#include <csignal>
#include <fcntl.h>
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
// pkexec's exit statuses of its own, when it does not start the helper: the prompt dismissed, and
// every other refusal alike (not authorized, no agent, no polkit service), which its words tell
// apart.
constexpr int Dismissed = 126, NoRights = 127;
// The helper's, for a file it will not write.
constexpr int HelperRefused = 2;

Rights::Result refused(FileError::Reason reason)
{
    return {Rights::Outcome::Refused, {}, reason};
}

// Whether another process traces this one. One that attached before main() could hide itself here
// too; but such a process controls the editor from its start, as a person's own programs may.
bool traced()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("\nTracerPid:");
    return at >= 0 && text.sliced(at + 11).split('\n').constFirst().trimmed() != "0";
}

// Whether a line is one of GLib's warnings, "** (process:PID): WARNING **: ...", which pkexec's
// libraries write before its own words: polkit's, of a bus that knows no polkit service.
bool glibWarning(QByteArrayView line)
{
    if (line.startsWith("** "))
        line = line.sliced(3);
    return line.startsWith('(') && line.contains("): ") && line.contains(" **: ");
}

// What pkexec said of its refusal: the first line of its own (a second says the refusal was
// logged), past blank lines and GLib's warnings, as the person may read it.
QString refusalWords(int fd)
{
    QByteArray said(MaxLine, Qt::Uninitialized);
    const ssize_t got = ::read(fd, said.data(), size_t(said.size()));
    said.resize(std::max<ssize_t>(got, 0));
    QList<QByteArray> lines = said.split('\n');
    lines.removeIf([](const QByteArray& line) { return line.trimmed().isEmpty(); });
    const auto own = std::find_if(lines.cbegin(), lines.cend(), [](const QByteArray& line) {
        return !glibWarning(line.trimmed());
    });
    QString words = lines.isEmpty()
        ? QString()
        : QString::fromLocal8Bit(own != lines.cend() ? *own : lines.constFirst()).trimmed();
    words.removeIf([](QChar c) { return hidesText(c.unicode()); });
    return words.left(200);
}

// Why pkexec gave no rights, as its words tell (it runs with PATH alone, so they are English):
// where no password could be asked, or asking was refused; System for anything else.
FileError::Reason denialReason(const QString& words)
{
    using Reason = FileError::Reason;
    // No bus, or one that could not start polkitd: polkit's library finds no authority.
    if (words.startsWith(u"Error getting authority: "))
        return Reason::NoPolkitService;
    // A bus that knows no polkit service, asked for its answer.
    if (words.startsWith(u"Error checking for authorization ")
        && (words.contains(u"org.freedesktop.DBus.Error.ServiceUnknown")
            || words.contains(u"org.freedesktop.DBus.Error.NameHasNoOwner")))
        return Reason::NoPolkitService;
    // No agent on the desktop: pkexec would ask on its terminal, and has none.
    if (words.startsWith(u"Error creating textual authentication agent: "))
        return Reason::NoAuthenticationAgent;
    if (words.startsWith(u"Error executing command as another user: Not authorized"))
        return Reason::NotAuthorized;
    return Reason::System;
}

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

Rights::Result PkexecRights::write(const QString& path, const QByteArray& bytes,
                                   const std::optional<Fingerprint>& expected)
{
    reap();
    const QByteArray target = QFile::encodeName(path);
    if (m_channel.valid() && m_target != target)
        letGo(false); // another file asks for a grant of its own
    if (!m_channel.valid()) {
        // The helper would refuse the file only once the password was given.
        if (const auto reason = protocol::refusedTarget(target))
            return refused(*reason);
        if (stillAtWork(target))
            return refused(FileError::Reason::Busy);
        if (traced())
            return refused(FileError::Reason::Traced);
        // Nothing is sent before the greeting: a helper let go while the password was asked
        // finds no request to carry out when it starts.
        QByteArray line;
        if (!launch(target))
            return {Outcome::NotGiven};
        const Heard heard = exchange({}, m_firstTimeoutMs, line);
        if (heard == Heard::Nothing) {
            letGo(true);
            return {Outcome::NotGiven};
        }
        if (heard == Heard::Ended || line != protocol::Greeting)
            return notGreeted(heard == Heard::Line ? line : QByteArray());
    }
    const quint64 number = ++m_requests;
    Result result{Outcome::Answered};
    QByteArray line;
    if (exchange(protocol::encodeRequest(number, target, bytes, expected), m_timeoutMs, line)
            != Heard::Line
        || !protocol::decodeAnswer(line, number, QFile::decodeName(target), result.error,
                                   result.written)) {
        letGo(true);
        return {Outcome::NoAnswer};
    }
    return result;
}

Rights::Result PkexecRights::notGreeted(const QByteArray& line)
{
    // It is ending: its output is closed, or it said why it will not go on.
    int status = -1;
    for (int tries = 0; tries < 200 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++tries)
        ::usleep(10000);
    const QString words = refusalWords(m_errors.get());
    // Once reaped, killed or not, its number may be another process's: it is signalled no more.
    const bool reaped = status != -1;
    if (reaped)
        m_pid = -1;
    letGo(!reaped);
    if (!reaped || !WIFEXITED(status))
        return {Outcome::NotGiven};
    if (WEXITSTATUS(status) == NoRights) {
        // pkexec's words are for the person only where they say what nothing else does.
        const FileError::Reason reason = denialReason(words);
        return {
            Outcome::Denied, {}, reason, reason == FileError::Reason::System ? words : QString()};
    }
    if (WEXITSTATUS(status) != HelperRefused)
        return {Outcome::NotGiven};
    const protocol::Refusal refusal = protocol::decodeRefusal(line).value_or(protocol::Refusal{});
    return {Outcome::Refused, {}, refusal.reason, {}, {}, refusal.error};
}

bool PkexecRights::launch(const QByteArray& target)
{
    // Other processes of the person's may reach neither into this one nor, through /proc, into
    // the helper's channel: the grant is this editor's alone. It stays so for the rest of the run.
    ::prctl(PR_SET_DUMPABLE, 0);
    int ends[2], errors[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    Descriptor ours(ends[0]), theirs(ends[1]);
    // Non-blocking at both ends: what is never read cannot stop the helper.
    if (::pipe2(errors, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    Descriptor heard(errors[0]), said(errors[1]);
    QList<QByteArray> arguments;
    for (const QString& argument : std::as_const(m_command))
        arguments << QFile::encodeName(argument);
    arguments << target;
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    // pkexec refuses to start when a variable looks suspicious, and the helper needs none: the
    // editor's environment stays behind.
    char path[] = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
    char* environment[] = {path, nullptr};
    // A session of its own, with no controlling terminal: with no agent on the desktop, pkexec
    // would ask for the password on the editor's terminal, where nobody looks, while the window
    // waits; and a ^C or a hang-up there would reach it and its helper.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, theirs.get(), STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, theirs.get(), STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, said.get(), STDERR_FILENO);
    pid_t pid = -1;
    const int error =
        ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environment);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return false;
    m_pid = pid;
    m_channel = std::move(ours);
    m_errors = std::move(heard);
    m_target = target;
    m_received.clear();
    ++m_launches;
    return true;
}

PkexecRights::Heard PkexecRights::exchange(QByteArrayView bytes, int timeoutMs, QByteArray& line)
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
        return ended ? Heard::Ended : Heard::Nothing;
    line = m_received.first(end);
    m_received.remove(0, end + 1);
    return Heard::Line;
}

void PkexecRights::letGo(bool stop)
{
    if (m_pid > 0) {
        // Refused once the helper runs as root; it then ends with its input.
        if (stop)
            ::kill(m_pid, SIGTERM);
        m_letGo.append({m_pid, m_target});
    }
    m_pid = -1;
    m_channel = Descriptor();
    m_errors = Descriptor();
    m_received.clear();
}

bool PkexecRights::stillAtWork(const QByteArray& target)
{
    // One just told to stop gets a moment to do so.
    for (int tries = 0; tries < 20; ++tries) {
        reap();
        if (std::none_of(m_letGo.cbegin(), m_letGo.cend(),
                         [&](const auto& helper) { return helper.second == target; }))
            return false;
        ::usleep(10000);
    }
    return true;
}

void PkexecRights::reap()
{
    m_letGo.removeIf(
        [](const auto& helper) { return ::waitpid(helper.first, nullptr, WNOHANG) != 0; });
}

QString PkexecRights::installedHelper()
{
    // pkexec matches the path against its policy letter for letter: no "..", no links.
    const QFileInfo helper(QCoreApplication::applicationDirPath()
                           + QStringLiteral("/" ZARVELLO_HELPER_FROM_PROGRAM));
    return helper.canonicalFilePath();
}

} // namespace zarvello
