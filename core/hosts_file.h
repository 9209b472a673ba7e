// Reading and writing hosts files: the only code that touches the disk for documents.
#pragma once

#include "file_error.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace zarvello {

class EditorState;
class HostList;

struct ReadResult {
    QList<QByteArray> lines;        // the lines read, also those before a failure
    std::optional<FileError> error; // why reading stopped early, if it did
};

// Splits a file's bytes into lines: CR LF or a lone CR ends a line, a lone LF is an ordinary
// character, and a final terminator adds no empty line.
class LineSplitter {
public:
    // Feeds the next chunk; complete lines are appended to lines.
    void feed(QByteArrayView chunk, QList<QByteArray>& lines);
    // The file has ended: the last line, if it had no terminator, is appended.
    void finish(QList<QByteArray>& lines);

private:
    QByteArray m_partial;
    bool m_afterCr = false; // the previous chunk ended in CR, so a leading LF belongs to it
};

// Larger files are refused before they are read: such a file cannot be a list of hosts, and one
// long line of it would hold the whole file in memory.
constexpr qint64 MaxHostsFileSize = qint64(128) << 20;

// Reads the lines of a regular file (or a link to one). Stops with TooManyEntries, returning no
// lines, as soon as the file holds more than maxLines lines, and with TooLarge past
// MaxHostsFileSize.
ReadResult readHostsFile(const QString& path, int maxLines);

// The bytes a list of lines is written as: each line followed by CR LF.
QByteArray joinLines(const QList<QByteArray>& lines);

// Replaces the file at path with bytes so that a failure never leaves it half-written: a
// temporary file beside it is renamed over it, keeping its mode and owner and any symbolic link
// that leads to it. Where that cannot work (a folder that takes no new file, a bind-mounted
// target), the file is written in place.
std::optional<FileError> writeHostsFile(const QString& path, const QByteArray& bytes);

// LoadHostsFile: appends the file's lines to the list. On a read failure the lines read before it
// stay; a file that would overfill the list adds nothing.
std::optional<FileError> LoadHostsFile(HostList& list, const QString& path);

// SaveHostsFile: writes the whole list, in list order, to the current path.
std::optional<FileError> SaveHostsFile(const EditorState& state);

} // namespace zarvello
