// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests share: files as bytes, scripted dialogs, the window, answers to modal dialogs.
#pragma once

#include "entry_commands.h"
#include "hosts_file.h"
#include "main_window.h"
#include "translations.h"

#include <QtTest>
#include <QtWidgets>

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

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(bytes) == bytes.size());
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

struct WindowFixture {
    ScriptedDialogs dialogs;
    Saver saver;
    MainWindow window{dialogs, saver};
    EditorState& state = window.state();

    template <typename T> T* get(const char* name) { return window.findChild<T*>(name); }
    // Clicks a menu item, as a person can: only one that is there and enabled.
    bool trigger(const char* name)
    {
        return get<QAction>(name) && get<QAction>(name)->isEnabled()
            && (get<QAction>(name)->trigger(), true);
    }
};

// Hands the modal dialog of type Dialog to answer as soon as it shows; one that never shows, or
// stays open after the answer, is closed, so that a test fails instead of hanging.
template <typename Dialog> void whenModal(std::function<void(Dialog*)> answer)
{
    QTimer::singleShot(0, [answer] {
        Dialog* dialog = nullptr;
        if (QTest::qWaitFor(
                [&] { return (dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())); },
                5000))
            answer(dialog);
        QTimer::singleShot(3000, [] {
            while (QWidget* stuck = QApplication::activeModalWidget())
                stuck->close();
        });
    });
}

} // namespace zarvello

using namespace zarvello;
