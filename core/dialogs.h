// SPDX-License-Identifier: GPL-3.0-or-later
// The one seam through which commands talk to the person: every modal question goes here.
#pragma once

#include "file_error.h"

#include <QString>

#include <optional>

namespace zarvello {

// What a file dialog is asked to show. A cancelled dialog raises nothing: it gives no path.
struct FileDialogSettings {
    QString title;
    QString fileName;    // the name preset in the dialog
    QString defaultExt;  // added to a typed name without an extension that names no file
    QString filter;      // description|pattern pairs separated by '|'
    int filterIndex = 0; // 1-based index of the filter shown first; 0 when never set
    QString initialDir;  // the folder the dialog starts in

    bool operator==(const FileDialogSettings&) const = default;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message with a single OK button; returns when the person has closed it.
    virtual void showMessage(const QString& prompt, const QString& title) = 0;
    // A line of text to edit, starting from defaultText; nothing when the person cancels.
    // Text accepted unchanged comes back identical to defaultText, even where the input field
    // could not show it as it is.
    virtual std::optional<QString> askText(const QString& prompt, const QString& title,
                                           const QString& defaultText) = 0;
    // The path of a file to open or to save to; nothing when the person cancels.
    virtual std::optional<QString> chooseOpenPath(const FileDialogSettings& settings) = 0;
    virtual std::optional<QString> chooseSavePath(const FileDialogSettings& settings) = 0;
};

// The title of every message box that reports a failure.
inline const QString errorTitle = QStringLiteral("Ошибка");
// The title of what a save tells besides failures.
inline const QString savingTitle = QStringLiteral("Сохранение");

inline void showFailure(Dialogs& dialogs, const FileError& failure)
{
    dialogs.showMessage(failure.message(), errorTitle);
}

} // namespace zarvello
