// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file's content so that no failure, crash or planted link costs the old file.
#pragma once

#include "descriptor.h"
#include "file_error.h"
#include "fingerprint.h"
#include "size_limit.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

namespace zarvello {

// Makes bytes the whole content of the file at path (created if missing, in an existing folder).
// More than MaxHostsFileSize bytes are refused (EFBIG).
//
// The path is resolved one folder at a time from open descriptors, so no component can be swapped
// under the save; a symbolic link is followed only where the kernel's rule for shared folders
// would let this user follow it (not a link of another user in a sticky, world-writable folder
// that is not theirs either), whatever that rule's setting on this machine. A link stays a link.
//
// The new content goes to an anonymous temporary file in the target's folder (a named one where
// the file system has no anonymous files), is synced, and renamed over the target, which keeps
// its owner, group, mode, ACLs and extended attributes. Where a rename cannot keep all of that
// (another owner, a hard link, an attribute that cannot be read whole or set) or cannot replace
// the target (a file mounted on itself, a folder that refuses new files while the file itself is
// writable), the file is rewritten in place: space reserved first, the old bytes put back if
// writing or cutting fails, and a crash can tear it only during the write itself. A copy of ours
// that an earlier killed save left in the folder is removed once it is a minute old.
//
// With Rules::ForAnotherPerson, as the privileged helper writes for a person, root decides alone:
// the save is refused where a folder on the way may be written by anyone but root, where a link
// on the way is not root's, where the file has more than one name, and where it is no file of a
// disk.
//
// expected: when given, the file as the new content was made from it (Fingerprint{}: no file).
// Right before the rename, or before the first byte written in place, a file found otherwise is
// left as it is, and the save fails with ChangedMeanwhile. A change that lands after that check,
// a few microseconds before the rename, is lost, and so is a write through a descriptor another
// program opened on the old file before the rename. written: on success, the file as the save
// left it, from the descriptor it wrote, so that a change right after it shows as one.
enum class Rules { Own, ForAnotherPerson };
std::optional<FileError> writeFileSafely(const QByteArray& path, const QByteArray& bytes,
                                         Rules rules = Rules::Own,
                                         const std::optional<Fingerprint>& expected = {},
                                         Fingerprint* written = nullptr);

// The place a grant covers: the folder that holds the file at path, resolved once as a save
// resolves it, held open, and the file's name there.
struct HeldTarget {
    QByteArray path;
    Descriptor folder;
    QByteArray name;
    Rules rules = Rules::Own;
};
// Resolves path's folders, or fails as writeFileSafely() would.
std::variant<HeldTarget, FileError> holdTarget(const QByteArray& path, Rules rules);
// As writeFileSafely() to target.path, where that path, resolved again, still leads to the held
// folder itself (the same folder on the same mount), in which the file's name is looked up afresh;
// else refused with ESTALE and PlaceChanged: a mount laid over a folder on the way, a folder
// renamed or a link pointed elsewhere since the grant.
std::optional<FileError> writeFileSafely(const HeldTarget& target, const QByteArray& bytes,
                                         const std::optional<Fingerprint>& expected = {},
                                         Fingerprint* written = nullptr);

} // namespace zarvello
