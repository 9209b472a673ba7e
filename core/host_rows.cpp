// SPDX-License-Identifier: GPL-3.0-or-later
// Rows over the host list, one a line.
#include "host_rows.h"
#include "line_codec.h"

#include <algorithm>

namespace zarvello {

HostRows::HostRows(HostList& list, QObject* parent)
    : QAbstractListModel(parent)
    , m_list(list)
{
    rebuild();
    // The host list inserts one entry at a time, replaces one in place, and resets for the rest.
    connect(&list, &HostList::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { entriesInserted(first, last); });
    connect(&list, &HostList::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                for (int position = from.row(); position <= to.row(); ++position)
                    entryChanged(position);
            });
    connect(&list, &HostList::modelAboutToBeReset, this, &HostRows::beginResetModel);
    connect(&list, &HostList::modelReset, this, [this] {
        rebuild();
        endResetModel();
    });
}

std::vector<quint32> HostRows::lineStarts(int position) const
{
    const QByteArray& entry = m_list.lines().at(position);
    std::vector<quint32> starts;
    for (qsizetype at = entry.indexOf('\n'); at >= 0; at = entry.indexOf('\n', at + 1))
        starts.push_back(quint32(at + 1));
    return starts;
}

void HostRows::countRows(int from)
{
    m_firstRow.resize(m_starts.size() + 1);
    for (size_t position = size_t(from); position < m_starts.size(); ++position)
        m_firstRow[position + 1] = m_firstRow[position] + int(m_starts[position].size()) + 1;
}

void HostRows::rebuild()
{
    m_starts.clear();
    m_starts.reserve(size_t(m_list.Count()));
    for (int position = 0; position < m_list.Count(); ++position)
        m_starts.push_back(lineStarts(position));
    m_firstRow.assign(1, 0);
    countRows(0);
}

void HostRows::entriesInserted(int first, int last)
{
    std::vector<std::vector<quint32>> added;
    int rows = 0;
    for (int position = first; position <= last; ++position) {
        added.push_back(lineStarts(position));
        rows += int(added.back().size()) + 1;
    }
    // The list holds the new entries already; until the rows have them too, the rows' entries
    // from first on are found that much further on.
    const int row = firstRow(first);
    m_inserting = {first, last - first + 1};
    beginInsertRows({}, row, row + rows - 1);
    m_inserting = {};
    m_starts.insert(m_starts.begin() + first, std::make_move_iterator(added.begin()),
                    std::make_move_iterator(added.end()));
    countRows(first);
    endInsertRows();
}

void HostRows::entryChanged(int position)
{
    std::vector<quint32> starts = lineStarts(position);
    if (starts.size() == m_starts[size_t(position)].size()) {
        m_starts[size_t(position)] = std::move(starts);
        const int row = firstRow(position);
        emit dataChanged(index(row), index(firstRow(position + 1) - 1));
        return;
    }
    // A line feed more or fewer, which no command makes: the list's bytes are new already, so
    // the rows start anew too.
    beginResetModel();
    m_starts[size_t(position)] = std::move(starts);
    countRows(position);
    endResetModel();
}

HostRows::Place HostRows::place(int row) const
{
    if (row < 0 || row >= m_firstRow.back())
        return {};
    const auto after = std::upper_bound(m_firstRow.cbegin(), m_firstRow.cend(), row);
    const int entry = int(after - m_firstRow.cbegin()) - 1;
    return {entry, row - m_firstRow[size_t(entry)]};
}

int HostRows::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_firstRow.back();
}

QVariant HostRows::data(const QModelIndex& index, int role) const
{
    const Place at = place(index.row());
    if (!index.isValid() || at.entry < 0 || role != Qt::DisplayRole)
        return {};
    const bool moved = m_inserting.first >= 0 && at.entry >= m_inserting.first;
    const QByteArray& entry = m_list.lines().at(at.entry + (moved ? m_inserting.second : 0));
    const std::vector<quint32>& starts = m_starts[size_t(at.entry)];
    const qsizetype from = at.line > 0 ? starts[size_t(at.line - 1)] : 0;
    const qsizetype to =
        size_t(at.line) < starts.size() ? starts[size_t(at.line)] - 1 : entry.size();
    return decodeLine(
        QByteArrayView(entry).sliced(from, std::min(to - from, HostList::MaxShownBytes)));
}

} // namespace zarvello
