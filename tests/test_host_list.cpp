// SPDX-License-Identifier: GPL-3.0-or-later
// The host list: edits in place, a full list, and the files a load refuses (the format is fuzzed).
#include "support.h"

class TestHostList : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return name.startsWith('/') ? name : m_dir.filePath(name); }

private slots:
    void editsStayInPlaceAndAFullListTakesNoMore()
    {
        HostList list;
        QSignalSpy added(&list, &HostList::rowsInserted), reset(&list, &HostList::modelReset), changed(&list, &HostList::dataChanged);
        for (const char* entry : {"b", "A", "c"})
            list.AddItem(entry);
        list.SetItem(0, "z");
        list.SetItem(3, "past the end");
        QCOMPARE(entriesOf(list), QStringList({"z", "b", "c"}));
        QCOMPARE(list.Item(-1) + list.Item(3), QString());
        QVERIFY(list.addLines(QList<QByteArray>(HostList::MaxCount - 4, "x")));
        QVERIFY(!list.addLines({"y", "z"}));
        QVERIFY(list.AddItem("y") && !list.AddItem("z"));
        QCOMPARE(list.Count(), HostList::MaxCount);
        QCOMPARE(QList<qsizetype>({added.size(), reset.size(), changed.size()}), QList<qsizetype>({4, 1, 1})); // the view hears of each change
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("reason");
        QTest::addColumn<int>("error");
        QTest::newRow("missing") << "missing" << int(FileError::Reason::System) << ENOENT;
        QTest::newRow("a folder") << "." << int(FileError::Reason::System) << EISDIR;
        QTest::newRow("a FIFO") << "fifo" << int(FileError::Reason::NotRegularFile) << 0;
        QTest::newRow("a device") << "/dev/zero" << int(FileError::Reason::NotRegularFile) << 0;
        QTest::newRow("a read that fails") << "/proc/self/mem" << int(FileError::Reason::System) << EIO;
        QTest::newRow("too large") << "large" << int(FileError::Reason::TooLarge) << 0;
        QTest::newRow("too many lines") << "many" << int(FileError::Reason::TooManyEntries) << 0;
    }

    void refusals()
    {
        QFETCH(QString, name);
        QFETCH(int, reason);
        QFETCH(int, error);
        ::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600);
        QFile large(path("large"));
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(MaxHostsFileSize + 1));
        // One more line than the list has room for, the last one alone in the last chunk read.
        writeBytes(path("many"), "xxxxxxxxxxx\r" + QByteArray("xxx\r").repeated(HostList::MaxCount - 2) + "z");
        HostList list;
        list.AddItem("listed");
        const auto failure = LoadHostsFile(list, path(name));
        QVERIFY(failure);
        QCOMPARE(int(failure->reason), reason);
        QCOMPARE(failure->systemError, error);
        QCOMPARE(failure->maxEntries + failure->maxMebibytes, name == "many" ? HostList::MaxCount : name == "large" ? 128 : 0);
        QCOMPARE(entriesOf(list), QStringList{"listed"});
    }
};

QTEST_GUILESS_MAIN(TestHostList)
#include "test_host_list.moc"
