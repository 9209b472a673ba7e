// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a hosts file: where lines end, bytes carried through whatever they are, what is refused.
#include "file_bytes.h"
#include "hosts_file.h"
#include "line_codec.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace zarvello;

class TestReading : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void linesEndAtCrLfOrCr_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("lines");
        const QByteArray chunk(64 * 1024 - 1, 'x');
        QTest::newRow("CR LF and CR") << QByteArray("a\r\n\r\nb\rc") << QList<QByteArray>{"a", "", "b", "c"};
        QTest::newRow("a lone LF is a character") << QByteArray("a\nb\n") << QList<QByteArray>{"a\nb\n"};
        QTest::newRow("a final CR LF adds no line") << QByteArray("a\r\n") << QList<QByteArray>{"a"};
        QTest::newRow("empty") << QByteArray() << QList<QByteArray>();
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
        QTest::addColumn<QByteArray>("lines"); // written as the file's lines, when not empty
        QTest::addColumn<int>("reason");
        QTest::addColumn<int>("error");
        QTest::newRow("missing") << "missing" << QByteArray() << int(FileError::Reason::System) << ENOENT;
        QTest::newRow("a folder") << "." << QByteArray() << int(FileError::Reason::System) << EISDIR;
        QTest::newRow("a FIFO") << "fifo" << QByteArray() << int(FileError::Reason::NotRegularFile) << 0;
        QTest::newRow("a device") << "/dev/zero" << QByteArray() << int(FileError::Reason::NotRegularFile) << 0;
        QTest::newRow("too large") << "large" << QByteArray() << int(FileError::Reason::TooLarge) << 0;
        QTest::newRow("too many lines") << "many" << QByteArray("x\r").repeated(HostList::MaxCount + 1)
                                        << int(FileError::Reason::TooManyEntries) << 0;
    }

    void refusals()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, lines);
        QFETCH(int, reason);
        QFETCH(int, error);
        ::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600);
        QFile large(path("large"));
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(MaxHostsFileSize + 1));
        if (!lines.isEmpty())
            writeBytes(path(name), lines);
        HostList list;
        list.AddItem("listed");
        const auto failure = LoadHostsFile(list, name.startsWith('/') ? name : path(name));
        QVERIFY(failure);
        QCOMPARE(int(failure->reason), reason);
        QCOMPARE(failure->systemError, error);
        QCOMPARE(entriesOf(list), QStringList{"listed"});
    }

    void loadAppends()
    {
        writeBytes(path("hosts"), "b\r\na\r\n");
        HostList list;
        QVERIFY(!LoadHostsFile(list, path("hosts")));
        QVERIFY(!LoadHostsFile(list, path("hosts")));
        QCOMPARE(entriesOf(list), QStringList({"a", "a", "b", "b"}));
    }
};

QTEST_GUILESS_MAIN(TestReading)
#include "test_reading.moc"
