// SPDX-License-Identifier: GPL-3.0-or-later
// What the program and its privileged helper say to each other. The helper is started for one
// file; once running (the person has given rights) it greets, then answers each request in turn.
//
//   greeting: "ready\n", or "refused <reason> <errno>\n" with FileError's number of why the helper
//             will not write the file it was started for, and the errno (0 for none), before it
//             ends
//   request:  "<number> <path bytes> <content bytes> <expected>\n" in decimal, then the path, then
//             the content; expected is the file as the content was made from it, a fingerprint,
//             or "-" where nothing is to be checked
//   answer:   "<number> ok <fingerprint>\n" with the file's as written, or "<number> error <errno>
//             <reason> <file state>\n" with FileError's numbers; the number is the request's, so
//             that an answer is never taken for another
//   fingerprint: "<device>,<inode>,<size>,<modified>,<m. ns>,<changed>,<c. ns>" in decimal, each
//             time in signed seconds and then its nanoseconds
#pragma once

#include "file_error.h"
#include "fingerprint.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace zarvello::protocol {

inline constexpr char Greeting[] = "ready";

struct Request {
    quint64 number = 0;
    QByteArray path;
    QByteArray content;
    std::optional<Fingerprint> expected;
};

struct Parsed {
    enum class Status { Complete, Incomplete, Malformed };
    Status status = Status::Incomplete;
    Request request;        // when Complete
    qsizetype consumed = 0; // bytes of the buffer the request took, when Complete
};

// The first request in buffer. Malformed: a header that is not three decimal numbers within their
// limits (a path of at most 4096 bytes, content of at most MaxHostsFileSize) and an expectation.
Parsed parseRequest(QByteArrayView buffer);
QByteArray encodeRequest(quint64 number, const QByteArray& path, const QByteArray& content,
                         const std::optional<Fingerprint>& expected = {});

// Why the helper will not write path for a person, if it will not: IndirectPath for a path that is
// not absolute, has an empty, "." or ".." component or a NUL byte; UnshowableName for a name that
// is not UTF-8 or holds a character that a password prompt would not show as it is (hidesText()).
// Letters that look like others (a Cyrillic "о" in "hоsts") pass: the folders shown are real.
std::optional<FileError::Reason> refusedTarget(QByteArrayView path);

// Why the helper will not write the file it was started for: one of FileError's reasons, and the
// errno, if any, of the resolution that failed.
struct Refusal {
    FileError::Reason reason = FileError::Reason::System;
    int error = 0;
};
// The line, without its line feed, in which the helper refuses its file instead of greeting.
QByteArray encodeRefusal(FileError::Reason reason, int error = 0);
// What such a line gives; nothing when it is not one.
std::optional<Refusal> decodeRefusal(QByteArrayView line);

QByteArray encodeAnswer(quint64 number, const std::optional<FileError>& result,
                        const Fingerprint& written = {});
// An answer line, without its line feed, to request number: nothing for a save that succeeded,
// with the file as written, else the error (for path). False when the line is not an answer to
// that request.
bool decodeAnswer(QByteArrayView line, quint64 number, const QString& path,
                  std::optional<FileError>& result, Fingerprint& written);

} // namespace zarvello::protocol
