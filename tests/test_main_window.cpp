// SPDX-License-Identifier: GPL-3.0-or-later
// The window as a person meets it: what it shows and says, its keys and pastes, and its rows.
#include "window_support.h"

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installRussianTranslation(*QCoreApplication::instance()); }

    // The client area is 6270 x 5070 twips, 15 to the pixel at 9 pt, Qt's default: 418 x 338. It
    // grows with the desktop's font, the check box's caption fitting, and a line of the text
    // field with a margin above and below.
    void startsAsLaidOut()
    {
        const auto reset = qScopeGuard([font = qApp->font()] { qApp->setFont(font); });
        for (const qreal points : {7.0, 8.0, 9.0, 10.5, 11.0, 14.0, 16.0, 20.0}) {
            QFont font = qApp->font();
            font.setPointSizeF(points);
            qApp->setFont(font);
            WindowFixture w;
            QVERIFY(w.showActive());
            const QSize client = w.get<QWidget>("client")->size();
            QVERIFY2(qAbs(client.width() - 418 * points / 9) <= 1
                         && qAbs(client.height() - 338 * points / 9) <= 1,
                     qPrintable(QString::number(points)));
            const QFontMetrics metrics(w.window.font());
            auto* check = w.get<QCheckBox>("Check1");
            auto* text = w.get<QLineEdit>("Text1");
            QStyleOptionButton box;
            box.initFrom(check);
            QStyleOptionFrame frame;
            frame.initFrom(text);
            frame.lineWidth =
                text->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, text);
            const QSize label =
                check->style()->subElementRect(QStyle::SE_CheckBoxContents, &box, check).size();
            QVERIFY(label.width() >= metrics.boundingRect(check->text()).width()
                    && label.height() >= metrics.height());
            QVERIFY(
                text->style()->subElementRect(QStyle::SE_LineEditContents, &frame, text).height()
                >= metrics.height() + 2);
        }
    }

    // Of a fixed size, named, with the installed icon; its controls and menu as spoken.
    void isWhatItSays()
    {
        WindowFixture w;
        QVERIFY(w.showActive());
        QCOMPARE(w.window.minimumSize(), w.window.maximumSize());
        QCOMPARE(w.window.objectName() + ' ' + w.window.windowTitle(), QString("Form1 Zarvello"));
        for (const int size : {16, 32}) { // the installed icon files are the window's icon
            const QIcon fromFile(QStringLiteral(ZARVELLO_ICON_DIR "/zarvello-%1.png").arg(size));
            QCOMPARE(w.window.windowIcon().pixmap(size).toImage(), fromFile.pixmap(size).toImage());
        }
        // Each control in tab order (once round the chain at most) and each menu item, as spoken.
        QStringList spoken;
        QWidget* next = qApp->focusWidget();
        for (int i = 0; next && i < 50 && spoken.size() < 4; ++i, next = next->nextInFocusChain())
            if (next->objectName().endsWith('1'))
                spoken << next->objectName() + ' '
                        + QAccessible::queryAccessibleInterface(next)->text(QAccessible::Name)
                        + (next->isEnabled() ? "" : " (off)");
        for (QWidget* menu : {static_cast<QWidget*>(w.window.menuBar()), w.get<QWidget>("file")})
            for (int i = 0; auto* item = QAccessible::queryAccessibleInterface(menu)->child(i); ++i)
                spoken << item->object()->objectName() + ' ' + item->text(QAccessible::Name)
                        + (item->state().disabled ? " (off)" : "")
                        + static_cast<QAction*>(item->object())->shortcut().toString();
        QCOMPARE(spoken,
                 QStringList({"List1 Строки файла hosts", "Text1 Имя хоста для блокировки",
                              "Command1 Добавить", "Check1 Автосохранение (off)", "file Файл",
                              "open Открыть", "save Сохранить (off)", "save_as Сохранить как...",
                              "ends Выход"}));
    }

    // By F10, and by Alt alone tapped, pressed and released; not by Alt with another key. A second
    // tap, which goes to the open menu, closes it.
    void theMenuOpensByKeyboardUnderEveryStyle()
    {
        const auto reset = qScopeGuard([style = qApp->style()->name()] { qApp->setStyle(style); });
        const QList<QList<QKeySequence>> tries{
            {Qt::Key_F10}, {Qt::Key_Alt}, {Qt::ALT | Qt::Key_Left}, {Qt::Key_Alt, Qt::Key_Alt}};
        for (const QString& style : QStyleFactory::keys()) {
            qApp->setStyle(style);
            QStringList opened{style};
            for (const QList<QKeySequence>& keys : tries) {
                WindowFixture w;
                QVERIFY(w.showActive());
                for (const QKeySequence& key : keys) {
                    QWidget* popup = qApp->activePopupWidget();
                    QTest::keySequence(popup ? popup : w.get<QWidget>("List1"), key);
                    QTest::qWait(100);
                }
                if (w.get<QMenu>("file")->isVisible())
                    opened << QKeySequence::listToString(keys);
            }
            QCOMPARE(opened.join(", "), style + ", F10, Alt");
        }
        // Alt in a message box over the window is the box's.
        WindowFixture w;
        QVERIFY(w.showActive());
        QMessageBox box(QMessageBox::Information, "Zarvello", "x", QMessageBox::Ok, &w.window);
        box.open();
        box.activateWindow();
        QTRY_VERIFY(qApp->activeWindow() == &box);
        QTest::keyClick(&box, Qt::Key_Alt);
        QTest::qWait(100);
        QVERIFY(!w.get<QMenu>("file")->isVisible());
    }

    // Return and keypad Enter add once from every control; a held key's repeats add nothing.
    void enterAddsOnce()
    {
        WindowFixture w;
        w.state.setAutosaveEnabled(true);
        QVERIFY(w.showActive());
        auto* text = w.get<QLineEdit>("Text1");
        int added = 0;
        for (const char* focus : {"Text1", "List1", "Check1", "Command1", "Text1"})
            for (const auto& [key, keypad] :
                 {std::pair{Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}}) {
                const bool held = added == 8;
                text->setText("ads.example");
                w.get<QWidget>(focus)->setFocus();
                QKeyEvent press(QEvent::KeyPress, key, keypad, {}, held);
                qApp->sendEvent(w.get<QWidget>(focus), &press);
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

    // While rights are asked, the window paints on but takes no input; then the focus is back.
    void waitsForRightsWithoutInput()
    {
        struct Watching : Rights {
            std::function<void()> watch;
            Result write(const QString&, const QByteArray&,
                         const std::optional<Fingerprint>&) override
            {
                return watch(), Result();
            }
        } rights;
        const auto refused = [](const QString& path, const QByteArray&, const auto&, Fingerprint*) {
            return std::optional(FileError::writing(path, EACCES));
        };
        WindowFixture w{{.saver = Saver(&rights, refused, false)}};
        auto* text = w.get<QLineEdit>("Text1");
        QVariantList seen; // enabled, cursor, typed
        rights.watch = [&] {
            seen = {w.window.isEnabled(), int(qApp->overrideCursor()->shape()), text->text()};
        };
        w.state.setAutosaveValue(true);
        QVERIFY(w.showActive());
        QTest::mouseClick(text, Qt::LeftButton);
        QTest::keyClicks(text, "ads.example\r");
        QCOMPARE(seen, QVariantList({false, int(Qt::WaitCursor), QString("ads.example")}));
        QVERIFY(w.window.isEnabled() && !qApp->overrideCursor() && qApp->focusWidget() == text);
    }

    // A pasted column is one line; a row shows breaks and other controls as signs, on one line.
    void oneLineInTheFieldAndTheRows()
    {
        WindowFixture w;
        auto* text = w.get<QLineEdit>("Text1");
        qApp->clipboard()->setText("ads.example\r\n6.6.6.6 shop.example\n");
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(text->text(), QString("ads.example 6.6.6.6 shop.example "));
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(w.state.hostList().Item(0),
                 QString("127.0.0.1 ads.example 6.6.6.6 shop.example  ##"));
        // Past Qt's 32767 characters, nothing is cut.
        qApp->clipboard()->setText(QString("ads-0000.example\n").repeated(3000));
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(text->text(), QString("ads-0000.example ").repeated(3000));
        auto* rows = static_cast<QStyledItemDelegate*>(w.get<QListView>("List1")->itemDelegate());
        QCOMPARE(rows->displayText(QString("a\nb\tc\rd ") + QChar(0) + QChar(0x2028), {}),
                 QString("a↵b→c¤d ¤↵"));
        QCOMPARE(rows->displayText(QString("x") + QChar(0xDCFF), {}), QString("x\uFFFD"));
        QCOMPARE(rows->displayText(QString("\U00010080"), {}), QString("\U00010080"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
