// SPDX-License-Identifier: GPL-3.0-or-later
// Open, Save, Save As and Exit from the menu: what each asks, reads, writes and enables.
#include "file_bytes.h"
#include "hosts_file.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace zarvello;

class TestFileCommands : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
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

QTEST_MAIN(TestFileCommands)
#include "test_file_commands.moc"
