// SPDX-License-Identifier: GPL-3.0-or-later
// The two commands that change entries: adding a blocking entry and retyping an entry.
#pragma once

#include <QString>

namespace zarvello {

class Dialogs;
class EditorState;
class Saver;

inline const QString blockingPrefix = QStringLiteral("127.0.0.1 ");
inline const QString entryTag = QStringLiteral(" ##");

// Text the person typed or pasted, made one line: each CR LF, CR or LF becomes one space. A line
// break inside an entry would be a hidden line of its own to the resolver.
QString oneLine(QString text);

// AddEntry: turns the typed name into a blocking entry and, when autosave is ticked, saves.
// An empty input is refused with a message; so is an addition to a full list. Returns whether the
// input field is to be cleared: not when the name could not be added.
bool AddEntry(EditorState& state, Dialogs& dialogs, Saver& saver, const QString& input);

// EditEntry: asks for a new text for the entry at position and puts it in place. A cancelled
// prompt or no entry at position changes nothing.
void EditEntry(EditorState& state, Dialogs& dialogs, int position);

} // namespace zarvello
