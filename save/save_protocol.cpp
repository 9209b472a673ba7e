// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding and strict parsing of the helper's requests and answers.
#include "save_protocol.h"
#include "file_writer.h"

#include <QList>
#include <QStringDecoder>

#include <algorithm>
#include <climits>

namespace zarvello::protocol {

namespace {

constexpr FileError::Reason LastReason = FileError::Reason::NoAnswer;

// Three numbers of at most 20 digits and a fingerprint of seven, three of them signed, two of at
// most 9 digits, six commas, three spaces and a line feed.
constexpr qsizetype MaxHeader = 3 * 20 + 5 * 20 + 3 + 2 * 9 + 6 + 3 + 1;

std::optional<quint64> number(QByteArrayView digits, quint64 limit)
{
    if (digits.isEmpty() || digits.size() > 20 || (digits.size() > 1 && digits.front() == '0'))
        return std::nullopt;
    quint64 value = 0;
    for (const char c : digits) {
        const quint64 digit = quint64(c - '0');
        if (c < '0' || c > '9' || digit > limit || value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<qint64> signedNumber(QByteArrayView digits)
{
    const bool negative = digits.startsWith('-');
    // The least of them, -2^63, has no positive counterpart.
    const quint64 most = quint64(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
    const auto value = number(digits.sliced(negative), most);
    if (!value || (negative && *value == 0))
        return std::nullopt;
    return negative ? qint64(0 - *value) : qint64(*value);
}

QByteArray encodeFingerprint(const Fingerprint& f)
{
    return QByteArray::number(f.device) + ',' + QByteArray::number(f.inode) + ','
        + QByteArray::number(f.size) + ',' + QByteArray::number(f.modified.seconds) + ','
        + QByteArray::number(f.modified.nanoseconds) + ',' + QByteArray::number(f.changed.seconds)
        + ',' + QByteArray::number(f.changed.nanoseconds);
}

std::optional<Fingerprint> decodeFingerprint(QByteArrayView text)
{
    const QList<QByteArray> fields = text.toByteArray().split(',');
    const quint64 most = std::numeric_limits<quint64>::max();
    const auto device = number(fields.value(0), most), inode = number(fields.value(1), most);
    const auto size = signedNumber(fields.value(2));
    const auto time = [&](int at) -> std::optional<Fingerprint::Time> {
        const auto seconds = signedNumber(fields.value(at));
        const auto nanoseconds = number(fields.value(at + 1), 999999999);
        if (!seconds || !nanoseconds)
            return std::nullopt;
        return Fingerprint::Time{*seconds, qint64(*nanoseconds)};
    };
    const auto modified = time(3), changed = time(5);
    if (fields.size() != 7 || !device || !inode || !size || *size < 0 || !modified || !changed)
        return std::nullopt;
    return Fingerprint{*device, *inode, *size, *modified, *changed};
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
    const QList<QByteArray> fields = buffer.first(end).toByteArray().split(' ');
    const auto requestNumber = number(fields.value(0), std::numeric_limits<quint64>::max());
    const auto pathSize = number(fields.value(1), PATH_MAX);
    const auto contentSize = number(fields.value(2), MaxHostsFileSize);
    const QByteArray expectation = fields.value(3);
    const auto expected = decodeFingerprint(expectation);
    if (fields.size() != 4 || !requestNumber || !pathSize || !contentSize
        || (expectation != "-" && !expected)) {
        parsed.status = Parsed::Status::Malformed;
        return parsed;
    }
    const qsizetype total = end + 1 + qsizetype(*pathSize + *contentSize);
    if (buffer.size() < total)
        return parsed;
    parsed.status = Parsed::Status::Complete;
    parsed.request.number = *requestNumber;
    parsed.request.expected = expected;
    parsed.request.path = buffer.sliced(end + 1, qsizetype(*pathSize)).toByteArray();
    parsed.request.content =
        buffer.sliced(end + 1 + qsizetype(*pathSize)).first(qsizetype(*contentSize)).toByteArray();
    parsed.consumed = total;
    return parsed;
}

QByteArray encodeRequest(quint64 number, const QByteArray& path, const QByteArray& content,
                         const std::optional<Fingerprint>& expected)
{
    return QByteArray::number(number) + ' ' + QByteArray::number(path.size()) + ' '
        + QByteArray::number(content.size()) + ' '
        + (expected ? encodeFingerprint(*expected) : QByteArray("-")) + '\n' + path + content;
}

std::optional<FileError::Reason> refusedTarget(QByteArrayView path)
{
    if (!path.startsWith('/') || path.contains('\0'))
        return FileError::Reason::IndirectPath;
    const QList<QByteArray> parts = path.sliced(1).toByteArray().split('/');
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part == "." || part == "..")
            return FileError::Reason::IndirectPath;
    }
    // A byte order mark is a character of the name like any other.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString name = decoder(path);
    // A sequence cut short at the end passes the decoder, but does not come back the same.
    if (decoder.hasError() || name.toUtf8() != path)
        return FileError::Reason::UnshowableName;
    const QList<uint> characters = name.toUcs4();
    for (qsizetype i = 0; i < characters.size(); ++i) {
        if (hidesText(characters[i], i == 0 || characters[i - 1] == '/',
                      i + 1 == characters.size() || characters[i + 1] == '/'))
            return FileError::Reason::UnshowableName;
    }
    return std::nullopt;
}

QByteArray encodeRefusal(FileError::Reason reason, int error)
{
    return "refused " + QByteArray::number(int(reason)) + ' ' + QByteArray::number(error);
}

std::optional<Refusal> decodeRefusal(QByteArrayView line)
{
    const QList<QByteArray> fields = line.toByteArray().split(' ');
    const auto reason = number(fields.value(1), int(LastReason));
    const auto error = number(fields.value(2), 4095);
    if (fields.size() != 3 || fields[0] != "refused" || !reason || !error)
        return std::nullopt;
    return Refusal{FileError::Reason(*reason), int(*error)};
}

QByteArray encodeAnswer(quint64 number, const std::optional<FileError>& result,
                        const Fingerprint& written)
{
    const QByteArray head = QByteArray::number(number) + ' ';
    if (!result)
        return head + "ok " + encodeFingerprint(written) + '\n';
    return head + "error " + QByteArray::number(result->systemError) + ' '
        + QByteArray::number(int(result->reason)) + ' ' + QByteArray::number(int(result->fileState))
        + '\n';
}

bool decodeAnswer(QByteArrayView line, quint64 requestNumber, const QString& path,
                  std::optional<FileError>& result, Fingerprint& written)
{
    const QList<QByteArray> fields = line.toByteArray().split(' ');
    if (number(fields.value(0), std::numeric_limits<quint64>::max()) != requestNumber)
        return false;
    if (fields.size() == 3 && fields[1] == "ok") {
        const auto fingerprint = decodeFingerprint(fields[2]);
        if (fingerprint) {
            result.reset();
            written = *fingerprint;
        }
        return fingerprint.has_value();
    }
    if (fields.size() != 5 || fields[1] != "error")
        return false;
    const auto error = number(fields[2], 4095);
    const auto reason = number(fields[3], int(LastReason));
    const auto state = number(fields[4], int(FileError::FileState::OldOrNew));
    if (!error || !reason || !state)
        return false;
    result = FileError::writing(path, int(*error), FileError::Reason(*reason),
                                FileError::FileState(*state));
    return true;
}

} // namespace zarvello::protocol
