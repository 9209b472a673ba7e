// SPDX-License-Identifier: GPL-3.0-or-later
// The host list and its file: one case-folded order, the same on every machine, for single
// additions and loading alike; where a file's lines end; bytes carried through whatever they are;
// what is refused.
#include "hosts_file.h"
#include "line_codec.h"
#include "sort_keys.h"
#include "support.h"

#include <QTemporaryDir>

#include <sys/stat.h>

using namespace zarvello;

class TestHostList : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return name.startsWith('/') ? name : m_dir.filePath(name); }

private slots:
    void compares_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("case") << QByteArray("Host") << QByteArray("hOST") << 0;
        QTest::newRow("a prefix first") << QByteArray("ab") << QByteArray("aBc") << -1;
        QTest::newRow("code points, not the locale") << QByteArray("z") << QByteArray("\xc3\xa4") << -1;
        QTest::newRow("Cyrillic case") << QByteArray("\xd0\x81\xd0\xbb") << QByteArray("\xd1\x91\xd0\xbb") << 0;
        QTest::newRow("Kelvin sign folds to k") << QByteArray("\xe2\x84\xaa") << QByteArray("k") << 0;
        QTest::newRow("outside the basic plane") << QByteArray("\xf0\x90\x90\x80") << QByteArray("\xf0\x90\x90\xa8") << 0;
        QTest::newRow("by UTF-16 units") << QByteArray("\xf0\x90\x80\x80") << QByteArray("\xee\x80\x80") << -1;
        QTest::newRow("an undecodable byte") << QByteArray("\x80") << QByteArray("\xef\xbf\xbd") << -1;
        QTest::newRow("a cut sequence") << QByteArray("\xe2\x84") << QByteArray("\xe2\x84\xaa") << 1;
    }

    void compares()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(int, order);
        const auto sign = [](int value) { return (value > 0) - (value < 0); };
        QCOMPARE(sign(compareFolded(a, b)), order);
        QCOMPARE(sign(compareFolded(b, a)), -order);
        QCOMPARE(sign(QString::compare(decodeLine(a), decodeLine(b), Qt::CaseInsensitive)), order);
    }

    void loadingAddsAsOneByOne_data()
    {
        QTest::addColumn<QList<QByteArray>>("listed");
        QTest::addColumn<QList<QByteArray>>("loaded");
        QList<QByteArray> hosts, identical, undecodable;
        for (int i = 0; i < 40; ++i) {
            hosts << (i % 3 ? "0.0.0.0 Ads" : "0.0.0.0 ads") + QByteArray::number(i * 7 % 13) + ".example";
            identical << QByteArray(300, i % 2 ? 'x' : 'X') + QByteArray::number(i % 3);
            undecodable << QByteArray(i % 5 + 200, '\xff') + (i % 2 ? "\xc3\xa9" : "\xc3\x89") + QByteArray(i % 4, '\xfe');
        }
        QTest::newRow("into an empty list") << QList<QByteArray>() << hosts;
        QTest::newRow("merged with equal entries") << QList<QByteArray>{"b", "A", "0.0.0.0 ADS3.example"} << hosts;
        QTest::newRow("long identical beginnings") << identical.mid(0, 9) << identical;
        QTest::newRow("undecodable and accented") << undecodable.mid(30) << undecodable;
    }

    void loadingAddsAsOneByOne()
    {
        QFETCH(QList<QByteArray>, listed);
        QFETCH(QList<QByteArray>, loaded);
        HostList oneByOne, atOnce;
        for (const QByteArray& line : listed + loaded)
            QVERIFY(oneByOne.AddItem(decodeLine(line)));
        for (const QByteArray& line : listed)
            atOnce.AddItem(decodeLine(line));
        QVERIFY(atOnce.addLines(loaded));
        QCOMPARE(atOnce.lines(), oneByOne.lines());
        for (qsizetype i = 1; i < atOnce.Count(); ++i)
            QVERIFY(compareFolded(atOnce.lines()[i - 1], atOnce.lines()[i]) <= 0);
    }

    void editsStayInPlaceAndAFullListTakesNoMore()
    {
        HostList list;
        for (const char* entry : {"b", "A", "c"})
            list.AddItem(entry);
        list.SetItem(0, "z");
        QCOMPARE(entriesOf(list), QStringList({"z", "b", "c"}));
        QCOMPARE(list.Item(-1) + list.Item(3), QString());
        QVERIFY(list.addLines(QList<QByteArray>(HostList::MaxCount - 4, "x")));
        QVERIFY(!list.addLines({"y", "z"}));
        QVERIFY(list.AddItem("y") && !list.AddItem("z"));
        QCOMPARE(list.Count(), HostList::MaxCount);
    }

    void linesEndAtCrLfOrCr_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("lines");
        const QByteArray chunk(64 * 1024 - 1, 'x');
        QTest::newRow("CR LF and CR") << QByteArray("a\r\n\r\nb\rc") << QList<QByteArray>{"a", "", "b", "c"};
        QTest::newRow("a lone LF is a character") << QByteArray("a\nb\n") << QList<QByteArray>{"a\nb\n"};
        QTest::newRow("a final CR LF adds no line") << QByteArray("a\r\n") << QList<QByteArray>{"a"};
        QTest::newRow("CR LF across chunks") << chunk + "\r\nb" << QList<QByteArray>{chunk, "b"};
        QTest::newRow("CR at a chunk's end") << chunk + "\rb" << QList<QByteArray>{chunk, "b"};
        QTest::newRow("a line across chunks") << "a\r" + chunk + "yz" << QList<QByteArray>{"a", chunk + "yz"};
        QTest::newRow("any bytes") << QByteArray("\xef\xbb\xbf\xff\0\xc3\r\xed\xa0\x80", 10)
                                   << QList<QByteArray>{QByteArray("\xef\xbb\xbf\xff\0\xc3", 6), "\xed\xa0\x80"};
    }

    void linesEndAtCrLfOrCr()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, lines);
        writeBytes(path("read"), bytes);
        const ReadResult read = readHostsFile(path("read"), HostList::MaxCount);
        QVERIFY(!read.error);
        QCOMPARE(read.lines, lines);
        for (const QByteArray& line : lines)
            QCOMPARE(encodeLine(decodeLine(line)), line);
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
        writeBytes(path("many"), QByteArray("x\r").repeated(HostList::MaxCount));
        HostList list;
        list.AddItem("listed");
        const auto failure = LoadHostsFile(list, path(name));
        QVERIFY(failure);
        QCOMPARE(int(failure->reason), reason);
        QCOMPARE(failure->systemError, error);
        QCOMPARE(entriesOf(list), QStringList{"listed"});
        writeBytes(path("two"), "b\r\na\r\n"); // a second load lists every line again
        QVERIFY(!LoadHostsFile(list, path("two")) && !LoadHostsFile(list, path("two")));
        QCOMPARE(entriesOf(list), QStringList({"a", "a", "b", "b", "listed"}));
    }
};

QTEST_GUILESS_MAIN(TestHostList)
#include "test_host_list.moc"
