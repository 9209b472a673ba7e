// SPDX-License-Identifier: GPL-3.0-or-later
// The sorted host list.
#include "host_list.h"
#include "line_codec.h"
#include "sort_keys.h"

#include <algorithm>
#include <utility>

namespace zarvello {

namespace {

// Puts lines into the order given, moving each line once: order[i] names the line that goes to i.
void permute(QList<QByteArray>& lines, std::vector<int>& order)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (order[size_t(i)] < 0)
            continue; // already in place, as part of an earlier cycle
        QByteArray held = std::move(lines[i]);
        qsizetype to = i;
        while (true) {
            const qsizetype from = std::exchange(order[size_t(to)], -1);
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

bool HostList::AddItem(const QString& text)
{
    if (room() < 1)
        return false;
    QByteArray line = encodeLine(text);
    const auto place = std::upper_bound(
        m_lines.cbegin(), m_lines.cend(), line,
        [](const QByteArray& a, const QByteArray& b) { return compareFolded(a, b) < 0; });
    const int row = int(place - m_lines.cbegin());
    beginInsertRows({}, row, row);
    m_lines.insert(row, std::move(line));
    endInsertRows();
    return true;
}

bool HostList::addLines(QList<QByteArray> lines)
{
    if (lines.size() > room())
        return false;
    if (lines.isEmpty())
        return true;
    // Equal new lines keep their file order, and the merge puts listed entries before equal new
    // ones: exactly what adding them one by one would do, in O(n log n).
    std::vector<int> order = sortedOrder(lines);

    beginResetModel();
    if (m_lines.isEmpty()) {
        // The usual Open: nothing to merge with, so the lines are sorted where they are. The merge
        // below would give the same list, but with a second one beside it at the peak (0.4 times
        // the file more for a block list) and more slowly.
        permute(lines, order);
        m_lines = std::move(lines);
    } else {
        QList<QByteArray> merged;
        merged.reserve(m_lines.size() + lines.size());
        auto next = order.cbegin();
        for (QByteArray& entry : m_lines) {
            for (; next != order.cend() && compareFolded(lines[*next], entry) < 0; ++next)
                merged.append(std::move(lines[*next]));
            merged.append(std::move(entry));
        }
        for (; next != order.cend(); ++next)
            merged.append(std::move(lines[*next]));
        m_lines = std::move(merged);
    }
    endResetModel();
    return true;
}

void HostList::removeLines(const QList<int>& positions)
{
    if (positions.isEmpty())
        return;
    beginResetModel();
    QList<QByteArray> kept;
    kept.reserve(m_lines.size() - positions.size());
    auto next = positions.cbegin();
    for (int row = 0; row < m_lines.size(); ++row) {
        if (next != positions.cend() && *next == row)
            ++next;
        else
            kept.append(std::move(m_lines[row]));
    }
    m_lines = std::move(kept);
    endResetModel();
}

void HostList::shareWritten(const QByteArray& written)
{
    qsizetype at = 0;
    for (QByteArray& line : m_lines) {
        line = sharedPart(written, at, line.size());
        at += line.size() + 2;
    }
}

QString HostList::Item(int position) const
{
    return position >= 0 && position < Count() ? decodeLine(m_lines.at(position)) : QString();
}

void HostList::SetItem(int position, const QString& text)
{
    if (position < 0 || position >= Count())
        return;
    setLine(position, encodeLine(text));
}

void HostList::setLine(int position, QByteArray line)
{
    m_lines[position] = std::move(line);
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
    if (role != Qt::DisplayRole)
        return {};
    const QByteArray& line = m_lines.at(index.row());
    return decodeLine(QByteArrayView(line).first(std::min(line.size(), MaxShownBytes)));
}

QByteArray sharedPart(const QByteArray& buffer, qsizetype from, qsizetype size)
{
    QByteArray::DataPointer part = const_cast<QByteArray&>(buffer).data_ptr(); // a counted copy
    part.ptr += from;
    part.size = size;
    return QByteArray(std::move(part));
}

} // namespace zarvello
