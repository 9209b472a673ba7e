// SPDX-License-Identifier: GPL-3.0-or-later
// The two commands that load a list from a hosts file and save it back.
#pragma once

#include "hosts_format.h"

#include <QString>

#include <optional>

namespace zarvello {

class Dialogs;
class EditorState;
class Saver;

// LoadHostsFile: appends the file's lines to the list, and keeps them as the file's base. On a read
// failure the lines read before it stay; a file that would overfill the list adds nothing.
std::optional<FileError> LoadHostsFile(EditorState& state, const QString& path);

// SaveHostsFile: writes the whole list, in list order, to the current path. Where another program
// changed the file since the editor last read or wrote it, the list first takes those changes in,
// and the person is told what was taken.
std::optional<FileError> SaveHostsFile(EditorState& state, Saver& saver, Dialogs& dialogs);

} // namespace zarvello
