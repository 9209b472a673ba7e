// SPDX-License-Identifier: GPL-3.0-or-later
// The window as a person meets it: what it shows and says, its keys and pastes, and its rows.
#include "host_list_view.h"
#include "window_support.h"

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installRussianTranslation(*QCoreApplication::instance()); }

    void startsAsLaidOut()
    {
        WindowFixture w;
        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        // What a screen reader says of each control, in tab order from where the window puts the
        // focus, and of each menu item.
        QStringList spoken;
        // Once round the chain at most: a control that is missing fails the comparison below.
        QWidget* next = QApplication::focusWidget();
        for (int step = 0; next && step < 50 && spoken.size() < 4;
             ++step, next = next->nextInFocusChain())
            if (next->objectName().endsWith('1'))
                spoken << next->objectName() + ' '
                        + QAccessible::queryAccessibleInterface(next)->text(QAccessible::Name)
                        + (next->isEnabled() ? "" : " (off)");
        for (QWidget* menu : {static_cast<QWidget*>(w.window.menuBar()),
                              static_cast<QWidget*>(w.get<QMenu>("file"))})
            for (QAction* action : menu->actions())
                spoken << action->objectName() + ' '
                        + QAccessible::queryAccessibleInterface(menu)
                              ->child(int(menu->actions().indexOf(action)))
                              ->text(QAccessible::Name)
                        + (action->isEnabled() ? "" : " (off)") + action->shortcut().toString();
        QCOMPARE(spoken,
                 QStringList({"List1 Строки файла hosts", "Text1 Имя хоста для блокировки",
                              "Command1 Добавить", "Check1 Автосохранение (off)", "file Файл",
                              "open Открыть", "save Сохранить (off)", "save_as Сохранить как...",
                              "ends Выход"}));
        QCOMPARE(w.window.windowTitle(), QString("Zarvello"));
        QCOMPARE(w.window.minimumSize(), w.window.maximumSize());
        for (const int size : {16, 32}) // the installed icon files are the window's icon
            QCOMPARE(QImage(QStringLiteral(ZARVELLO_ICON_DIR "/zarvello-%1.png").arg(size))
                         .convertToFormat(QImage::Format_ARGB32),
                     w.window.windowIcon().pixmap(size).toImage().convertToFormat(
                         QImage::Format_ARGB32));
    }

    void captionsFitAtEveryFontSize_data()
    {
        QTest::addColumn<qreal>("points");
        QTest::addColumn<QSize>(
            "client"); // 6270 x 5070 twips, 15 to the pixel at 9 pt, Qt's default
        for (const auto& [points, client] : {std::pair{8.0, QSize(372, 300)},
                                             {9.0, QSize(418, 338)},
                                             {11.0, QSize(511, 413)},
                                             {14.0, QSize(650, 526)},
                                             {16.0, QSize(743, 601)}})
            QTest::addRow("%g pt", points) << points << client;
    }

    void captionsFitAtEveryFontSize()
    {
        QFETCH(qreal, points);
        QFETCH(QSize, client);
        const QFont before = QApplication::font();
        QApplication::setFont(QFont(before.family(), points));
        WindowFixture w;
        QApplication::setFont(before);
        QCOMPARE(w.get<QWidget>("client")->size(), client);
        // The check box's caption, and a line of the text field with a margin above and below.
        const QFontMetrics metrics(w.window.font());
        auto* check = w.get<QCheckBox>("Check1");
        auto* text = w.get<QLineEdit>("Text1");
        QStyleOptionButton box;
        box.initFrom(check);
        QStyleOptionFrame frame;
        frame.initFrom(text);
        frame.lineWidth = text->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, text);
        const QSize label =
            check->style()->subElementRect(QStyle::SE_CheckBoxContents, &box, check).size();
        QVERIFY(label.width() >= metrics.boundingRect(check->text()).width()
                && label.height() >= metrics.height());
        QVERIFY(text->style()->subElementRect(QStyle::SE_LineEditContents, &frame, text).height()
                >= metrics.height() + 2);
    }

    void theMenuOpensByKeyboardUnderEveryStyle_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QKeySequence>("keys"); // Alt alone is a tap: pressed and released
        QTest::addColumn<bool>("opens");
        for (const QString& style : QStyleFactory::keys())
            for (const auto& [keys, opens] : {std::pair{QKeySequence(Qt::Key_F10), true},
                                              {QKeySequence(Qt::Key_Alt), true},
                                              {QKeySequence(Qt::ALT | Qt::Key_Left), false}})
                QTest::addRow("%s, %s", qPrintable(style), qPrintable(keys.toString()))
                    << style << keys << opens;
    }

    void theMenuOpensByKeyboardUnderEveryStyle()
    {
        QFETCH(QString, style);
        QFETCH(QKeySequence, keys);
        QFETCH(bool, opens);
        const QString before = QApplication::style()->name();
        QApplication::setStyle(style);
        WindowFixture w;
        w.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        QTest::keySequence(w.get<QWidget>("List1"), keys);
        QTest::qWait(100);
        QApplication::setStyle(before);
        QCOMPARE(w.get<QMenu>("file")->isVisible(), opens);
    }

    void enterAddsOnce()
    {
        WindowFixture w;
        w.state.setAutosaveEnabled(true);
        w.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        auto* text = w.get<QLineEdit>("Text1");
        int added = 0;
        for (const char* focus : {"Text1", "List1", "Check1", "Command1", "Text1"})
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
                const bool held =
                    added == 8; // a held key repeats its press: only the first one adds
                text->setText("ads.example");
                w.get<QWidget>(focus)->setFocus();
                QKeyEvent press(QEvent::KeyPress, key,
                                key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier,
                                QString(), held);
                QApplication::sendEvent(w.get<QWidget>(focus), &press);
                added += !held;
                QCOMPARE(w.state.hostList().Count(), added);
                QCOMPARE(text->text(), held ? QString("ads.example") : QString());
            }
        text->setText("ads.example"); // neither a modified Enter nor another key adds
        QTest::keyClick(text, Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(text, Qt::Key_Escape);
        QCOMPARE(w.state.hostList().Count(), added);
        QCOMPARE(w.dialogs.messages.size() + w.dialogs.questions.size(), 0);
    }

    // While the administrator's rights are asked, the window paints on but takes no input; then
    // it has the focus back where it was.
    void waitsForRightsWithoutInput()
    {
        struct Watching : Rights {
            QWidget* window = nullptr;
            QString seen;
            Result write(const QString&, const QByteArray&) override
            {
                seen = QString("enabled %1, cursor %2, typed %3")
                           .arg(window->isEnabled())
                           .arg(QApplication::overrideCursor()->shape())
                           .arg(window->findChild<QLineEdit*>("Text1")->text());
                return {};
            }
        } rights;
        Saver saver(
            &rights,
            [](const QString& path, const QByteArray&) {
                return std::optional(FileError{path, FileError::Operation::Write, {}, EACCES});
            },
            false);
        ScriptedDialogs dialogs;
        MainWindow window(dialogs, saver);
        rights.window = &window;
        window.state().setAutosaveValue(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* text = window.findChild<QLineEdit*>("Text1");
        QTest::mouseClick(text, Qt::LeftButton);
        QTest::keyClicks(text, "ads.example\r");
        QCOMPARE(rights.seen,
                 QString("enabled 0, cursor %1, typed ads.example").arg(Qt::WaitCursor));
        QVERIFY(window.isEnabled() && !QApplication::overrideCursor()
                && QApplication::focusWidget() == text);
    }

    void aPastedColumnOfNamesIsOneLine()
    {
        WindowFixture w;
        auto* text = w.get<QLineEdit>("Text1");
        QGuiApplication::clipboard()->setText("ads.example\r\n6.6.6.6 shop.example\n");
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(text->text(), QString("ads.example 6.6.6.6 shop.example "));
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(w.state.hostList().Item(0),
                 QString("127.0.0.1 ads.example 6.6.6.6 shop.example  ##"));
    }

    void rowsKeepToOneLine()
    {
        WindowFixture w;
        const QString entries[] = {QString("a\nb\tc\rd ") + QChar(0) + QChar(0x2028),
                                   QString("x") + QChar(0xDCFF),
                                   QString::fromUtf8("\xf0\x90\x82\x80")};
        QStringList shown;
        for (const QString& entry : entries)
            shown << static_cast<QStyledItemDelegate*>(w.get<HostListView>("List1")->itemDelegate())
                         ->displayText(entry, QLocale());
        QCOMPARE(shown,
                 QStringList({QString::fromUtf8("a↵b→c¤d ¤↵"), QString::fromUtf8("x\uFFFD"),
                              QString::fromUtf8("\xf0\x90\x82\x80")}));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
