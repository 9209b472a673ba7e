// A dialogs seam for tests: records every question and answers from a queue.
#pragma once

#include "dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QTest>

#include <functional>
#include <optional>

namespace zarvello {

class ScriptedDialogs : public Dialogs {
public:
    struct Message {
        QString prompt;
        QString title;
    };
    struct Question {
        QString prompt;
        QString title;
        QString defaultText;
    };

    QList<Message> messages;
    QList<Question> questions;
    QList<FileDialogSettings> openDialogs;
    QList<FileDialogSettings> saveDialogs;

    // Answers, taken in order; nothing means the person cancelled.
    QQueue<std::optional<QString>> textAnswers;
    QQueue<std::optional<QString>> pathAnswers;
    // Runs while a message is shown, as if the person looked around before pressing OK.
    std::function<void()> whileMessageShown;

    void showMessage(const QString& prompt, const QString& title) override
    {
        messages.append({prompt, title});
        if (whileMessageShown)
            whileMessageShown();
    }
    std::optional<QString> askText(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        questions.append({prompt, title, defaultText});
        return take(textAnswers, "text");
    }
    std::optional<QString> chooseOpenPath(const FileDialogSettings& settings) override
    {
        openDialogs.append(settings);
        return take(pathAnswers, "open path");
    }
    std::optional<QString> chooseSavePath(const FileDialogSettings& settings) override
    {
        saveDialogs.append(settings);
        return take(pathAnswers, "save path");
    }

private:
    static std::optional<QString> take(QQueue<std::optional<QString>>& answers, const char* what)
    {
        if (answers.isEmpty()) {
            QTest::qFail(qPrintable(QStringLiteral("asked for a %1 with no answer scripted").arg(what)), __FILE__,
                         __LINE__);
            return std::nullopt;
        }
        return answers.dequeue();
    }
};

} // namespace zarvello
