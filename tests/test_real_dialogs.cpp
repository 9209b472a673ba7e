// SPDX-License-Identifier: GPL-3.0-or-later
// The real message box, input box and file dialog, answered as a person would once on screen.
#include "qt_dialogs.h"
#include "window_support.h"

struct Prompt { // the entry shown; what is pasted, then typed, at its end; no reply: cancelled
    QString entry, pasted, typed;
    std::optional<QString> reply;
};

struct Choice { // the name typed at once, before the folder is listed; no file chosen: cancelled
    bool open = false;
    QString typed;
    std::optional<QString> chosen;
};

class TestRealDialogs : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QWidget m_parent;
    QtDialogs m_dialogs{&m_parent};

private slots:
    void initTestCase() { installRussianTranslation(*QCoreApplication::instance()); }

    void aMessageHasOneButton()
    {
        QString shown;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            shown =
                box->buttons().size() == 1 ? box->windowTitle() + ": " + box->text() : "buttons";
            box->buttons().constFirst()->click();
        });
        m_dialogs.showMessage("Введите хоть что-нибудь", "Не майтесь дурью");
        QCOMPARE(shown, QString("Не майтесь дурью: Введите хоть что-нибудь"));
    }

    void theEditPrompt_data()
    {
        QTest::addColumn<Prompt>("p");
        // Longer than the field holds; letters wider than x (ш).
        const QString longer(40000, 'x'), wide(70, QChar(0x0448));
        QTest::newRow("typed") << Prompt{.entry = "old", .typed = ".ru", .reply = "old.ru"};
        QTest::newRow("cancelled") << Prompt{.entry = "old", .reply = std::nullopt};
        QTest::newRow("a line feed, unchanged") << Prompt{.entry = "a\nb", .reply = "a\nb"};
        QTest::newRow("too long to show, unchanged") << Prompt{.entry = longer, .reply = longer};
        QTest::newRow("typed after that")
            << Prompt{.entry = longer, .typed = "y", .reply = longer + 'y'};
        QTest::newRow("a pasted line break") << Prompt{.pasted = "a\r\nb\rc", .reply = "a b c"};
        QTest::newRow("typed after \\n") << Prompt{.entry = "a\nb", .typed = "c", .reply = "a\nbc"};
        QTest::newRow("wide letters, unchanged") << Prompt{.entry = wide, .reply = wide};
    }

    void theEditPrompt()
    {
        QFETCH(Prompt, p);
        QString shown;
        whenModal<QInputDialog>([&](QInputDialog* dialog) {
            shown = dialog->windowTitle() + ": " + dialog->labelText() + ' '
                + dialog->cancelButtonText().remove('&');
            auto* field = dialog->findChild<QLineEdit*>();
            // The title has room beside a window manager's icon and three buttons, a line square
            // each; the field shows the entry's first 60 characters (once painted), all selected.
            QFont bold = dialog->font();
            bold.setBold(true);
            QVERIFY(dialog->width() >= QFontMetrics(bold).horizontalAdvance(dialog->windowTitle())
                        + 4 * dialog->fontMetrics().height());
            const int y = (field->grab(), field->height() / 2);
            QVERIFY(field->cursorPositionAt({0, y}) == 0 && field->selectedText() == field->text());
            QVERIFY(field->cursorPositionAt({field->width() - 1, y}) >= p.entry.left(60).size());
            QTest::keyClick(field, Qt::Key_End);
            qApp->clipboard()->setText(p.pasted); // in most rows nothing
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
            QTest::keyClicks(field, p.typed);
            QTest::keyClick(field, p.reply ? Qt::Key_Return : Qt::Key_Escape);
        });
        QCOMPARE(m_dialogs.askText("Измените адресс", "Редактирование записи", p.entry), p.reply);
        QCOMPARE(shown, QString("Редактирование записи: Измените адресс Отмена"));
    }

    void theFileDialog_data()
    {
        QTest::addColumn<Choice>("c");
        QTest::newRow("open the preset") << Choice{.open = true, .chosen = "hosts"};
        QTest::newRow("save over the preset") << Choice{.chosen = "hosts"};
        QTest::newRow("a new name: .hosts added") << Choice{.typed = "new", .chosen = "new.hosts"};
        QTest::newRow("an existing name: as typed") << Choice{.typed = "other", .chosen = "other"};
        QTest::newRow("a dotted name: as typed") << Choice{.typed = "my.list", .chosen = "my.list"};
        QTest::newRow("cancelled") << Choice{.open = true, .chosen = std::nullopt};
    }

    void theFileDialog()
    {
        QFETCH(Choice, c);
        writeBytes(m_dir.filePath("hosts"), "x\r\n");
        writeBytes(m_dir.filePath("other"), "y\r\n");
        QDir(m_dir.path()).mkdir("folder");
        QString shown;
        whenModal<QFileDialog>([&](QFileDialog* dialog) {
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            shown = dialog->windowTitle() + ' ' + dialog->selectedNameFilter() + ' '
                + dialog->directory().absolutePath() + ' ' + name->text() + ' '
                + dialog->labelText(QFileDialog::Accept).remove('&');
            QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
            name->setFocus();
            name->selectAll();
            QTest::keyClicks(name, c.typed);
            // Russian whatever the locale: headers; the folder's and file's size, type, date.
            auto* view = dialog->findChild<QTreeView*>("treeView");
            auto* model = view->model();
            QVERIFY(QTest::qWaitFor([&] { return model->rowCount(view->rootIndex()) >= 2; }));
            QTest::qWait(50);
            QString listed;
            for (int column = 0; column < 4; ++column) {
                listed += model->headerData(column, Qt::Horizontal).toString() + ", ";
                for (int row = 0; column && row < 2; ++row)
                    listed += model->index(row, column, view->rootIndex()).data().toString() + ", ";
            }
            QVERIFY2(!listed.contains(QRegularExpression("[A-Za-z]")), qPrintable(listed));
            QTest::keyClick(name, c.chosen ? Qt::Key_Return : Qt::Key_Escape);
        });
        const auto choose = c.open ? &QtDialogs::chooseOpenPath : &QtDialogs::chooseSavePath;
        const auto path = (m_dialogs.*choose)(
            {"Открыть", "hosts", "hosts", "все|*|hosts|hosts;*.hosts", 2, m_dir.path()});
        QCOMPARE(path.value_or("none"), c.chosen ? m_dir.filePath(*c.chosen) : "none");
        QCOMPARE(shown,
                 "Открыть hosts (hosts *.hosts) " + m_dir.path() + " hosts "
                     + (c.open ? "Открыть" : "Сохранить"));
    }
};

QTEST_MAIN(TestRealDialogs)
#include "test_real_dialogs.moc"
