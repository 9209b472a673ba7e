// SPDX-License-Identifier: GPL-3.0-or-later
// The window as a person meets it: what it shows and says, its keys, clicks and pastes.
#include "host_list_view.h"
#include "translations.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

using namespace zarvello;

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installRussianTranslation(*QCoreApplication::instance()); }

    void startsAsLaidOut_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("spoken"); // the caption, or the name a screen reader gives it
        QTest::addColumn<bool>("enabled");
        QTest::newRow("List1") << "List1" << "Строки файла hosts" << true;
        QTest::newRow("Text1") << "Text1" << "Имя хоста для блокировки" << true;
        QTest::newRow("Command1") << "Command1" << "Добавить" << true;
        QTest::newRow("Check1") << "Check1" << "Автосохранение" << false;
        QTest::newRow("file") << "file" << "Файл" << true;
        QTest::newRow("open") << "open" << "Открыть" << true;
        QTest::newRow("save") << "save" << "Сохранить" << false;
        QTest::newRow("save_as") << "save_as" << "Сохранить как..." << true;
        QTest::newRow("ends") << "ends" << "Выход" << true;
    }

    void startsAsLaidOut()
    {
        QFETCH(QString, name);
        QFETCH(QString, spoken);
        QFETCH(bool, enabled);
        WindowFixture w;
        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        if (name.endsWith('1')) {
            auto* widget = w.get<QWidget>(name.toLatin1().constData());
            QCOMPARE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name), spoken);
            QCOMPARE(widget->isEnabled(), enabled);
        } else {
            auto* action = w.get<QAction>(name.toLatin1().constData());
            QWidget* holder = name == "file" ? static_cast<QWidget*>(w.window.menuBar()) : w.get<QMenu>("file");
            QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(holder);
            QCOMPARE(menu->child(int(holder->actions().indexOf(action)))->text(QAccessible::Name), spoken);
            QCOMPARE(action->isEnabled(), enabled);
            QVERIFY(action->shortcut().isEmpty());
        }
        QCOMPARE(w.window.windowTitle(), QString("Zarvello"));
        QCOMPARE(w.window.centralWidget()->size(), QSize(418, 338));
        QCOMPARE(w.window.minimumSize(), w.window.maximumSize());
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("List1"));
    }

    void theIconFilesShowTheWindowIcon()
    {
        WindowFixture w;
        for (const int size : {16, 32}) {
            const QImage shown = w.window.windowIcon().pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
            const QImage file = QImage(QStringLiteral(ZARVELLO_ICON_DIR "/zarvello-%1.png").arg(size)).convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(file, shown);
        }
    }

    void tabFollowsTheLayout()
    {
        WindowFixture w;
        w.state.setAutosaveEnabled(true); // a disabled box takes no focus
        w.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        for (const char* next : {"Text1", "Command1", "Check1", "List1"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString(next));
        }
    }

    void enterAddsOnce_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("held");
        QTest::addColumn<int>("added");
        for (const char* focus : {"Text1", "List1", "Check1", "Command1"}) {
            QTest::addRow("Return in %s", focus) << focus << int(Qt::Key_Return) << false << 1;
            QTest::addRow("keypad Enter in %s", focus) << focus << int(Qt::Key_Enter) << false << 1;
        }
        QTest::newRow("held down") << "Text1" << int(Qt::Key_Return) << true << 0;
    }

    void enterAddsOnce()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, held);
        QFETCH(int, added);
        WindowFixture w;
        w.state.setAutosaveEnabled(true);
        w.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        auto* text = w.get<QLineEdit>("Text1");
        text->setText("ads.example");
        QWidget* target = w.window.findChild<QWidget*>(focus);
        target->setFocus();
        QKeyEvent press(QEvent::KeyPress, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier, QString(), held);
        QApplication::sendEvent(target, &press);
        QCOMPARE(w.state.hostList().Count(), added);
        QCOMPARE(text->text(), added ? QString() : QString("ads.example"));
        QCOMPARE(w.dialogs.messages.size() + w.dialogs.questions.size(), 0);
    }

    void aPastedColumnOfNamesIsOneLine()
    {
        WindowFixture w;
        auto* text = w.get<QLineEdit>("Text1");
        QGuiApplication::clipboard()->setText("ads.example\r\n6.6.6.6 shop.example\n");
        text->setFocus();
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(text->text(), QString("ads.example 6.6.6.6 shop.example "));
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(w.state.hostList().Item(0), QString("127.0.0.1 ads.example 6.6.6.6 shop.example  ##"));
    }

    void clicksAndMovesOpenThePrompt()
    {
        WindowFixture w;
        w.state.hostList().addLines({"a", "b", "c", "d"});
        w.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        auto* list = w.get<HostListView>("List1");
        const auto click = [&](int row) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(w.state.hostList().index(row)).center());
        };
        w.dialogs.answers << "B two" << std::nullopt;
        click(1);
        click(1); // the selected entry opens again
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(5, list->viewport()->height() - 3)); // no entry
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_End, Qt::Key_Up, Qt::Key_Home, Qt::Key_Up}) {
            w.dialogs.answers << std::nullopt;
            QTest::keyClick(list, key);
        }
        QStringList defaults;
        for (const QString& question : w.dialogs.questions)
            defaults << question.section('[', 1).chopped(1);
        QCOMPARE(defaults, QStringList({"b", "B two", "c", "d", "c", "a"}));
        QCOMPARE(w.dialogs.answers.size(), 1); // Up at the first entry moved nothing, asked nothing
    }

    void rowsKeepToOneLine_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("shown");
        QTest::newRow("breaks, tabs, controls") << QString("a\nb\tc\rd") + QChar(0) + QChar(0x2028) << QString::fromUtf8("a↵b→c¤d¤↵");
        QTest::newRow("an undecodable byte") << QString("x") + QChar(0xDCFF) << QString::fromUtf8("x\uFFFD");
        QTest::newRow("outside the basic plane") << QString::fromUtf8("\xf0\x90\x82\x80") << QString::fromUtf8("\xf0\x90\x82\x80");
    }

    void rowsKeepToOneLine()
    {
        QFETCH(QString, entry);
        QFETCH(QString, shown);
        WindowFixture w;
        w.state.hostList().AddItem(entry);
        auto* rows = static_cast<QStyledItemDelegate*>(w.get<HostListView>("List1")->itemDelegate());
        QCOMPARE(rows->displayText(w.state.hostList().index(0).data(), QLocale()), shown);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
