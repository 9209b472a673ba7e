// SPDX-License-Identifier: GPL-3.0-or-later
// The host list: edits in place, and a full list (its order and file format are fuzzed).
#include "support.h"

class TestHostList : public QObject {
    Q_OBJECT
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
};

QTEST_GUILESS_MAIN(TestHostList)
#include "test_host_list.moc"
