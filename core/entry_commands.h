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
// The most characters an addition or a retyped line takes: a pasted column of some 30 000 names.
// Longer text is refused, never cut.
constexpr qsizetype MaxTypedLength = 1'000'000;

// Text the person typed or pasted, made one line: each CR LF, CR or LF becomes one space. A line
// break inside an entry would be a hidden line of its own to the resolver.
QString oneLine(QString text);

// The names of text (the words before its first #) that are beyond ASCII, followed by their ASCII
// forms, which are what programs look up: "пример.рф" gives "пример.рф xn--e1afmkfd.xn--p1ai".
QString withAsciiForms(const QString& text);

// AddEntry: turns the typed name into a blocking entry and, when autosave is ticked, saves.
// An empty input is refused with a message; so are a text too long and an addition to a full
// list. Returns whether the input field is to be cleared: not when the name could not be added.
bool AddEntry(EditorState& state, Dialogs& dialogs, Saver& saver, const QString& input);

// EditEntry: asks for a new text for one line of the entry at position (an entry holding line
// feeds has several) and puts it in place of that line alone. A cancelled prompt, or no such
// entry or line, changes nothing.
void EditEntry(EditorState& state, Dialogs& dialogs, int position, int line = 0);

} // namespace zarvello
