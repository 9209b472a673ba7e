// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests share: files as bytes, scripted dialogs, a fixture. Core only: no widgets.
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

// A file's bytes as the program writes them: each line followed by CR LF.
inline QByteArray crlf(const QStringList& lines)
{
    return lines.isEmpty() ? QByteArray() : (lines.join("\r\n") + "\r\n").toUtf8();
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

// A state with no window around it.
struct Windowless : EditorState {
    Windowless(Dialogs&, Saver&) {}
    EditorState& state() { return *this; }
};

// What the commands act with and on: scripted dialogs, a saver, and the state of Home, which in the
// window's tests is the window. The tester checks each change the list reports to its view.
template <typename Home = Windowless> struct Fixture {
    ScriptedDialogs dialogs;
    Saver saver;
    Home home{dialogs, saver};
    EditorState& state = home.state();
    QAbstractItemModelTester model{&state.hostList()};

    bool add(const QString& input) { return AddEntry(state, dialogs, saver, input); }
    // The file at path, holding bytes, opened with autosave ticked: the next addition saves it.
    bool openWithAutosave(const QString& path, const QByteArray& bytes)
    {
        writeBytes(path, bytes);
        const bool loaded = !LoadHostsFile(state, path);
        state.setCurrentPath(path);
        state.setAutosaveValue(true);
        return loaded;
    }
};

} // namespace zarvello

using namespace zarvello;
