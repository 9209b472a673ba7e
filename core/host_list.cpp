// The sorted host list.
#include "host_list.h"

#include <algorithm>

namespace zarvello {

bool HostList::lessThan(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

bool HostList::AddItem(const QString& text)
{
    if (room() < 1)
        return false;
    const auto place = std::upper_bound(m_entries.cbegin(), m_entries.cend(), text, lessThan);
    const int row = int(place - m_entries.cbegin());
    beginInsertRows({}, row, row);
    m_entries.insert(row, text);
    endInsertRows();
    return true;
}

bool HostList::addLines(QStringList lines)
{
    if (lines.size() > room())
        return false;
    if (lines.isEmpty())
        return true;
    // A stable sort keeps equal new lines in file order, and merge puts the listed entries before
    // equal new ones: exactly what adding them one by one would do, in O(n log n).
    std::stable_sort(lines.begin(), lines.end(), lessThan);
    beginResetModel();
    QStringList merged;
    merged.reserve(m_entries.size() + lines.size());
    std::merge(std::make_move_iterator(m_entries.begin()), std::make_move_iterator(m_entries.end()),
               std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()),
               std::back_inserter(merged), lessThan);
    m_entries = std::move(merged);
    endResetModel();
    return true;
}

QString HostList::Item(int position) const
{
    return m_entries.value(position);
}

void HostList::SetItem(int position, const QString& text)
{
    if (position < 0 || position >= Count())
        return;
    m_entries[position] = text;
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
        return m_entries.at(index.row());
    return {};
}

} // namespace zarvello
