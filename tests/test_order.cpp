// SPDX-License-Identifier: GPL-3.0-or-later
// The list's one order: case folded, the same on every machine, and loading a file gives exactly
// what adding its lines one by one gives.
#include "file_bytes.h"
#include "line_codec.h"
#include "sort_keys.h"

#include <QTest>

using namespace zarvello;

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

class TestOrder : public QObject {
    Q_OBJECT
private slots:
    void compares_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("case") << QByteArray("Host") << QByteArray("hOST") << 0;
        QTest::newRow("letters") << QByteArray("a") << QByteArray("B") << -1;
        QTest::newRow("a prefix first") << QByteArray("ab") << QByteArray("abc") << -1;
        QTest::newRow("code points, not the locale") << QByteArray("z") << QByteArray("\xc3\xa4") << -1;
        QTest::newRow("Cyrillic case") << QByteArray("\xd0\x81\xd0\xbb\xd0\xba\xd0\xb0") << QByteArray("\xd1\x91\xd0\xbb\xd0\xba\xd0\xb0") << 0;
        QTest::newRow("Kelvin sign folds to k") << QByteArray("\xe2\x84\xaa") << QByteArray("k") << 0;
        QTest::newRow("outside the basic plane, folded") << QByteArray("\xf0\x90\x90\x80") << QByteArray("\xf0\x90\x90\xa8") << 0;
        QTest::newRow("by UTF-16 units") << QByteArray("\xf0\x90\x80\x80") << QByteArray("\xee\x80\x80") << -1;
        QTest::newRow("an undecodable byte") << QByteArray("\x80") << QByteArray("\xef\xbf\xbd") << -1;
        QTest::newRow("undecodable after text") << QByteArray("\xc3\xa9") << QByteArray("\xc3") << -1;
        QTest::newRow("a cut sequence") << QByteArray("\xe2\x84") << QByteArray("\xe2\x84\xaa") << 1;
    }

    void compares()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(int, order);
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
        for (qsizetype i = 1; i < atOnce.lines().size(); ++i)
            QVERIFY(compareFolded(atOnce.lines()[i - 1], atOnce.lines()[i]) <= 0);
    }

    void editsStayInPlace()
    {
        HostList list;
        for (const char* entry : {"b", "A", "c", "b"})
            list.AddItem(entry);
        list.SetItem(0, "z");
        QCOMPARE(entriesOf(list), QStringList({"z", "b", "b", "c"}));
        QCOMPARE(list.Item(-1), QString());
        QCOMPARE(list.Item(4), QString());
    }

    void aFullListTakesNoMore()
    {
        HostList list;
        QVERIFY(list.addLines(QList<QByteArray>(HostList::MaxCount - 1, "x")));
        QVERIFY(!list.addLines({"y", "z"}));
        QVERIFY(list.AddItem("y"));
        QVERIFY(!list.AddItem("z"));
        QCOMPARE(list.Count(), HostList::MaxCount);
    }
};

QTEST_GUILESS_MAIN(TestOrder)
#include "test_order.moc"
