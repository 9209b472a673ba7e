// The sorted host list.
#include "host_list.h"
#include "line_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
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

// Lower-cases ASCII bytes, eight at a time: a byte is a capital when adding 0x80 - 'A' sets its
// top bit and adding 0x80 - 'Z' - 1 does not; no sum carries into the next byte below 0x80.
void lowerAscii(const unsigned char* in, qsizetype size, unsigned char* out)
{
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, in + i, 8);
        const std::uint64_t atLeastA = word + everyByte(0x80 - 'A');
        const std::uint64_t pastZ = word + everyByte(0x80 - 'Z' - 1);
        word |= ((atLeastA & ~pastZ) & everyByte(0x80)) >> 2;
        std::memcpy(out + i, &word, 8);
    }
    for (; i < size; ++i)
        out[i] = in[i] >= 'A' && in[i] <= 'Z' ? (unsigned char)(in[i] + 0x20) : in[i];
}

// The keys lessThan() compares, made once per entry, so that sorting reads plain bytes instead of
// folding the same characters again in every comparison. Each UTF-16 unit is folded
// as QString::compare folds it when it ignores case (a low surrogate becomes the low half of its
// folded character, anything else its folded self), and the folded units are written as UTF-8
// writes values: byte order is then unit order, and ASCII takes one byte a character. All keys
// share one buffer: one allocation, whatever the number of lines.
class SortKeys {
public:
    explicit SortKeys(const QList<QByteArray>& lines)
    {
        qsizetype bytes = 0;
        for (const QByteArray& line : lines)
            bytes += line.size();
        // A byte of a line becomes at most three bytes of key (a lone byte, escaped, is one unit).
        // Left uninitialised: the pages an ASCII file does not need are never touched.
        m_bytes = std::make_unique_for_overwrite<unsigned char[]>(size_t(3 * bytes));
        m_ends.reserve(size_t(lines.size()));
        unsigned char* out = m_bytes.get();
        for (const QByteArray& line : lines) {
            out = writeKey(line, out);
            m_ends.push_back(size_t(out - m_bytes.get()));
        }
    }

    std::string_view operator[](size_t i) const
    {
        const size_t begin = i == 0 ? 0 : m_ends[i - 1];
        return {reinterpret_cast<const char*>(m_bytes.get()) + begin, m_ends[i] - begin};
    }
    size_t size() const { return m_ends.size(); }

private:
    static unsigned char* writeKey(const QByteArray& line, unsigned char* out)
    {
        // ASCII, the usual hosts line, folds eight bytes at a time.
        if (isAscii(line)) {
            lowerAscii(reinterpret_cast<const unsigned char*>(line.constData()), line.size(), out);
            return out + line.size();
        }
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

    std::unique_ptr<unsigned char[]> m_bytes;
    std::vector<size_t> m_ends;
};

// A line's key and where the line stood in the file.
struct Keyed {
    std::string_view key;
    int position;
};

int byteAt(const Keyed& item, size_t depth)
{
    return depth < item.key.size() ? (unsigned char)item.key[depth] : -1;
}

// Orders by key, then by position, so that equal keys keep their file order: a stable sort.
// Three-way radix quicksort (Bentley and Sedgewick): hosts lines share long beginnings such as
// "0.0.0.0 ", which a comparison sort would read again in every comparison; this reads each byte
// of a common beginning once per group.
void sortKeyed(Keyed* first, Keyed* last, size_t depth)
{
    while (last - first > 1) {
        if (last - first < 12) {
            std::sort(first, last, [depth](const Keyed& a, const Keyed& b) {
                const int order = a.key.substr(depth).compare(b.key.substr(depth));
                return order < 0 || (order == 0 && a.position < b.position);
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
        sortKeyed(first, less, depth);
        sortKeyed(greater, last, depth);
        if (pivot < 0) { // these keys have ended: they are equal
            std::sort(less, greater, [](const Keyed& x, const Keyed& y) { return x.position < y.position; });
            return;
        }
        first = less;
        last = greater;
        ++depth;
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
    const SortKeys added(lines);
    std::vector<Keyed> order;
    order.reserve(added.size());
    for (size_t i = 0; i < added.size(); ++i)
        order.push_back({added[i], int(i)});
    sortKeyed(order.data(), order.data() + order.size(), 0);

    beginResetModel();
    QList<QByteArray> merged;
    merged.reserve(m_lines.size() + lines.size());
    auto next = order.cbegin();
    if (!m_lines.isEmpty()) {
        const SortKeys listed(m_lines);
        for (size_t i = 0; i < listed.size(); ++i) {
            for (; next != order.cend() && next->key < listed[i]; ++next)
                merged.append(std::move(lines[next->position]));
            merged.append(std::move(m_lines[qsizetype(i)]));
        }
    }
    for (; next != order.cend(); ++next)
        merged.append(std::move(lines[next->position]));
    m_lines = std::move(merged);
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

QStringList HostList::entries() const
{
    QStringList texts;
    texts.reserve(m_lines.size());
    for (const QByteArray& line : m_lines)
        texts.append(decodeLine(line));
    return texts;
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
