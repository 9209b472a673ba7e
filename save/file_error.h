// SPDX-License-Identifier: GPL-3.0-or-later
// What went wrong with a hosts file, kept as a value until it is shown to the person.
#pragma once

#include <QString>

namespace zarvello {

struct FileError {
    enum class Operation { Read, Write };
    // Reasons of our own, beside the system's errno values.
    enum class Reason {
        System,
        NotRegularFile,
        TooManyEntries,
        TooLarge,
        ForeignLink,
        UnsafeFolder, // as root: a folder on the way that others may write
        UnsafeLink,   // as root: a link on the way that is not root's
        SeveralNames, // as root: a file with more than one hard link
        CopyLeft,     // saved, but our temporary copy beside the file could not be removed
        NoAnswer,     // the administrator's helper did not answer
    };
    // For a failed write: what the file on disk holds now.
    enum class FileState { Unchanged, MaybeIncomplete, WrittenNotDurable, Saved, OldOrNew };

    QString path;
    Operation operation = Operation::Read;
    Reason reason = Reason::System;
    int systemError = 0; // errno, when reason is System
    FileState fileState = FileState::Unchanged;
    int maxEntries = 0;      // the list's room, for TooManyEntries
    qint64 maxMebibytes = 0; // the size limit, for TooLarge
    bool adminRefused =
        false; // a save refused for lack of permission, and administrator rights not given

    // The one Russian sentence the person reads, naming the file, what failed and why.
    QString message() const;
};

} // namespace zarvello
