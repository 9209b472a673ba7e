// SPDX-License-Identifier: GPL-3.0-or-later
// AddEntry and EditEntry as the person meets them: what is added, asked, shown, kept and saved.
#include "editor_state.h"
#include "entry_commands.h"
#include "file_bytes.h"
#include "hosts_file.h"
#include "scripted_dialogs.h"

#include <QTemporaryDir>
#include <QTest>

using namespace zarvello;

class TestEntryCommands : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void addEntry_data()
    {
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<bool>("autosave");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("messages");
        const QString empty = "Не майтесь дурью: Введите хоть что-нибудь";
        QTest::newRow("a name") << QStringList{"foo"} << false << QStringList{"127.0.0.1 foo ##"} << QStringList();
        QTest::newRow("sorted, twice") << QStringList{"b", "a", "b"} << false
                                       << QStringList{"127.0.0.1 a ##", "127.0.0.1 b ##", "127.0.0.1 b ##"} << QStringList();
        QTest::newRow("empty") << QStringList{""} << false << QStringList() << QStringList{empty};
        QTest::newRow("a space") << QStringList{" "} << false << QStringList{"127.0.0.1   ##"} << QStringList();
        QTest::newRow("pasted line breaks") << QStringList{"a\r\nb\rc\nd"} << false << QStringList{"127.0.0.1 a b c d ##"}
                                            << QStringList();
        QTest::newRow("autosaved") << QStringList{"foo", "bar"} << true << QStringList{"127.0.0.1 bar ##", "127.0.0.1 foo ##"}
                                   << QStringList();
        QTest::newRow("empty, autosaved all the same") << QStringList{"foo", ""} << true << QStringList{"127.0.0.1 foo ##"}
                                                       << QStringList{empty};
    }

    void addEntry()
    {
        QFETCH(QStringList, inputs);
        QFETCH(bool, autosave);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, messages);
        EditorState state;
        ScriptedDialogs dialogs;
        const QString file = m_dir.filePath(QTest::currentDataTag());
        state.setCurrentPath(file);
        state.setAutosaveValue(autosave);
        for (const QString& input : inputs) {
            const qsizetype shown = dialogs.messages.size();
            QVERIFY(AddEntry(state, dialogs, input));
            if (autosave) // each press saves, after its message
                QCOMPARE(readBytes(file), joinLines(state.hostList().lines()));
            QCOMPARE(dialogs.messages.size(), shown + input.isEmpty());
        }
        QCOMPARE(entriesOf(state.hostList()), entries);
        QCOMPARE(dialogs.messages, messages);
        QCOMPARE(QFileInfo::exists(file), autosave);
    }

    void whatCannotBeAddedStaysTyped()
    {
        EditorState state;
        ScriptedDialogs dialogs;
        QVERIFY(state.hostList().addLines(QList<QByteArray>(HostList::MaxCount, "x")));
        QVERIFY(!AddEntry(state, dialogs, "foo"));
        QCOMPARE(dialogs.messages, QStringList{"Ошибка: Список полон: в нём уже 32767 записей, больше добавить нельзя. "
                                               "Запись «foo» не добавлена."});
        // A failed autosave is reported; the entry stays listed.
        state.hostList().SetItem(0, "y");
        EditorState other;
        other.setAutosaveValue(true);
        other.setCurrentPath(m_dir.filePath("missing/hosts"));
        QVERIFY(AddEntry(other, dialogs, "foo"));
        QCOMPARE(dialogs.messages.size(), 2);
        QVERIFY(dialogs.messages.last().startsWith(errorTitle + ": "));
        QCOMPARE(other.hostList().Count(), 1);
    }

    void editEntry_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("retyped, not sorted again") << 0 << std::optional<QString>("z") << QStringList{"z", "b", "c"};
        QTest::newRow("emptied") << 1 << std::optional<QString>("") << QStringList{"a", "", "c"};
        QTest::newRow("cancelled") << 2 << std::optional<QString>() << QStringList{"a", "b", "c"};
    }

    void editEntry()
    {
        QFETCH(int, position);
        QFETCH(std::optional<QString>, answer);
        QFETCH(QStringList, entries);
        EditorState state;
        ScriptedDialogs dialogs;
        state.hostList().addLines({"c", "a", "b"});
        dialogs.answers << answer;
        EditEntry(state, dialogs, position);
        QCOMPARE(dialogs.questions, QStringList{"Редактирование записи: Измените адресс [" + QString(QChar('a' + position)) + "]"});
        QCOMPARE(entriesOf(state.hostList()), entries);
        EditEntry(state, dialogs, 3); // no entry there: nothing is asked
        QCOMPARE(dialogs.questions.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestEntryCommands)
#include "test_entry_commands.moc"
