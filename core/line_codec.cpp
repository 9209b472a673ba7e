// SPDX-License-Identifier: GPL-3.0-or-later
// UTF-8 with undecodable bytes carried through as U+DC80 + byte.
#include "line_codec.h"

namespace zarvello {

namespace {

constexpr bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence that starts at p, or 0 when the lead byte at p starts none.
// Overlong forms, surrogates and values past U+10FFFF are invalid, so every valid sequence
// re-encodes to the very same bytes: the second byte's range shuts them out.
int validSequenceLength(const unsigned char* p, qsizetype left)
{
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    if (b < 0xC2 || b > 0xF4)
        return 0;
    const int length = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    const unsigned char low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    if (left < length || p[1] < low || p[1] > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        if (!isContinuation(p[i]))
            return 0;
    }
    return length;
}

} // namespace

int decodeSequence(QByteArrayView bytes, char32_t& cp)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const int length = bytes.isEmpty() ? 0 : validSequenceLength(p, bytes.size());
    switch (length) {
    case 1:
        cp = p[0];
        break;
    case 2:
        cp = (char32_t(p[0] & 0x1F) << 6) | char32_t(p[1] & 0x3F);
        break;
    case 3:
        cp = (char32_t(p[0] & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | char32_t(p[2] & 0x3F);
        break;
    case 4:
        cp = (char32_t(p[0] & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12)
            | (char32_t(p[2] & 0x3F) << 6) | char32_t(p[3] & 0x3F);
        break;
    }
    return length;
}

QString decodeLine(QByteArrayView bytes)
{
    // Most hosts files are plain ASCII; skip the decoder for them.
    qsizetype ascii = 0;
    while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80)
        ++ascii;
    if (ascii == bytes.size())
        return QString::fromLatin1(bytes.data(), bytes.size());

    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(text.data());
    char16_t* out = begin;
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t cp = 0;
        const int length = decodeSequence(bytes.sliced(at), cp);
        if (length == 0) {
            *out++ = escapedByte(static_cast<unsigned char>(bytes[at++]));
            continue;
        }
        if (QChar::requiresSurrogates(cp)) {
            *out++ = QChar::highSurrogate(cp);
            *out++ = QChar::lowSurrogate(cp);
        } else {
            *out++ = char16_t(cp);
        }
        at += length;
    }
    text.truncate(out - begin);
    return text;
}

QByteArray encodeLine(QStringView text)
{
    // Three bytes at most per UTF-16 unit: a pair, two units, takes four.
    QByteArray bytes(3 * text.size(), Qt::Uninitialized);
    auto* o = reinterpret_cast<unsigned char*>(bytes.data());
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    while (p != end) {
        char32_t cp = *p++;
        if (cp < 0x80) {
            *o++ = (unsigned char)cp;
            continue;
        }
        if (QChar::isHighSurrogate(cp) && p != end && QChar::isLowSurrogate(*p)) {
            cp = QChar::surrogateToUcs4(char16_t(cp), *p++);
        } else if (isEscapedByte(char16_t(cp))) {
            *o++ = (unsigned char)(cp - escapedByte(0));
            continue;
        } else if (QChar::isSurrogate(cp)) {
            cp = 0xFFFD;
        }
        if (cp < 0x800) {
            *o++ = (unsigned char)(0xC0 | (cp >> 6));
        } else if (cp < 0x10000) {
            *o++ = (unsigned char)(0xE0 | (cp >> 12));
            *o++ = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
        } else {
            *o++ = (unsigned char)(0xF0 | (cp >> 18));
            *o++ = (unsigned char)(0x80 | ((cp >> 12) & 0x3F));
            *o++ = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
        }
        *o++ = (unsigned char)(0x80 | (cp & 0x3F));
    }
    bytes.truncate(reinterpret_cast<char*>(o) - bytes.data());
    return bytes;
}

} // namespace zarvello
