// SPDX-License-Identifier: GPL-3.0-or-later
// A dialogs seam for tests: records every question and answers from a queue.
#pragma once

#include "dialogs.h"

#include <QQueue>
#include <QStringList>
#include <QTest>

namespace zarvello {

class ScriptedDialogs : public Dialogs {
public:
    QStringList messages;  // "title: prompt"
    QStringList questions; // "title: prompt [default]"
    QList<FileDialogSettings> fileDialogs;
    QStringList fileDialogKinds; // "open" or "save", as they were shown
    // Answers, taken in order; nothing means the person cancelled.
    QQueue<std::optional<QString>> answers;

    void showMessage(const QString& prompt, const QString& title) override { messages << title + ": " + prompt; }
    std::optional<QString> askText(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        questions << QStringLiteral("%1: %2 [%3]").arg(title, prompt, defaultText);
        return take();
    }
    std::optional<QString> chooseOpenPath(const FileDialogSettings& settings) override { return file("open", settings); }
    std::optional<QString> chooseSavePath(const FileDialogSettings& settings) override { return file("save", settings); }

private:
    std::optional<QString> file(const char* kind, const FileDialogSettings& settings)
    {
        fileDialogKinds << kind;
        fileDialogs << settings;
        return take();
    }
    std::optional<QString> take()
    {
        if (!answers.isEmpty())
            return answers.dequeue();
        QTest::qFail("a question with no answer scripted", __FILE__, __LINE__);
        return std::nullopt;
    }
};

} // namespace zarvello
