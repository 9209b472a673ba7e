// SPDX-License-Identifier: GPL-3.0-or-later
// The helper under pkexec, spoken to in the save protocol.
#include "privileged_writer.h"
#include "save_protocol.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>

namespace zarvello {

PkexecWriter::PkexecWriter(QStringList command, int firstTimeoutMs, int timeoutMs)
    : m_command(std::move(command))
    , m_firstTimeoutMs(firstTimeoutMs)
    , m_timeoutMs(timeoutMs)
{
    // pkexec's own complaints (no agent, not authorized) belong in the program's error output.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

PkexecWriter::~PkexecWriter()
{
    // The helper ends with its input; it is given a moment to finish a save it has begun.
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(2000))
        stop();
}

void PkexecWriter::stop()
{
    m_process.kill();
    m_process.waitForFinished(1000);
}

PrivilegedWriter::Result PkexecWriter::write(const QString& path, const QByteArray& bytes)
{
    int timeout = m_timeoutMs;
    if (m_process.state() != QProcess::Running) {
        m_process.start(m_command.value(0), m_command.mid(1));
        if (!m_process.waitForStarted())
            return {};
        ++m_launches;
        timeout = m_firstTimeoutMs; // the person is typing a password meanwhile
    }
    m_process.write(protocol::encodeRequest(QFile::encodeName(path), bytes));
    const QDeadlineTimer deadline(timeout);
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            stop();
            return {};
        }
    }
    Result result;
    result.rightsGiven = protocol::decodeAnswer(m_process.readLine().chopped(1), path, result.error);
    if (!result.rightsGiven)
        stop();
    return result;
}

QString PkexecWriter::installedHelper()
{
    // pkexec matches the path against its policy letter for letter: no "..", no links.
    const QFileInfo helper(QCoreApplication::applicationDirPath() + QStringLiteral("/../libexec/zarvello/zarvello-save-helper"));
    return helper.canonicalFilePath();
}

} // namespace zarvello
