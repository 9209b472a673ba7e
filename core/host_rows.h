// SPDX-License-Identifier: GPL-3.0-or-later
// The rows the list shows: each entry on a row of its own, an entry holding line feeds on as many
// rows as it has lines.
#pragma once

#include "host_list.h"

#include <vector>

namespace zarvello {

// A file whose lines end in LF alone (the system's own hosts file) is one entry to a save, but the
// person reads and retypes it line by line. The entries stay as they are: this only maps rows to
// them, and follows every change the host list reports.
class HostRows : public QAbstractListModel {
    Q_OBJECT
public:
    explicit HostRows(HostList& list, QObject* parent = nullptr);

    // A row's entry, and which of that entry's lines it shows.
    struct Place {
        int entry = -1, line = 0;
        bool operator==(const Place&) const = default;
    };
    Place place(int row) const;
    // The first row of the entry at position.
    int firstRow(int position) const { return m_firstRow.at(size_t(position)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    // Where each line but the first starts in the entry at position, for an entry holding LF.
    std::vector<quint32> lineStarts(int position) const;
    void entriesInserted(int first, int last);
    void entryChanged(int position);
    void rebuild();
    void countRows(int from);

    HostList& m_list;
    std::vector<std::vector<quint32>> m_starts; // an entry's lineStarts(), empty for one line
    std::vector<int> m_firstRow;                // for each entry, and the row count at the end
    std::pair<int, int> m_inserting{-1, 0};     // entries the list has and the rows not yet
};

} // namespace zarvello
