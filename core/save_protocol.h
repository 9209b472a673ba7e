// SPDX-License-Identifier: GPL-3.0-or-later
// What the program and its privileged helper say to each other: one request per save, one answer
// per request.
//
//   request: "<path bytes> <content bytes>\n" in decimal, then the path, then the content
//   answer:  "ok\n", or "error <errno> <reason> <file state>\n" with FileError's numbers
#pragma once

#include "file_error.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace zarvello::protocol {

struct Request {
    QByteArray path;
    QByteArray content;
};

struct Parsed {
    enum class Status { Complete, Incomplete, Malformed };
    Status status = Status::Incomplete;
    Request request;       // when Complete
    qsizetype consumed = 0; // bytes of the buffer the request took, when Complete
};

// The first request in buffer. Malformed: a header that is not two decimal numbers within their
// limits (a path of at most 4096 bytes, content of at most MaxHostsFileSize).
Parsed parseRequest(QByteArrayView buffer);
QByteArray encodeRequest(const QByteArray& path, const QByteArray& content);

// A path the helper may be asked to write: absolute, with no empty, "." or ".." component, no
// NUL byte.
bool acceptablePath(QByteArrayView path);

QByteArray encodeAnswer(const std::optional<FileError>& result);
// An answer line, without its line feed: nothing for a save that succeeded, else the error
// (for path). False when the line is not an answer.
bool decodeAnswer(QByteArrayView line, const QString& path, std::optional<FileError>& result);

} // namespace zarvello::protocol
