// The two commands that change entries: adding a blocking entry and retyping an entry.
#pragma once

#include <QString>

namespace zarvello {

class Dialogs;
class EditorState;

inline const QString blockingPrefix = QStringLiteral("127.0.0.1 ");
inline const QString entryTag = QStringLiteral(" ##");

// AddEntry: turns the typed name in input into a blocking entry, clears input and, when autosave
// is ticked, saves. An empty input is refused with a message; so is an addition to a full list,
// which keeps the typed name in input.
void AddEntry(EditorState& state, Dialogs& dialogs, QString& input);

// EditEntry: asks for a new text for the entry at position and puts it in place. A cancelled
// prompt or no entry at position changes nothing.
void EditEntry(EditorState& state, Dialogs& dialogs, int position);

} // namespace zarvello
