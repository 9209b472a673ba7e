// SPDX-License-Identifier: GPL-3.0-or-later
// Administrator rights through pkexec: a helper started for one file, so that the grant the person
// gives covers the file they were shown, and nothing else.
#pragma once

#include "descriptor.h"
#include "saver.h"

#include <QList>
#include <QStringList>

#include <sys/types.h>

namespace zarvello {

// The desktop asks the administrator's password when a file first needs it; the helper then stays
// for that file's later saves until the program ends or saves elsewhere. A helper that stays
// silent past its timeout, ends, or answers out of turn is let go and never spoken to again.
// While it is waited for, the event loop runs.
class PkexecRights : public Rights {
public:
    // command: the program and its arguments, as {"/usr/bin/pkexec", helper}; the file to write is
    // added as the last argument, so that the password prompt's details show it.
    explicit PkexecRights(QStringList command, int firstTimeoutMs = 120000, int timeoutMs = 30000);
    ~PkexecRights() override;

    Result write(const QString& path, const QByteArray& bytes,
                 const std::optional<Fingerprint>& expected) override;
    int launches() const { return m_launches; }

    // The helper where it is installed, or built, relative to the program.
    static QString installedHelper();

private:
    enum class Heard { Line, Ended, Nothing };

    bool launch(const QByteArray& target);
    // Sends bytes and waits for the helper's next line.
    Heard exchange(QByteArrayView bytes, int timeoutMs, QByteArray& line);
    // What became of rights whose helper did not greet: its line instead, pkexec's exit status, and
    // pkexec's last words.
    Result notGreeted(const QByteArray& line);
    // Closes the channel, so that the helper ends once its input is read; stop: also asks it to
    // end now, which works while pkexec still waits for the password.
    void letGo(bool stop);
    // Whether a helper let go for target is still alive: it may yet rename its older list over the
    // file, so no other starts for it meanwhile.
    bool stillAtWork(const QByteArray& target);
    void reap();

    QStringList m_command;
    int m_firstTimeoutMs;
    int m_timeoutMs;
    pid_t m_pid = -1;
    Descriptor m_channel; // the helper's standard input and output
    Descriptor m_errors;  // pkexec's standard error, and so the helper's
    QByteArray m_target;  // the file its grant covers
    QByteArray m_received;
    quint64 m_requests = 0;
    int m_launches = 0;
    QList<std::pair<pid_t, QByteArray>> m_letGo; // and the file each was for; reaped once they end
};

} // namespace zarvello
