// The document: the hosts file's lines in sorted order, as a model a list view shows directly.
#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace zarvello {

class HostList : public QAbstractListModel {
    Q_OBJECT
public:
    // Positions are 16-bit signed, so this is the most the list can hold.
    static constexpr int MaxCount = 32767;

    using QAbstractListModel::QAbstractListModel;

    // Ascending, ignoring letter case by Unicode case folding, the same on every machine.
    static bool lessThan(const QString& a, const QString& b);

    // Inserts the text after the entries equal to it. Returns false, changing nothing, when the
    // list is full.
    bool AddItem(const QString& text);
    // Adds every line exactly where one AddItem after another would put it, in one model update.
    // Returns false, adding none of them, when they would not all fit.
    bool addLines(QStringList lines);
    QString Item(int position) const;
    // Replaces the text in place; the list is not sorted again.
    void SetItem(int position, const QString& text);
    int Count() const { return int(m_entries.size()); }
    int room() const { return MaxCount - Count(); }
    const QStringList& entries() const { return m_entries; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QStringList m_entries;
};

} // namespace zarvello
