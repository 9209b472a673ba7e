// SPDX-License-Identifier: GPL-3.0-or-later
// When a save asks for administrator rights, and what the person is told of it.
#include "saver.h"

#include <QFile>

#include <unistd.h>

namespace zarvello {

Saver::Saver(Rights* rights, Writer direct, bool asRoot)
    : m_rights(rights)
    , m_direct(std::move(direct))
    , m_asRoot(asRoot)
{
}

std::optional<FileError> Saver::writeAsOwner(const QString& path, const QByteArray& bytes,
                                             const std::optional<Fingerprint>& expected,
                                             Fingerprint* written)
{
    return writeFileSafely(QFile::encodeName(path), bytes, Rules::Own, expected, written);
}

bool Saver::runsAsRoot()
{
    return ::geteuid() == 0;
}

std::optional<FileError> Saver::save(const QString& path, const QByteArray& bytes,
                                     const std::optional<Fingerprint>& expected,
                                     Fingerprint* written)
{
    Fingerprint ours;
    std::optional<FileError> error = m_direct(path, bytes, expected, written ? written : &ours);
    const bool refused = error && error->reason == FileError::Reason::System
        && (error->systemError == EACCES || error->systemError == EPERM)
        && error->fileState == FileError::FileState::Unchanged;
    if (!refused || !m_rights || m_asRoot)
        return error;
    emit waiting(true);
    const Rights::Result granted = m_rights->write(path, bytes, expected);
    emit waiting(false);
    switch (granted.outcome) {
    case Rights::Outcome::Answered:
        if (written && !granted.error)
            *written = granted.written;
        return granted.error;
    case Rights::Outcome::NoAnswer:
        return FileError::writing(path, 0, FileError::Reason::NoAnswer,
                                  FileError::FileState::OldOrNew);
    case Rights::Outcome::NotGiven:
        error->rights = FileError::Rights::NotGiven;
        break;
    case Rights::Outcome::Denied:
        error->rights = FileError::Rights::Denied;
        error->rightsRefusal = granted.refusal;
        error->rightsDenial = granted.denial;
        break;
    case Rights::Outcome::Refused:
        error->rights = FileError::Rights::Refused;
        error->rightsRefusal = granted.refusal;
        error->rightsRefusalError = granted.refusalError;
        // The helper still at work may yet write the list it was given.
        if (granted.refusal == FileError::Reason::Busy)
            error->fileState = FileError::FileState::OldOrNew;
        break;
    }
    return error;
}

} // namespace zarvello
