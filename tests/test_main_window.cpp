// The window as a person meets it: controls, menu, keys and clicks.
#include "host_list_view.h"
#include "host_list_entries.h"
#include "main_window.h"
#include "modal.h"
#include "qt_dialogs.h"
#include "scripted_dialogs.h"
#include "translations.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace zarvello;

namespace {

struct Window {
    ScriptedDialogs dialogs;
    MainWindow window{dialogs};
    HostListView* list = window.findChild<HostListView*>("List1");
    QLineEdit* text = window.findChild<QLineEdit*>("Text1");
    QPushButton* add = window.findChild<QPushButton*>("Command1");
    QCheckBox* autosave = window.findChild<QCheckBox*>("Check1");

    void show()
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    HostList& hostList() { return window.state().hostList(); }
    void clickRow(int row)
    {
        const QRect rect = list->visualRect(hostList().index(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installRussianTranslation(*QCoreApplication::instance()); }

    void startsEmptyWithNothingToSave()
    {
        Window w;
        w.show();
        QCOMPARE(w.window.objectName(), QString("Form1"));
        QCOMPARE(w.window.windowTitle(), QString("Zarvello"));
        QCOMPARE(w.hostList().Count(), 0);
        QCOMPARE(w.text->text(), QString());
        QVERIFY(w.add->isEnabled());
        QVERIFY(!w.autosave->isEnabled());
        QVERIFY(!w.autosave->isChecked());
        QVERIFY(!w.window.findChild<QAction*>("save")->isEnabled());
        QCOMPARE(w.window.state().currentPath(), QString());
        QCOMPARE(QApplication::focusWidget(), w.list);
        QVERIFY(w.list->selectionModel()->selectedIndexes().isEmpty());

        const QList<QSize> sizes = w.window.windowIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(32, 32)));
        for (const QSize& size : {QSize(16, 16), QSize(32, 32)}) {
            const QImage image = w.window.windowIcon().pixmap(size).toImage();
            QSet<QRgb> colours;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    colours.insert(image.pixel(x, y));
            QVERIFY2(colours.size() <= 16 && colours.size() > 3, qPrintable(QString::number(colours.size())));
            // The installed icon files show the same picture as the window.
            const QImage installed(QStringLiteral(ZARVELLO_ICON_DIR "/zarvello-%1.png").arg(size.width()));
            QCOMPARE(installed.convertToFormat(QImage::Format_ARGB32), image.convertToFormat(QImage::Format_ARGB32));
        }
    }

    void controlsSitWhereTheLayoutSays_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("caption");
        QTest::newRow("List1") << "List1" << QRect(0, 0, 6255, 4350) << QString();
        QTest::newRow("Text1") << "Text1" << QRect(0, 4440, 6255, 285) << QString();
        QTest::newRow("Command1") << "Command1" << QRect(2280, 4800, 3975, 255) << "Добавить";
        QTest::newRow("Check1") << "Check1" << QRect(120, 4800, 2055, 255) << "Автосохранение";
    }
    void controlsSitWhereTheLayoutSays()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QString, caption);
        Window w;
        w.show();
        auto* control = w.window.findChild<QWidget*>(name);
        QVERIFY(control);
        const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
        QCOMPARE(control->geometry(), pixels);
        QCOMPARE(control->parentWidget(), w.window.centralWidget());
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            QCOMPARE(button->text(), caption);
    }

    void windowHasAFixedClientAreaBelowTheMenu()
    {
        Window w;
        w.show();
        QCOMPARE(w.window.centralWidget()->size(), QSize(418, 338));
        QCOMPARE(w.window.centralWidget()->y(), w.window.menuBar()->height());
        QCOMPARE(w.window.minimumSize(), w.window.maximumSize());
        QCOMPARE(w.window.height(), w.window.menuBar()->height() + 338);
    }

    void fileMenuHoldsFourPlainItems()
    {
        Window w;
        auto* menu = w.window.findChild<QMenu*>("file");
        QVERIFY(menu);
        QCOMPARE(w.window.menuBar()->actions(), QList<QAction*>{menu->menuAction()});
        QCOMPARE(menu->title(), QString("Файл"));
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 4);
        const QStringList names{"open", "save", "save_as", "ends"};
        const QStringList captions{"Открыть", "Сохранить", "Сохранить как...", "Выход"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(items.at(i)->objectName(), names.at(i));
            QCOMPARE(items.at(i)->text(), captions.at(i));
            QVERIFY(items.at(i)->shortcut().isEmpty());
            QVERIFY(!items.at(i)->isSeparator());
            QCOMPARE(items.at(i)->isEnabled(), names.at(i) != "save");
        }
    }

    void tabVisitsTheControlsInOrder()
    {
        Window w;
        w.window.state().setAutosaveEnabled(true); // a disabled box takes no focus
        w.show();
        QCOMPARE(QApplication::focusWidget(), w.list);
        const QList<QWidget*> order{w.text, w.add, w.autosave, w.list};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void enterAddsOnceWhereverTheFocusIs()
    {
        Window w;
        w.window.state().setAutosaveEnabled(true);
        w.show();
        int expected = 0;
        const QList<QWidget*> places{w.text, w.list, w.autosave, w.add};
        for (QWidget* place : places) {
            for (const auto& [key, modifiers] : {std::pair{Qt::Key_Return, Qt::NoModifier},
                                                 std::pair{Qt::Key_Enter, Qt::KeypadModifier}}) {
                w.text->setText("host" + QString::number(expected));
                place->setFocus();
                QTest::keyClick(place, key, modifiers);
                ++expected;
                QCOMPARE(w.hostList().Count(), expected);
                QCOMPARE(w.text->text(), QString());
            }
        }
        QVERIFY(w.dialogs.messages.isEmpty());
        QVERIFY(w.dialogs.questions.isEmpty()); // adding selects nothing, so asks nothing

        // A held key adds once.
        w.text->setText("held");
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(w.text, &repeat);
        QCOMPARE(w.hostList().Count(), expected);

        // Enter with nothing typed tells the person so.
        w.text->clear();
        w.list->setFocus();
        QTest::keyClick(w.list, Qt::Key_Return);
        QCOMPARE(w.dialogs.messages.size(), 1);
        QCOMPARE(w.dialogs.messages.at(0).prompt, QString("Введите хоть что-нибудь"));
    }

    void clickingAnEntryOpensItsEditPrompt()
    {
        Window w;
        for (const char* entry : {"alpha", "beta", "gamma"})
            w.hostList().AddItem(entry);
        w.show();

        w.dialogs.textAnswers.enqueue("BETA two");
        w.clickRow(1);
        QCOMPARE(w.dialogs.questions.size(), 1);
        QCOMPARE(w.dialogs.questions.at(0).prompt, QString("Измените адресс"));
        QCOMPARE(w.dialogs.questions.at(0).title, QString("Редактирование записи"));
        QCOMPARE(w.dialogs.questions.at(0).defaultText, QString("beta"));
        QCOMPARE(entriesOf(w.hostList()), (QStringList{"alpha", "BETA two", "gamma"}));

        // The selected entry opens again on a second click; a cancel keeps it.
        w.dialogs.textAnswers.enqueue(std::nullopt);
        w.clickRow(1);
        QCOMPARE(w.dialogs.questions.size(), 2);
        QCOMPARE(w.dialogs.questions.at(1).defaultText, QString("BETA two"));
        QCOMPARE(w.hostList().Item(1), QString("BETA two"));

        // A click below the last entry hits none.
        QTest::mouseClick(w.list->viewport(), Qt::LeftButton, {}, QPoint(5, w.list->viewport()->height() - 3));
        QCOMPARE(w.dialogs.questions.size(), 2);
    }

    void movingTheSelectionByKeyOpensThePrompt()
    {
        Window w;
        for (const char* entry : {"a", "b", "c", "d"})
            w.hostList().AddItem(entry);
        w.show();
        w.list->setFocus();

        const QList<std::pair<Qt::Key, QString>> moves{
            {Qt::Key_Down, "a"}, {Qt::Key_Down, "b"}, {Qt::Key_End, "d"}, {Qt::Key_Up, "c"}, {Qt::Key_Home, "a"},
            {Qt::Key_PageDown, "d"}};
        for (const auto& [key, entry] : moves) {
            w.dialogs.textAnswers.enqueue(std::nullopt);
            QTest::keyClick(w.list, key);
            QCOMPARE(w.dialogs.questions.size(), moves.indexOf({key, entry}) + 1);
            QCOMPARE(w.dialogs.questions.last().defaultText, entry);
        }
        // At the last entry Down moves nothing and asks nothing.
        const qsizetype asked = w.dialogs.questions.size();
        QTest::keyClick(w.list, Qt::Key_Down);
        QTest::keyClick(w.list, Qt::Key_End);
        QCOMPARE(w.dialogs.questions.size(), asked);
        QCOMPARE(entriesOf(w.hostList()), (QStringList{"a", "b", "c", "d"}));
    }

    void controlsFollowTheState()
    {
        Window w;
        w.show();
        auto* save = w.window.findChild<QAction*>("save");
        EditorState& state = w.window.state();
        state.setSaveEnabled(true);
        state.setAutosaveEnabled(true);
        QVERIFY(save->isEnabled());
        QVERIFY(w.autosave->isEnabled());
        QTest::mouseClick(w.autosave, Qt::LeftButton);
        QVERIFY(state.autosaveValue());
        state.setAutosaveValue(false);
        QVERIFY(!w.autosave->isChecked());
    }

    void entriesKeepToOneRow()
    {
        QCOMPARE(EntryDelegate::visibleText(QString("a\nb\tc\rd") + QChar(0)), QString::fromUtf8("a↵b→c¤d¤"));
        QCOMPARE(EntryDelegate::visibleText(QString("x") + QChar(0xDCFF)), QString::fromUtf8("x\uFFFD"));
        const QString astral = QString::fromUtf8("\xf0\x90\x82\x80"); // U+10080, its low half is U+DC80
        QCOMPARE(EntryDelegate::visibleText(astral), astral);
        Window w;
        QVERIFY(qobject_cast<EntryDelegate*>(w.list->itemDelegate())); // List1 draws its rows so
    }

    void aScreenReaderHearsRussianNames()
    {
        Window w;
        w.show();
        const auto nameOf = [](QObject* object) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
            return accessible ? accessible->text(QAccessible::Name) : QString("<none>");
        };
        QCOMPARE(nameOf(w.add), QString("Добавить"));
        QCOMPARE(nameOf(w.autosave), QString("Автосохранение"));
        QCOMPARE(nameOf(w.list), QString("Строки файла hosts"));
        QCOMPARE(nameOf(w.text), QString("Имя хоста для блокировки"));

        auto* menu = w.window.findChild<QMenu*>("file");
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(w.window.menuBar());
        QCOMPARE(bar->childCount(), 1);
        QCOMPARE(bar->child(0)->text(QAccessible::Name), QString("Файл"));
        QAccessibleInterface* items = QAccessible::queryAccessibleInterface(menu);
        QStringList names;
        for (int i = 0; i < items->childCount(); ++i)
            names << items->child(i)->text(QAccessible::Name);
        QCOMPARE(names, (QStringList{"Открыть", "Сохранить", "Сохранить как...", "Выход"}));
    }

    void closingAsksNothing()
    {
        Window w;
        w.show();
        w.hostList().AddItem("unsaved");
        QVERIFY(w.window.close());
        QVERIFY(w.dialogs.messages.isEmpty());
    }

    void exitEndsTheEventLoop()
    {
        Window w;
        w.show();
        QTimer::singleShot(0, w.window.findChild<QAction*>("ends"), &QAction::trigger);
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); }); // Exit that does nothing fails
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(w.dialogs.messages.isEmpty());
    }

    void realMessageAndInputBoxes()
    {
        QWidget parent;
        QtDialogs dialogs(&parent);

        QString title, text, buttons;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            for (QAbstractButton* button : box->buttons())
                buttons += button->text();
            box->buttons().constFirst()->click();
        });
        dialogs.showMessage("Введите хоть что-нибудь", "Не майтесь дурью");
        QCOMPARE(title, QString("Не майтесь дурью"));
        QCOMPARE(text, QString("Введите хоть что-нибудь"));
        QCOMPARE(buttons.remove('&'), QString("OK")); // one button (Qt's Russian keeps the Latin OK)

        QString shownDefault, label, cancelCaption;
        whenModal<QInputDialog>([&](QInputDialog* dialog) {
            title = dialog->windowTitle();
            label = dialog->labelText();
            shownDefault = dialog->textValue();
            cancelCaption = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text();
            auto* field = dialog->findChild<QLineEdit*>();
            field->selectAll();
            QTest::keyClicks(field, "typed.example");
            QTest::keyClick(field, Qt::Key_Return);
        });
        QCOMPARE(dialogs.askText("Измените адресс", "Редактирование записи", "old"), std::optional<QString>("typed.example"));
        QCOMPARE(title, QString("Редактирование записи"));
        QCOMPARE(label, QString("Измените адресс"));
        QCOMPARE(shownDefault, QString("old"));
        QCOMPARE(cancelCaption.remove('&'), QString("Отмена"));

        // Accepted unchanged, an entry the field cannot hold comes back as it was.
        const QString odd = QString("a\nb\tc ") + QChar(0) + QChar(0xDC81);
        whenModal<QInputDialog>([](QInputDialog* dialog) { dialog->accept(); });
        QCOMPARE(dialogs.askText("p", "t", odd), std::optional<QString>(odd));

        whenModal<QInputDialog>([](QInputDialog* dialog) {
            dialog->findChild<QLineEdit*>()->setText("ignored");
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QCOMPARE(dialogs.askText("p", "t", "kept"), std::nullopt);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
