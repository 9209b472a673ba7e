// The sorted host list and the editor state around it.
#include "editor_state.h"
#include "host_list_entries.h"
#include "host_list.h"
#include "line_codec.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

using namespace zarvello;

namespace {

QList<QByteArray> linesOf(const QStringList& texts)
{
    QList<QByteArray> lines;
    for (const QString& text : texts)
        lines << encodeLine(text);
    return lines;
}

} // namespace

class TestHostList : public QObject {
    Q_OBJECT
private slots:
    void startUpLeavesNothingToSave()
    {
        EditorState state;
        QVERIFY(state.saveEnabled()); // as created, before the window loads
        QSignalSpy saveSpy(&state, &EditorState::saveEnabledChanged);
        state.setCurrentPath("/tmp/x");
        state.StartUp();
        QCOMPARE(state.hostList().Count(), 0);
        QCOMPARE(state.currentPath(), QString());
        QVERIFY(!state.saveEnabled());
        QVERIFY(!state.autosaveEnabled());
        QVERIFY(!state.autosaveValue());
        QCOMPARE(saveSpy.count(), 1);
        QCOMPARE(saveSpy.at(0).at(0).toBool(), false);
    }

    void keepsAlphabeticalOrderIgnoringCase()
    {
        HostList list;
        list.AddItem("b");
        list.AddItem("A");
        list.AddItem("c");
        QCOMPARE(entriesOf(list), (QStringList{"A", "b", "c"}));
        QCOMPARE(list.Item(-1), QString());
        QCOMPARE(list.Item(3), QString());
    }

    void ordersByCodePointNotByLocale()
    {
        // A locale-aware collation would put punctuation first and é next to e; the list must
        // sort the same file the same way on every machine.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Turkish));
        HostList list;
        for (const char* text : {"é", "b", "Z", "_", "A", "1", "i", "I"})
            list.AddItem(QString::fromUtf8(text));
        QLocale::setDefault(before);
        QCOMPARE(entriesOf(list), (QStringList{"1", "_", "A", "b", "i", "I", "Z", QString::fromUtf8("é")}));
    }

    void newEntryGoesAfterEqualOnes()
    {
        HostList list;
        list.AddItem("hosts");
        list.AddItem("HOSTS");
        list.AddItem("Hosts");
        list.AddItem("a");
        QCOMPARE(entriesOf(list), (QStringList{"a", "hosts", "HOSTS", "Hosts"}));
    }

    void setItemReplacesInPlaceWithoutSorting()
    {
        HostList list;
        for (const char* text : {"A", "b", "c"})
            list.AddItem(text);
        QSignalSpy changed(&list, &HostList::dataChanged);
        list.SetItem(0, "z");
        QCOMPARE(entriesOf(list), (QStringList{"z", "b", "c"}));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 0);
        list.SetItem(3, "out of range");
        list.SetItem(-1, "no entry");
        QCOMPARE(entriesOf(list), (QStringList{"z", "b", "c"}));
    }

    void modelShowsTheEntriesAsTheyAre()
    {
        HostList list;
        list.AddItem(QString("tab\there\nand NUL") + QChar(0));
        QCOMPARE(list.rowCount(), 1);
        QCOMPARE(list.data(list.index(0)).toString(), list.Item(0));
        QVERIFY(!list.data(list.index(1)).isValid());
    }

    void addingManyLinesMatchesAddingThemOneByOne()
    {
        QRandomGenerator random(20261206);
        // Letters whose case folding is not plain: sharp s, the Kelvin sign, final sigma, dotted
        // and dotless i, letters outside the basic plane, and a byte that is not UTF-8.
        const QStringList words{"ads", "ADS", "Ads", "tracker", "Tracker", "", " ", "#", "127.0.0.1 x",
                                QString::fromUtf8("ёлка"), QString::fromUtf8("Ёлка"), QString::fromUtf8("ß"),
                                QString::fromUtf8("ẞ"), QString::fromUtf8("\u212A"), "k", QString::fromUtf8("ς"),
                                QString::fromUtf8("Σ"), QString::fromUtf8("İ"), QString::fromUtf8("ı"),
                                QString::fromUtf8("\U00010400"), QString::fromUtf8("\U00010428"),
                                QString::fromUtf8("\U0001F600"), decodeLine("\xff"), QString::fromUtf8("\uFF21")};
        for (int round = 0; round < 50; ++round) {
            QStringList existing, added;
            const auto word = [&] {
                if (random.bounded(3) == 0) { // any ASCII at all, long enough to fold in whole words
                    QString ascii;
                    for (int n = int(random.bounded(1, 30)); n > 0; --n)
                        ascii += QChar(char16_t(random.bounded(0x80)));
                    return ascii;
                }
                return words.at(random.bounded(words.size())) + words.at(random.bounded(words.size()));
            };
            for (int i = int(random.bounded(30)); i > 0; --i)
                existing << word();
            for (int i = int(random.bounded(200)); i > 0; --i)
                added << word();

            HostList oneByOne, together;
            for (const QString& line : existing) {
                oneByOne.AddItem(line);
                together.AddItem(line);
            }
            for (const QString& line : added)
                oneByOne.AddItem(line);

            QSignalSpy resets(&together, &HostList::modelReset);
            QSignalSpy inserts(&together, &HostList::rowsInserted);
            QVERIFY(together.addLines(linesOf(added)));
            // Equal texts of different case differ, so this also checks where ties went.
            QCOMPARE(entriesOf(together), entriesOf(oneByOne));
            QCOMPARE(resets.count(), added.isEmpty() ? 0 : 1);
            QCOMPARE(inserts.count(), 0);
        }
    }

    void refusesToGrowPastTheLimit()
    {
        HostList list;
        QStringList lines;
        for (int i = 0; i < HostList::MaxCount - 1; ++i)
            lines << QString::number(i);
        QVERIFY(list.addLines(linesOf(lines)));
        QVERIFY(!list.addLines({"x", "y"}));
        QCOMPARE(list.Count(), HostList::MaxCount - 1);
        QVERIFY(list.AddItem("last"));
        QCOMPARE(list.Count(), HostList::MaxCount);
        QSignalSpy inserts(&list, &HostList::rowsInserted);
        QVERIFY(!list.AddItem("one too many"));
        QVERIFY(!list.addLines({"more"}));
        QVERIFY(list.addLines({}));
        QCOMPARE(list.Count(), HostList::MaxCount);
        QCOMPARE(inserts.count(), 0);
        QVERIFY(!entriesOf(list).contains("one too many"));
    }
};

QTEST_GUILESS_MAIN(TestHostList)
#include "test_host_list.moc"
