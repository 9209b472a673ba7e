// SPDX-License-Identifier: GPL-3.0-or-later
// The real side of the dialogs seam: Qt's message box, input box and file dialog.
#pragma once

#include "dialogs.h"

#include <QStringList>

class QWidget;

namespace zarvello {

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr)
        : m_parent(parent)
    {
    }
    void setParent(QWidget* parent) { m_parent = parent; }

    void showMessage(const QString& prompt, const QString& title) override;
    std::optional<QString> askText(const QString& prompt, const QString& title,
                                   const QString& defaultText) override;
    std::optional<QString> chooseOpenPath(const FileDialogSettings& settings) override;
    std::optional<QString> chooseSavePath(const FileDialogSettings& settings) override;

    // "desc|pattern|desc|pattern" as Qt's name filters, "desc (pattern)".
    static QStringList nameFilters(const QString& filter);

private:
    QWidget* m_parent;
};

} // namespace zarvello
