// SPDX-License-Identifier: GPL-3.0-or-later
// Saves the system refused for lack of permission, done again with administrator rights.
#pragma once

#include "file_error.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <optional>

namespace zarvello {

class PrivilegedWriter {
public:
    struct Result {
        bool rightsGiven = false;       // false: no administrator rights, nothing was written
        std::optional<FileError> error; // the save's own failure, when rights were given
    };

    virtual ~PrivilegedWriter() = default;
    // Writes bytes to path as writeFileSafely() does, as root.
    virtual Result write(const QString& path, const QByteArray& bytes) = 0;
};

// Starts the helper through pkexec at the first save that needs it, so the desktop asks for the
// administrator's password once, and keeps it for later saves until the program ends. A helper
// that dies or stays silent past the timeout counts as rights not given.
class PkexecWriter : public PrivilegedWriter {
public:
    // command: the program and its arguments, as {"pkexec", helper}.
    explicit PkexecWriter(QStringList command, int firstTimeoutMs = 120000, int timeoutMs = 30000);
    ~PkexecWriter() override;

    Result write(const QString& path, const QByteArray& bytes) override;
    int launches() const { return m_launches; }

    // The helper as installed beside the program: PREFIX/libexec/zarvello/ for PREFIX/bin/.
    static QString installedHelper();

private:
    void stop();

    QStringList m_command;
    int m_firstTimeoutMs;
    int m_timeoutMs;
    QProcess m_process;
    int m_launches = 0;
};

} // namespace zarvello
