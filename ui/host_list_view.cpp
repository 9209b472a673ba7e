// SPDX-License-Identifier: GPL-3.0-or-later
// List1 and the way its rows are drawn.
#include "host_list_view.h"
#include "line_codec.h"

#include <QKeyEvent>

namespace zarvello {

HostListView::HostListView(QWidget* parent)
    : QListView(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row is one line of the same height, so many rows scroll without measuring each.
    setUniformItemSizes(true);
    setItemDelegate(new EntryDelegate(this));
    connect(this, &QListView::clicked, this,
            [this](const QModelIndex& index) { emit rowChosen(index.row()); });
}

int HostListView::selectedRow() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

void HostListView::keyPressEvent(QKeyEvent* event)
{
    const int before = selectedRow();
    QListView::keyPressEvent(event);
    const int after = selectedRow();
    if (after >= 0 && after != before)
        emit rowChosen(after);
}

void HostListView::focusInEvent(QFocusEvent* event)
{
    QListView::focusInEvent(event);
    // Qt makes the first row current on focus without selecting it, so the first Down would
    // skip it; with nothing selected, the first key press selects the first entry instead.
    if (!selectionModel()->hasSelection())
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
}

QString EntryDelegate::displayText(const QVariant& value, const QLocale& locale) const
{
    if (value.typeId() == QMetaType::QString)
        return visibleText(value.toString());
    return QStyledItemDelegate::displayText(value, locale);
}

QString EntryDelegate::visibleText(const QString& entry)
{
    QString shown = entry;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t u = shown.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < shown.size() && shown.at(i + 1).isLowSurrogate())
            ++i; // a character outside the basic plane, drawn as it is
        else if (u == u'\n' || u == 0x2028 || u == 0x2029)
            shown[i] = QChar(0x21B5); // ↵ for whatever would break the row
        else if (u == u'\t')
            shown[i] = QChar(0x2192); // →
        else if (u < 0x20 || u == 0x7F)
            shown[i] = QChar(0x00A4); // ¤ for other control characters, which have no glyph
        else if (isEscapedByte(u))
            shown[i] = QChar(0xFFFD); // a byte that is not UTF-8
    }
    return shown;
}

} // namespace zarvello
