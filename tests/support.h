// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests share: files as bytes and scripted dialogs. Core only: no widgets.
#pragma once

#include "dialogs.h"
#include "editor_state.h"
#include "entry_commands.h"
#include "hosts_file.h"
#include "saver.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvello {

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return !path.isEmpty() && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                             : QByteArray("<missing>");
}

// Fails the test at once when the file cannot be written, instead of testing what was there.
inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

inline QStringList entriesOf(const HostList& list)
{
    QStringList entries;
    for (int i = 0; i < list.Count(); ++i)
        entries << list.Item(i);
    return entries;
}

// Records every question as "title: prompt [default]" and answers from a queue, where nothing
// stands for a cancel; a question with no answer left is cancelled and fails the test.
class ScriptedDialogs : public Dialogs {
public:
    QStringList messages, questions;
    QList<std::pair<QString, FileDialogSettings>> fileDialogs; // "open" or "save", and the settings
    QQueue<std::optional<QString>> answers;

    void showMessage(const QString& prompt, const QString& title) override
    {
        messages << title + ": " + prompt;
    }
    std::optional<QString> askText(const QString& prompt, const QString& title,
                                   const QString& defaultText) override
    {
        questions << QStringLiteral("%1: %2 [%3]").arg(title, prompt, defaultText);
        return take();
    }
    std::optional<QString> chooseOpenPath(const FileDialogSettings& settings) override
    {
        fileDialogs.append({"open", settings});
        return take();
    }
    std::optional<QString> chooseSavePath(const FileDialogSettings& settings) override
    {
        fileDialogs.append({"save", settings});
        return take();
    }

private:
    std::optional<QString> take()
    {
        if (answers.isEmpty())
            QTest::qFail("a question with no answer scripted", __FILE__, __LINE__);
        return answers.isEmpty() ? std::nullopt : answers.dequeue();
    }
};

} // namespace zarvello

using namespace zarvello;
