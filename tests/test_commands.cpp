// SPDX-License-Identifier: GPL-3.0-or-later
// The commands as the person meets them: AddEntry and EditEntry, and Open, Save, Save As and Exit
// from the menu: what each adds, asks, shows, reads, writes and enables.
#include "entry_commands.h"
#include "hosts_file.h"
#include "support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace zarvello;

class TestCommands : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void addEntry_data()
    {
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<bool>("autosave");
        QTest::addColumn<QStringList>("entries");
        const QStringList none;
        QTest::newRow("a name") << QStringList{"foo"} << false << QStringList{"127.0.0.1 foo ##"};
        QTest::newRow("sorted, twice") << QStringList{"b", "a", "b"} << false
                                       << QStringList{"127.0.0.1 a ##", "127.0.0.1 b ##", "127.0.0.1 b ##"};
        QTest::newRow("empty") << QStringList{""} << false << none;
        QTest::newRow("a space") << QStringList{" "} << false << QStringList{"127.0.0.1   ##"};
        QTest::newRow("pasted line breaks") << QStringList{"a\r\nb\rc\nd"} << false << QStringList{"127.0.0.1 a b c d ##"};
        QTest::newRow("autosaved") << QStringList{"foo", "bar"} << true << QStringList{"127.0.0.1 bar ##", "127.0.0.1 foo ##"};
        QTest::newRow("empty, autosaved all the same") << QStringList{"foo", ""} << true << QStringList{"127.0.0.1 foo ##"};
    }

    void addEntry()
    {
        QFETCH(QStringList, inputs);
        QFETCH(bool, autosave);
        QFETCH(QStringList, entries);
        EditorState state;
        ScriptedDialogs dialogs;
        const QString file = m_dir.filePath(QTest::currentDataTag());
        state.setCurrentPath(file);
        state.setAutosaveValue(autosave);
        for (const QString& input : inputs) {
            const QStringList before = dialogs.messages;
            QVERIFY(AddEntry(state, dialogs, input));
            QCOMPARE(dialogs.messages, before + (input.isEmpty() ? QStringList{"Не майтесь дурью: Введите хоть что-нибудь"} : QStringList()));
            QCOMPARE(readBytes(file), autosave ? joinLines(state.hostList().lines()) : QByteArray("<missing>"));
        }
        QCOMPARE(entriesOf(state.hostList()), entries);
    }

    void whatCannotBeDoneIsSaid()
    {
        EditorState full, unsaved;
        ScriptedDialogs dialogs;
        QVERIFY(full.hostList().addLines(QList<QByteArray>(HostList::MaxCount, "x")));
        QVERIFY(!AddEntry(full, dialogs, "foo")); // the field keeps the name
        QCOMPARE(dialogs.messages, QStringList{"Ошибка: Список полон: в нём уже 32767 записей, больше добавить нельзя. "
                                               "Запись «foo» не добавлена."});
        unsaved.setAutosaveValue(true);
        unsaved.setCurrentPath(m_dir.filePath("missing/hosts"));
        QVERIFY(AddEntry(unsaved, dialogs, "foo"));
        QCOMPARE(dialogs.messages.size(), 2);
        QVERIFY(dialogs.messages.last().startsWith(errorTitle + ": "));
        QCOMPARE(unsaved.hostList().Count(), 1);
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
        EditEntry(state, dialogs, 3); // no entry there: nothing is asked
        QCOMPARE(dialogs.questions, QStringList{"Редактирование записи: Измените адресс [" + QString(QChar('a' + position)) + "]"});
        QCOMPARE(entriesOf(state.hostList()), entries);
    }

    void open_data()
    {
        QTest::addColumn<QList<std::optional<QString>>>("answers");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("chosen"); // a path taken, Save and autosave enabled
        QTest::addColumn<int>("messages");
        using Answers = QList<std::optional<QString>>;
        const QString three = path("three");
        QTest::newRow("three lines") << Answers{three} << QStringList{"A.example", "b.example", "c.example"} << true << 0;
        QTest::newRow("twice") << Answers{three, three}
                               << QStringList{"A.example", "A.example", "b.example", "b.example", "c.example", "c.example"}
                               << true << 0;
        QTest::newRow("cancelled") << Answers{std::nullopt} << QStringList() << false << 0;
        QTest::newRow("no path") << Answers{QString()} << QStringList() << false << 0;
        QTest::newRow("missing") << Answers{path("missing")} << QStringList() << false << 1;
    }

    void open()
    {
        QFETCH(QList<std::optional<QString>>, answers);
        QFETCH(QStringList, entries);
        QFETCH(bool, chosen);
        QFETCH(int, messages);
        writeBytes(path("three"), "b.example\r\nA.example\rc.example");
        WindowFixture w;
        for (const std::optional<QString>& answer : answers) {
            w.dialogs.answers << answer;
            QVERIFY(w.trigger("open"));
        }
        QCOMPARE(entriesOf(w.state.hostList()), entries);
        QCOMPARE(w.state.currentPath(), chosen ? path("three") : QString());
        QCOMPARE(w.get<QAction>("save")->isEnabled(), chosen);
        QCOMPARE(w.get<QCheckBox>("Check1")->isEnabled(), chosen);
        QCOMPARE(w.dialogs.messages.size(), messages);
    }

    void dialogSettingsStaySet()
    {
        WindowFixture w;
        writeBytes(path("hosts"), "x\r\n");
        w.dialogs.answers << std::nullopt << path("hosts") << std::nullopt;
        QVERIFY(w.trigger("save_as") && w.trigger("open") && w.trigger("save_as"));
        QCOMPARE(w.dialogs.fileDialogKinds, QStringList({"save", "open", "save"}));
        const QList<FileDialogSettings> expected{
            {"Сохраняемся", "hosts", "", "", 0, "/etc"},
            {"Открыть", "hosts", "hosts", "hosts|hosts", 1, "/etc"},
            // The Open's filter and extension stay; the dialog starts beside the open file.
            {"Сохраняемся", "hosts", "hosts", "hosts|hosts", 1, m_dir.path()},
        };
        QCOMPARE(w.dialogs.fileDialogs, expected);
    }

    void saveAsWritesAndAutosavesFollow()
    {
        WindowFixture w;
        QVERIFY(!w.trigger("save"));
        w.state.hostList().addLines({"b", "a"});
        w.dialogs.answers << path("saved");
        QVERIFY(w.trigger("save_as"));
        QCOMPARE(readBytes(path("saved")), QByteArray("a\r\nb\r\n"));
        QTest::mouseClick(w.get<QCheckBox>("Check1"), Qt::LeftButton);
        w.get<QLineEdit>("Text1")->setText("c");
        QTest::mouseClick(w.get<QPushButton>("Command1"), Qt::LeftButton);
        QCOMPARE(readBytes(path("saved")), QByteArray("127.0.0.1 c ##\r\na\r\nb\r\n"));
    }

    void saveWritesTheOpenedFileSorted()
    {
        writeBytes(path("opened"), "b\rA\r\n");
        WindowFixture w;
        w.dialogs.answers << path("opened");
        QVERIFY(w.trigger("open"));
        QCOMPARE(readBytes(path("opened")), QByteArray("b\rA\r\n"));
        QVERIFY(w.trigger("save"));
        QCOMPARE(readBytes(path("opened")), QByteArray("A\r\nb\r\n"));
        writeBytes(path("opened"), "");
        QVERIFY(QFile::remove(path("opened")) && QDir().mkdir(path("opened")));
        QVERIFY(w.trigger("save")); // a failed save says so
        QCOMPARE(w.dialogs.messages.size(), 1);
    }

    void exitEndsWithoutAsking()
    {
        WindowFixture w;
        w.state.hostList().AddItem("unsaved");
        QTimer::singleShot(0, [&] { QVERIFY(w.trigger("ends")); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(w.dialogs.messages.size() + w.dialogs.questions.size(), 0);
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
