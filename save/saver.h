// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the program saves a file: directly, and where the system refuses for lack of
// permission, through administrator rights granted for that file.
#pragma once

#include "file_error.h"
#include "file_writer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace zarvello {

// Administrator rights for one file at a time, asked of the person when first needed.
class Rights {
public:
    enum class Outcome {
        Answered, // the rights were given and the helper answered: error is its answer
        NotGiven, // the prompt dismissed or left waiting, or no pkexec started; nothing written
        Denied,   // pkexec gave no rights (refusal says why, or denial how); nothing written
        Refused,  // the rights cannot serve this file now (refusal says why); nothing written
        NoAnswer, // given, but no answer came: the file may hold the old bytes or the new
    };
    struct Result {
        Outcome outcome = Outcome::NotGiven;
        std::optional<FileError> error = {};
        FileError::Reason refusal = FileError::Reason::System; // Refused, Denied: why
        QString denial = {};      // Denied for no reason known: pkexec's words
        Fingerprint written = {}; // Answered with no error: the file as written
        int refusalError = 0;     // Refused: the errno the helper gave with its reason
    };

    virtual ~Rights() = default;
    // Writes bytes to path as writeFileSafely() does, as root, with the rules for another person.
    virtual Result write(const QString& path, const QByteArray& bytes,
                         const std::optional<Fingerprint>& expected) = 0;
};

class Saver : public QObject {
    Q_OBJECT
public:
    using Writer = std::function<std::optional<FileError>(
        const QString&, const QByteArray&, const std::optional<Fingerprint>&, Fingerprint*)>;

    // rights: where a refused save is tried again, if anywhere. direct: the person's own save.
    // asRoot: root has nobody to ask.
    explicit Saver(Rights* rights = nullptr, Writer direct = writeAsOwner,
                   bool asRoot = runsAsRoot());

    // Makes bytes the whole content of path, as writeFileSafely() does with expected and written.
    // Only a plain refusal is asked of the administrator: never a save through another user's
    // link, never one that already changed the file.
    std::optional<FileError> save(const QString& path, const QByteArray& bytes,
                                  const std::optional<Fingerprint>& expected = {},
                                  Fingerprint* written = nullptr);

    static std::optional<FileError> writeAsOwner(const QString& path, const QByteArray& bytes,
                                                 const std::optional<Fingerprint>& expected = {},
                                                 Fingerprint* written = nullptr);
    static bool runsAsRoot();

signals:
    // While the administrator's password is asked and the helper writes, the window waits.
    void waiting(bool waiting);

private:
    Rights* m_rights;
    Writer m_direct;
    bool m_asRoot;
};

} // namespace zarvello
