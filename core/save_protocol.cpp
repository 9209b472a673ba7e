// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding and strict parsing of the helper's requests and answers.
#include "save_protocol.h"
#include "file_writer.h"

#include <QList>

#include <climits>

namespace zarvello::protocol {

namespace {

// Two numbers of at most 20 digits, a space and a line feed.
constexpr qsizetype MaxHeader = 42;

std::optional<qint64> number(QByteArrayView digits, qint64 limit)
{
    if (digits.isEmpty() || digits.size() > 20 || (digits.size() > 1 && digits.front() == '0'))
        return std::nullopt;
    qint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9' || value > (limit - (c - '0')) / 10)
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

Parsed parseRequest(QByteArrayView buffer)
{
    Parsed parsed;
    const qsizetype end = buffer.first(std::min(buffer.size(), MaxHeader)).indexOf('\n');
    if (end < 0) {
        if (buffer.size() >= MaxHeader)
            parsed.status = Parsed::Status::Malformed;
        return parsed;
    }
    const QByteArrayView header = buffer.first(end);
    const qsizetype space = header.indexOf(' ');
    const auto pathSize = number(header.first(std::max<qsizetype>(space, 0)), PATH_MAX);
    const auto contentSize = number(header.sliced(space + 1), MaxHostsFileSize);
    if (space < 0 || !pathSize || !contentSize) {
        parsed.status = Parsed::Status::Malformed;
        return parsed;
    }
    const qsizetype total = end + 1 + *pathSize + *contentSize;
    if (buffer.size() < total)
        return parsed;
    parsed.status = Parsed::Status::Complete;
    parsed.request.path = buffer.sliced(end + 1, *pathSize).toByteArray();
    parsed.request.content = buffer.sliced(end + 1 + *pathSize, *contentSize).toByteArray();
    parsed.consumed = total;
    return parsed;
}

QByteArray encodeRequest(const QByteArray& path, const QByteArray& content)
{
    return QByteArray::number(path.size()) + ' ' + QByteArray::number(content.size()) + '\n' + path + content;
}

bool acceptablePath(QByteArrayView path)
{
    if (!path.startsWith('/') || path.contains('\0'))
        return false;
    const QList<QByteArray> parts = path.sliced(1).toByteArray().split('/');
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part == "." || part == "..")
            return false;
    }
    return true;
}

QByteArray encodeAnswer(const std::optional<FileError>& result)
{
    if (!result)
        return "ok\n";
    return "error " + QByteArray::number(result->systemError) + ' ' + QByteArray::number(int(result->reason)) + ' '
        + QByteArray::number(int(result->fileState)) + '\n';
}

bool decodeAnswer(QByteArrayView line, const QString& path, std::optional<FileError>& result)
{
    if (line == "ok") {
        result.reset();
        return true;
    }
    const QList<QByteArray> fields = line.toByteArray().split(' ');
    if (fields.size() != 4 || fields[0] != "error")
        return false;
    const auto error = number(fields[1], 4095);
    const auto reason = number(fields[2], int(FileError::Reason::ForeignLink));
    const auto state = number(fields[3], int(FileError::FileState::WrittenNotDurable));
    if (!error || !reason || !state)
        return false;
    result = FileError{path, FileError::Operation::Write, FileError::Reason(*reason), int(*error), FileError::FileState(*state)};
    return true;
}

} // namespace zarvello::protocol
