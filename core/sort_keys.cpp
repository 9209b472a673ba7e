// SPDX-License-Identifier: GPL-3.0-or-later
// Folded units read from bytes, and the radix quicksort over them.
#include "sort_keys.h"
#include "line_codec.h"

#include <QChar>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace zarvello {

namespace {

// A line's folded UTF-16 units, one after another, decoded from its bytes as they are asked for.
class FoldedUnits {
public:
    explicit FoldedUnits(QByteArrayView line)
        : m_line(line)
    {
    }

    // The unit at depth, or -1 past the end. Cheapest when depth never decreases.
    int at(std::uint32_t depth)
    {
        if (depth + 1 == m_read)
            return m_unit;
        if (depth < m_read) {
            if (m_ascii) // an ASCII line is its own key, read in lower case
                return depth < m_line.size() ? lower(m_line[depth]) : -1;
            *this = FoldedUnits(m_line);
        }
        while (m_read <= depth && m_unit >= 0) {
            m_unit = next();
            ++m_read;
        }
        return m_read > depth ? m_unit : -1;
    }

private:
    static int lower(char c)
    {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 'A' && byte <= 'Z' ? byte + 0x20 : byte;
    }

    int next()
    {
        if (m_pendingLow)
            return std::exchange(m_pendingLow, 0);
        if (m_offset == m_line.size())
            return -1;
        const auto byte = static_cast<unsigned char>(m_line[m_offset]);
        if (byte < 0x80) {
            ++m_offset;
            return lower(char(byte));
        }
        m_ascii = false;
        char32_t cp = 0;
        const int length = decodeSequence(m_line.sliced(m_offset), cp);
        m_offset += std::max(length, 1);
        if (length == 0)
            return 0xDC00 + byte; // an undecodable byte, as the codec carries it
        if (QChar::requiresSurrogates(cp)) {
            // As QString folds a pair: the high unit as it is, the low one from the folded character.
            m_pendingLow = QChar::lowSurrogate(QChar::toCaseFolded(cp));
            return QChar::highSurrogate(cp);
        }
        return int(QChar::toCaseFolded(cp));
    }

    QByteArrayView m_line;
    qsizetype m_offset = 0;
    std::uint32_t m_read = 0; // units read so far
    int m_unit = 0;           // the last of them
    char16_t m_pendingLow = 0;
    bool m_ascii = true; // no byte above 0x7F read yet: units and bytes coincide
};

struct Keyed {
    FoldedUnits units;
    int position;
};

int compareFrom(FoldedUnits a, FoldedUnits b, std::uint32_t depth)
{
    for (;; ++depth) {
        const int x = a.at(depth);
        const int y = b.at(depth);
        if (x != y)
            return x < y ? -1 : 1;
        if (x < 0)
            return 0;
    }
}

void radixSort(Keyed* first, Keyed* last, std::uint32_t depth)
{
    while (last - first > 1) {
        if (last - first < 12) {
            std::sort(first, last, [depth](const Keyed& a, const Keyed& b) {
                const int order = compareFrom(a.units, b.units, depth);
                return order < 0 || (order == 0 && a.position < b.position);
            });
            return;
        }
        const int a = first[0].units.at(depth);
        const int b = first[(last - first) / 2].units.at(depth);
        const int c = last[-1].units.at(depth);
        const int pivot = std::max(std::min(a, b), std::min(std::max(a, b), c));
        Keyed* less = first;
        Keyed* greater = last;
        for (Keyed* item = first; item < greater;) {
            const int unit = item->units.at(depth);
            if (unit < pivot)
                std::swap(*less++, *item++);
            else if (unit > pivot)
                std::swap(*item, *--greater);
            else
                ++item;
        }
        radixSort(first, less, depth);
        radixSort(greater, last, depth);
        if (pivot < 0) { // these lines have ended: they are equal
            std::sort(less, greater, [](const Keyed& x, const Keyed& y) { return x.position < y.position; });
            return;
        }
        first = less;
        last = greater;
        ++depth;
    }
}

} // namespace

int compareFolded(QByteArrayView a, QByteArrayView b)
{
    return compareFrom(FoldedUnits(a), FoldedUnits(b), 0);
}

std::vector<int> sortedOrder(const QList<QByteArray>& lines)
{
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(lines.size()));
    for (const QByteArray& line : lines)
        keyed.push_back({FoldedUnits(line), int(keyed.size())});
    radixSort(keyed.data(), keyed.data() + keyed.size(), 0);
    std::vector<int> order;
    order.reserve(keyed.size());
    for (const Keyed& k : keyed)
        order.push_back(k.position);
    return order;
}

} // namespace zarvello
