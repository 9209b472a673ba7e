// The sorted host list.
#include "host_list.h"
#include "line_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace zarvello {

bool HostList::lessThan(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

bool HostList::AddItem(const QString& text)
{
    if (room() < 1)
        return false;
    const auto place = std::upper_bound(m_lines.cbegin(), m_lines.cend(), text,
                                        [](const QString& t, const QByteArray& line) { return lessThan(t, decodeLine(line)); });
    const int row = int(place - m_lines.cbegin());
    beginInsertRows({}, row, row);
    m_lines.insert(row, encodeLine(text));
    endInsertRows();
    return true;
}

namespace {

constexpr std::uint64_t everyByte(unsigned char value)
{
    return 0x0101010101010101ULL * value;
}

bool isAscii(const QByteArray& line)
{
    const auto* p = reinterpret_cast<const unsigned char*>(line.constData());
    const qsizetype size = line.size();
    std::uint64_t high = 0;
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        high |= word;
    }
    for (; i < size; ++i)
        high |= p[i];
    return (high & everyByte(0x80)) == 0;
}

// The keys lessThan() compares, one per line, so that sorting reads plain bytes instead of
// folding the same characters again in every comparison. Each UTF-16 unit is folded as
// QString::compare folds it when it ignores case (a low surrogate becomes the low half of its
// folded character, anything else its folded self), and the folded units are written as UTF-8
// writes values: byte order is then unit order, and ASCII takes one byte a character. The key of
// an ASCII line, the usual hosts line, is the line itself read in lower case, so only the other
// lines take room for keys of their own, all in one buffer.
class SortKeys {
public:
    // A line's key and where the line stood.
    struct Keyed {
        const unsigned char* bytes;
        std::uint32_t length;
        bool lowerOnRead; // an ASCII line, folded as it is read
        int position;
    };

    explicit SortKeys(const QList<QByteArray>& lines)
    {
        m_keyed.reserve(size_t(lines.size()));
        qsizetype toFold = 0;
        for (const QByteArray& line : lines) {
            const bool ascii = isAscii(line);
            m_keyed.push_back({reinterpret_cast<const unsigned char*>(line.constData()), std::uint32_t(line.size()),
                               ascii, int(m_keyed.size())});
            if (!ascii)
                toFold += line.size();
        }
        if (toFold == 0)
            return;
        // A byte of a line becomes at most three bytes of key (a lone byte, escaped, is one unit).
        m_folded = std::make_unique_for_overwrite<unsigned char[]>(size_t(3 * toFold));
        unsigned char* out = m_folded.get();
        for (Keyed& keyed : m_keyed) {
            if (keyed.lowerOnRead)
                continue;
            unsigned char* end = writeKey(lines[keyed.position], out);
            keyed.bytes = out;
            keyed.length = std::uint32_t(end - out);
            out = end;
        }
    }

    std::vector<Keyed>& keyed() { return m_keyed; }

    // Whether a's key orders before b's, comparing from depth on.
    static bool keyLess(const Keyed& a, const Keyed& b, std::uint32_t depth = 0)
    {
        for (;; ++depth) {
            const int x = byteAt(a, depth);
            const int y = byteAt(b, depth);
            if (x != y)
                return x < y;
            if (x < 0)
                return false;
        }
    }

    // Orders the lines by key, then by position, so that equal keys keep their file order: a
    // stable sort. Three-way radix quicksort (Bentley and Sedgewick): hosts lines share long
    // beginnings such as "0.0.0.0 ", which a comparison sort would read again in every
    // comparison; this reads each byte of a common beginning once per group.
    void sort() { sort(m_keyed.data(), m_keyed.data() + m_keyed.size(), 0); }

private:
    static int byteAt(const Keyed& keyed, std::uint32_t depth)
    {
        if (depth >= keyed.length)
            return -1;
        const unsigned char byte = keyed.bytes[depth];
        return keyed.lowerOnRead && byte >= 'A' && byte <= 'Z' ? byte + 0x20 : byte;
    }

    static void sort(Keyed* first, Keyed* last, std::uint32_t depth)
    {
        while (last - first > 1) {
            if (last - first < 12) {
                std::sort(first, last, [depth](const Keyed& a, const Keyed& b) {
                    return keyLess(a, b, depth) || (!keyLess(b, a, depth) && a.position < b.position);
                });
                return;
            }
            const int a = byteAt(first[0], depth);
            const int b = byteAt(first[(last - first) / 2], depth);
            const int c = byteAt(last[-1], depth);
            const int pivot = std::max(std::min(a, b), std::min(std::max(a, b), c));
            Keyed* less = first;
            Keyed* greater = last;
            for (Keyed* item = first; item < greater;) {
                const int byte = byteAt(*item, depth);
                if (byte < pivot)
                    std::swap(*less++, *item++);
                else if (byte > pivot)
                    std::swap(*item, *--greater);
                else
                    ++item;
            }
            sort(first, less, depth);
            sort(greater, last, depth);
            if (pivot < 0) { // these keys have ended: they are equal
                std::sort(less, greater, [](const Keyed& x, const Keyed& y) { return x.position < y.position; });
                return;
            }
            first = less;
            last = greater;
            ++depth;
        }
    }

    static unsigned char* writeKey(const QByteArray& line, unsigned char* out)
    {
        const QString text = decodeLine(line);
        char16_t last = 0;
        for (const QChar c : text) {
            const char16_t unit = c.unicode();
            char16_t folded;
            if (unit < 0x80)
                folded = unit >= u'A' && unit <= u'Z' ? char16_t(unit + 32) : unit;
            else if (QChar::isLowSurrogate(unit) && QChar::isHighSurrogate(last))
                folded = QChar::lowSurrogate(QChar::toCaseFolded(QChar::surrogateToUcs4(last, unit)));
            else
                folded = char16_t(QChar::toCaseFolded(char32_t(unit)));
            last = unit;
            if (folded < 0x80) {
                *out++ = (unsigned char)folded;
            } else if (folded < 0x800) {
                *out++ = (unsigned char)(0xC0 | (folded >> 6));
                *out++ = (unsigned char)(0x80 | (folded & 0x3F));
            } else {
                *out++ = (unsigned char)(0xE0 | (folded >> 12));
                *out++ = (unsigned char)(0x80 | ((folded >> 6) & 0x3F));
                *out++ = (unsigned char)(0x80 | (folded & 0x3F));
            }
        }
        return out;
    }

    std::unique_ptr<unsigned char[]> m_folded;
    std::vector<Keyed> m_keyed;
};

// Puts lines into the order given, moving each line once: order[i] names the line that goes to i.
void permute(QList<QByteArray>& lines, std::vector<SortKeys::Keyed>& order)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (order[size_t(i)].position < 0)
            continue; // already in place, as part of an earlier cycle
        QByteArray held = std::move(lines[i]);
        qsizetype to = i;
        while (true) {
            const qsizetype from = std::exchange(order[size_t(to)].position, -1);
            if (from == i) {
                lines[to] = std::move(held);
                break;
            }
            lines[to] = std::move(lines[from]);
            to = from;
        }
    }
}

} // namespace

bool HostList::addLines(QList<QByteArray> lines)
{
    if (lines.size() > room())
        return false;
    if (lines.isEmpty())
        return true;
    // Equal new lines keep their file order, and the merge puts listed entries before equal new
    // ones: exactly what adding them one by one would do, in O(n log n).
    SortKeys added(lines);
    added.sort();

    beginResetModel();
    if (m_lines.isEmpty()) {
        // The usual Open: nothing to merge with, so the lines are sorted where they are.
        permute(lines, added.keyed());
        m_lines = std::move(lines);
    } else {
        QList<QByteArray> merged;
        merged.reserve(m_lines.size() + lines.size());
        SortKeys listed(m_lines);
        auto next = added.keyed().cbegin();
        const auto end = added.keyed().cend();
        for (const SortKeys::Keyed& entry : listed.keyed()) {
            for (; next != end && SortKeys::keyLess(*next, entry); ++next)
                merged.append(std::move(lines[next->position]));
            merged.append(std::move(m_lines[entry.position]));
        }
        for (; next != end; ++next)
            merged.append(std::move(lines[next->position]));
        m_lines = std::move(merged);
    }
    endResetModel();
    return true;
}

QString HostList::Item(int position) const
{
    return position >= 0 && position < Count() ? decodeLine(m_lines.at(position)) : QString();
}

void HostList::SetItem(int position, const QString& text)
{
    if (position < 0 || position >= Count())
        return;
    m_lines[position] = encodeLine(text);
    const QModelIndex changed = index(position);
    emit dataChanged(changed, changed);
}

int HostList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

QVariant HostList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return decodeLine(m_lines.at(index.row()));
    return {};
}

} // namespace zarvello
