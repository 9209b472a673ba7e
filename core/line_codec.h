// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion between a hosts file's bytes and the program's text, losing no byte.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace zarvello {

// UTF-8 to text. A byte that is not part of valid UTF-8 becomes the lone code point U+DC80 + byte,
// which encodeLine() turns back into that same byte, so undecodable files survive a round trip.
QString decodeLine(QByteArrayView bytes);

// The bytes of a text: the inverse of decodeLine(). A lone surrogate that is not an escaped byte
// cannot be written in UTF-8 and becomes U+FFFD.
QByteArray encodeLine(QStringView text);

// The valid UTF-8 sequence at the start of bytes: its length, with its code point in cp; 0 when
// the first byte starts none (decodeLine escapes that byte).
int decodeSequence(QByteArrayView bytes, char32_t& cp);

// The code point decodeLine() carries an undecodable byte as, and the test for one.
constexpr char16_t escapedByte(unsigned char byte)
{
    return char16_t(0xDC00 + byte);
}
constexpr bool isEscapedByte(char16_t c)
{
    return c >= escapedByte(0x80) && c <= escapedByte(0xFF);
}

} // namespace zarvello
