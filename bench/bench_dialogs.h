// SPDX-License-Identifier: GPL-3.0-or-later
// The measuring tools' answers to the person's questions: messages printed, every question
// answered with nothing but the Open dialog's, which gives a fixed path.
#pragma once

#include "dialogs.h"

#include <cstdio>

namespace zarvello {

class FixedDialogs : public Dialogs {
public:
    QString path;
    void showMessage(const QString& prompt, const QString&) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(prompt));
    }
    std::optional<QString> askText(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<QString> chooseOpenPath(const FileDialogSettings&) override { return path; }
    std::optional<QString> chooseSavePath(const FileDialogSettings&) override
    {
        return std::nullopt;
    }
};

} // namespace zarvello
