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
        UnsafeFolder,     // as root: a folder on the way that others may write
        UnsafeLink,       // as root: a link on the way that is not root's
        SeveralNames,     // as root: a file with more than one hard link
        KernelInterface,  // as root: a file of a kernel interface, not of a disk
        UnshowableName,   // as root: a name the password prompt cannot show as it is
        IndirectPath,     // as root: a path that is relative or has ".", ".." or empty parts
        LimitsLowered,    // as root: a resource limit that cannot be raised
        Traced,           // another process traces the program, which then asks no rights
        Busy,             // the helper of an earlier save of the file is still at work
        ChangedMeanwhile, // another program changed the file between reading it and replacing it
        CopyLeft,         // saved, but our temporary copy beside the file could not be removed
        PersonsDisk,      // as root: a folder on a mount without set-user-ID, as a person's disk
        PlaceChanged,     // as root: the path no longer leads to the folder the grant was for
        NoAnswer,         // the administrator's helper did not answer; the last, as the protocol
                          // knows
        // Why pkexec gave no administrator rights, as its words tell; never the helper's.
        NoPolkitService,       // no polkit service runs to give them, nor can be started
        NoAuthenticationAgent, // no polkit agent on the desktop to ask for the password
        NotAuthorized,         // polkit refused them to this user
    };
    // For a failed write: what the file on disk holds now.
    enum class FileState { Unchanged, MaybeIncomplete, WrittenNotDurable, Saved, OldOrNew };
    // For a save refused for lack of permission: what came of asking for administrator rights.
    enum class Rights {
        NotAsked,
        NotGiven, // the person dismissed the prompt or let it wait, or pkexec did not start
        Denied,   // pkexec gave none: rightsRefusal says why, where known
        Refused,  // they cannot serve this file now: rightsRefusal says why
    };

    QString path;
    Operation operation = Operation::Read;
    Reason reason = Reason::System;
    int systemError = 0; // errno, when reason is System
    FileState fileState = FileState::Unchanged;
    int maxEntries = 0;      // the list's room, for TooManyEntries
    qint64 maxMebibytes = 0; // the size limit, for TooLarge
    Rights rights = Rights::NotAsked;
    // For Refused and Denied: why; System: the helper or pkexec gave no reason we know.
    Reason rightsRefusal = Reason::System;
    int rightsRefusalError = 0; // for Refused: the helper's errno, if any
    QString rightsDenial = {};  // for Denied of no reason we know: pkexec's own words
    // For a failed save: lines another program had added to the file and removed from it, which
    // the list took in before the save.
    qsizetype outsideAdded = 0, outsideRemoved = 0;

    // A failure to read path, or to write it, for the system's errno or one of our reasons.
    static FileError reading(const QString& path, int error, Reason reason = Reason::System)
    {
        return {path, Operation::Read, reason, error};
    }
    static FileError writing(const QString& path, int error, Reason reason = Reason::System,
                             FileState state = FileState::Unchanged)
    {
        return {path, Operation::Write, reason, error, state};
    }

    // The one Russian sentence the person reads, naming the file, what failed and why.
    QString message() const;
};

// A character of a name that a prompt would not show as it is: one that hides or moves the text
// around it (the Unicode categories Cc, Cf, Zl and Zp: controls, bidi and zero-width marks, line
// and paragraph breaks), one drawn as nothing (default-ignorable, a filler, the blank Braille
// pattern), a space but U+0020, a code point not assigned or of private use; and, as the first or
// last character of a component of a path, a combining mark that would join what stands before it,
// or a space that does not show.
bool hidesText(char32_t c, bool startsPart = false, bool endsPart = false);

} // namespace zarvello
