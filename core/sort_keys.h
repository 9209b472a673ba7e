// SPDX-License-Identifier: GPL-3.0-or-later
// The list's one order: lines compared by their text with letter case folded, the same on every
// machine.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <vector>

namespace zarvello {

// Negative, zero or positive as line a orders before, with or after line b: their texts' UTF-16
// units compared one by one after Unicode case folding, as QString::compare does when it ignores
// case, with each undecodable byte as its escape code point.
int compareFolded(QByteArrayView a, QByteArrayView b);

// The positions of lines in that order, equal lines in the order given (a stable sort).
//
// Why it is fast: hosts lines share long beginnings ("0.0.0.0 ", "127.0.0.1 "), which a
// comparison sort reads again in every comparison. A three-way radix quicksort (Bentley and
// Sedgewick) reads each unit of a shared beginning once per group. The folded units are read
// straight from each line's bytes as the sort goes deeper, so no key is stored: an ASCII line is
// held in 16 bytes and read in lower case, and only a line that needs decoding has a cursor. A
// file of long undecodable lines takes no memory beyond its lines and a cursor each; the time a
// block list takes to load is in docs/performance.md.
std::vector<int> sortedOrder(const QList<QByteArray>& lines);

} // namespace zarvello
