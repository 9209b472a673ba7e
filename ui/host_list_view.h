// SPDX-License-Identifier: GPL-3.0-or-later
// List1: the list view over the host list, which reports the person's clicks and moves.
#pragma once

#include <QListView>
#include <QStyledItemDelegate>

namespace zarvello {

class HostListView : public QListView {
    Q_OBJECT
public:
    explicit HostListView(QWidget* parent = nullptr);

signals:
    // The person clicked a row (also the selected one) or moved the selection with a key.
    // Changes the program makes itself raise nothing.
    void rowChosen(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    int selectedRow() const;
};

// Draws each entry on one row: characters that would break or hide a row are shown as visible
// symbols, while the entry itself stays as it is.
class EntryDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override;
    static QString visibleText(const QString& entry);
};

} // namespace zarvello
