// SPDX-License-Identifier: GPL-3.0-or-later
// The document: the hosts file's lines in sorted order, as a model a list view shows directly.
#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>
#include <QString>

namespace zarvello {

// Entries are kept as the bytes a save writes, each line as it was in the file: half the memory
// of text for the usual ASCII file, nothing to convert on load or save, and what the list shows
// is by construction what Save writes. Lines loaded from a file share that file's one buffer (Qt's
// implicit sharing), so they take no allocation each; a line added or edited has its own.
class HostList : public QAbstractListModel {
    Q_OBJECT
public:
    // The most the list holds: the count a 16-bit signed position reaches, which the list has
    // always kept to. Positions are ints, -1 for none.
    static constexpr int MaxCount = 32767;
    // A row shows no more than fits on a screen many times over; a line of megabytes would
    // otherwise be decoded whole for every paint.
    static constexpr qsizetype MaxShownBytes = 4096;

    using QAbstractListModel::QAbstractListModel;

    // Inserts the text after the entries equal to it, in the order of compareFolded(). Returns
    // false, changing nothing, when the list is full.
    bool AddItem(const QString& text);
    // Adds lines of a file exactly where one AddItem after another would put them, in one model
    // update. Returns false, adding none of them, when they would not all fit.
    bool addLines(QList<QByteArray> lines);
    QString Item(int position) const;
    // Removes the entries at positions, given in ascending order, in one model update.
    void removeLines(const QList<int>& positions);
    // Replaces the text in place; the list is not sorted again.
    void SetItem(int position, const QString& text);
    // The same with the line's bytes, at a position that holds an entry.
    void setLine(int position, QByteArray line);
    int Count() const { return int(m_lines.size()); }
    int room() const { return MaxCount - Count(); }

    // Every entry as the bytes of its line, in list order.
    const QList<QByteArray>& lines() const { return m_lines; }
    // Makes the entries parts of written, which must be joinLines(lines()). Nothing shown changes.
    void shareWritten(const QByteArray& written);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QList<QByteArray> m_lines;
};

// A part of buffer that shares it (Qt's implicit sharing) rather than a copy: no allocation, and
// the buffer lives while any part of it does.
QByteArray sharedPart(const QByteArray& buffer, qsizetype from, qsizetype size);

} // namespace zarvello
