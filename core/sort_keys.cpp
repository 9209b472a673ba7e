// SPDX-License-Identifier: GPL-3.0-or-later
// Folded units read from bytes, and the radix quicksort over them.
#include "sort_keys.h"
#include "line_codec.h"

#include <QChar>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace zarvello {

namespace {

// The ASCII paths here test bytes against 0x80 themselves instead of asking the codec, which says
// the rest of what a byte is: they run for every byte a sort reads, where a call costs more than
// the test.

// Eight bytes at a time, and done at the first that is not ASCII: a line of undecodable bytes
// says so at once.
bool isAscii(QByteArrayView line)
{
    const char* p = line.data();
    const char* const end = p + line.size();
    for (; end - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080u)
            return false;
    }
    for (; p != end; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80)
            return false;
    }
    return true;
}

// A line's folded UTF-16 units, one after another, decoded from its bytes as they are asked for.
class FoldedUnits {
public:
    explicit FoldedUnits(QByteArrayView line)
        : m_line(line)
        , m_asciiLine(isAscii(line))
    {
    }

    // The unit at depth, or -1 past the end. Cheapest when depth never decreases.
    int at(std::uint32_t depth)
    {
        if (m_asciiLine) // an ASCII line is its own key, read in lower case
            return depth < m_line.size() ? lower(m_line[depth]) : -1;
        if (depth + 1 == m_read)
            return m_unit;
        if (depth < m_read)
            *this = FoldedUnits(m_line);
        while (m_read <= depth && m_unit >= 0) {
            m_unit = next();
            ++m_read;
        }
        return m_read > depth ? m_unit : -1;
    }

    // Whether the cursor, having read its unit at some depth, stands where a new UTF-8 sequence
    // starts: from there, equal bytes (ASCII letters in either case) mean equal units.
    bool atBoundary() const { return m_asciiLine || (m_pendingLow == 0 && m_unit >= 0); }
    // The bytes after the unit at depth, once that unit has been read.
    QByteArrayView restAfter(std::uint32_t depth) const
    {
        return m_asciiLine ? m_line.sliced(std::min<qsizetype>(depth + 1, m_line.size()))
                           : m_line.sliced(m_offset);
    }

    static int lower(char c)
    {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 'A' && byte <= 'Z' ? byte + 0x20 : byte;
    }

    struct Passed {
        qsizetype bytes;
        std::uint32_t units;
        int lastUnit;
    };
    // Reads the units of at most `bytes` bytes after depth, whole sequences only.
    Passed readOver(std::uint32_t depth, qsizetype bytes)
    {
        if (m_asciiLine)
            return {bytes, std::uint32_t(bytes), lower(m_line[depth + bytes])};
        const qsizetype start = m_offset;
        const std::uint32_t read = m_read;
        while (m_offset < start + bytes) {
            // A unit passes only when every byte that decides it lies in the shared run: a
            // sequence cut short by one line's end may go on whole in another line.
            if (static_cast<unsigned char>(m_line[m_offset]) >= 0x80
                && m_offset + 4 > start + bytes)
                break;
            const FoldedUnits before = *this;
            m_unit = next();
            ++m_read;
            if (m_pendingLow) {
                m_unit = next();
                ++m_read;
            }
            if (m_offset > start + bytes) {
                *this = before;
                break;
            }
        }
        return {m_offset - start, m_read - read, m_unit};
    }

    // Moves past bytes that are the same as those another cursor has passed.
    void follow(const Passed& passed)
    {
        if (m_asciiLine)
            return;
        m_offset += passed.bytes;
        m_read += passed.units;
        m_unit = passed.lastUnit;
    }

private:
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
        char32_t cp = 0;
        const int length = decodeSequence(m_line.sliced(m_offset), cp);
        m_offset += std::max(length, 1);
        if (length == 0)
            return escapedByte(byte); // an undecodable byte, as the codec carries it
        if (QChar::requiresSurrogates(cp)) {
            // As QString folds a pair: the high unit as it is, the low one from the folded
            // character.
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
    bool m_asciiLine = false; // units and bytes coincide: no cursor needed
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

// A line as the sort holds it, in 16 bytes. An ASCII line, almost every line of a hosts file, is
// its own key, read in lower case as the sort goes; only a line that needs decoding has a cursor,
// kept apart. So the keys cost a fraction of the file, and a cursor's 40 bytes come only with a
// line that has something to decode.
struct Keyed {
    static constexpr std::uint32_t Decoded = ~std::uint32_t(0);
    union {
        const char* bytes;   // an ASCII line's
        FoldedUnits* cursor; // for any other line
    };
    std::uint32_t size; // an ASCII line's length, or Decoded
    int position;

    bool ascii() const { return size != Decoded; }
    int at(std::uint32_t depth) const
    {
        if (ascii())
            return depth < size ? FoldedUnits::lower(bytes[depth]) : -1;
        return cursor->at(depth);
    }
    FoldedUnits units() const { return ascii() ? FoldedUnits({bytes, size}) : *cursor; }
    bool atBoundary() const { return ascii() || cursor->atBoundary(); }
    QByteArrayView restAfter(std::uint32_t depth) const
    {
        return ascii() ? QByteArrayView(bytes, size).sliced(std::min(depth + 1, size))
                       : cursor->restAfter(depth);
    }
};
static_assert(sizeof(Keyed) == 16);

int compareFrom(const Keyed& a, const Keyed& b, std::uint32_t depth)
{
    if (!a.ascii() || !b.ascii())
        return compareFrom(a.units(), b.units(), depth);
    const std::uint32_t common = std::min(a.size, b.size);
    for (; depth < common; ++depth) {
        const int x = FoldedUnits::lower(a.bytes[depth]);
        const int y = FoldedUnits::lower(b.bytes[depth]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size < b.size ? -1 : a.size > b.size ? 1 : 0;
}

// Lines that go on with the same bytes, ASCII letters in either case, go on with the same units.
// When a whole group agrees at a depth, the units its lines share byte for byte are passed in one
// sweep rather than one partition each: identical long lines would otherwise cost a partition per
// character.
std::uint32_t skipSharedBytes(Keyed* first, Keyed* last, std::uint32_t depth)
{
    const QByteArrayView leadRest = first->restAfter(depth);
    qsizetype shared = leadRest.size();
    for (Keyed* item = first; item != last && shared > 0; ++item) {
        if (!item->atBoundary())
            return 0;
        const QByteArrayView rest = item->restAfter(depth);
        const auto end = leadRest.begin() + std::min(shared, rest.size());
        const auto same = [](char a, char b) {
            return FoldedUnits::lower(a) == FoldedUnits::lower(b);
        };
        shared = std::mismatch(leadRest.begin(), end, rest.begin(), same).first - leadRest.begin();
    }
    if (shared == 0)
        return 0;
    // The shared bytes are ASCII when any line of the group is: an ASCII line passes as many
    // units as bytes, with nothing to move.
    const FoldedUnits::Passed passed = first->ascii()
        ? FoldedUnits::Passed{shared, std::uint32_t(shared),
                              FoldedUnits::lower(first->bytes[depth + shared])}
        : first->cursor->readOver(depth, shared);
    for (Keyed* item = first + 1; item != last; ++item) {
        if (!item->ascii())
            item->cursor->follow(passed);
    }
    return passed.units;
}

void radixSort(Keyed* first, Keyed* last, std::uint32_t depth)
{
    while (last - first > 1) {
        if (last - first < 12) {
            std::sort(first, last, [depth](const Keyed& a, const Keyed& b) {
                const int order = compareFrom(a, b, depth);
                return order < 0 || (order == 0 && a.position < b.position);
            });
            return;
        }
        const int a = first[0].at(depth);
        const int b = first[(last - first) / 2].at(depth);
        const int c = last[-1].at(depth);
        const int pivot = std::max(std::min(a, b), std::min(std::max(a, b), c));
        Keyed* less = first;
        Keyed* greater = last;
        for (Keyed* item = first; item < greater;) {
            const int unit = item->at(depth);
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
            std::sort(less, greater,
                      [](const Keyed& x, const Keyed& y) { return x.position < y.position; });
            return;
        }
        if (less == first && greater == last)
            depth += skipSharedBytes(first, last, depth);
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
    std::vector<Keyed> keyed(size_t(lines.size()));
    size_t decoded = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        Keyed& k = keyed[size_t(i)];
        k.position = int(i);
        k.bytes = lines.at(i).constData();
        k.size = isAscii(lines.at(i)) ? std::uint32_t(lines.at(i).size()) : Keyed::Decoded;
        decoded += !k.ascii();
    }
    std::vector<FoldedUnits> cursors;
    cursors.reserve(decoded); // they are pointed to
    for (Keyed& k : keyed) {
        if (!k.ascii())
            k.cursor = &cursors.emplace_back(lines.at(k.position));
    }
    radixSort(keyed.data(), keyed.data() + keyed.size(), 0);
    std::vector<int> order;
    order.reserve(keyed.size());
    for (const Keyed& k : keyed)
        order.push_back(k.position);
    return order;
}

} // namespace zarvello
