// SPDX-License-Identifier: GPL-3.0-or-later
// The real message box, input box and file dialog, answered as a person would once on screen.
#include "qt_dialogs.h"
#include "window_support.h"

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
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>(
            "typed"); // at the end of the text, or pasted after "paste:"; "!" cancels
        QTest::addColumn<std::optional<QString>>("reply");
        const QString longer(40000, 'x'); // past what the field holds
        QTest::newRow("typed") << "old"
                               << ".example" << std::optional<QString>("old.example");
        QTest::newRow("cancelled") << "old"
                                   << "!" << std::optional<QString>();
        QTest::newRow("a line feed, unchanged") << "a\nb"
                                                << "" << std::optional<QString>("a\nb");
        QTest::newRow("too long to show, unchanged")
            << longer << "" << std::optional<QString>(longer);
        QTest::newRow("a pasted line break")
            << ""
            << "paste:a\r\nb\rc" << std::optional<QString>("a b c");
        QTest::newRow("typed after a line feed") << "a\nb"
                                                 << "c" << std::optional<QString>("a\nbc");
        const QString wide = QString(70, QChar(0x0448)); // ш, wider than x
        QTest::newRow("wide letters, unchanged") << wide << "" << std::optional<QString>(wide);
    }

    void theEditPrompt()
    {
        QFETCH(QString, entry);
        QFETCH(QString, typed);
        QFETCH(std::optional<QString>, reply);
        QString shown;
        whenModal<QInputDialog>([&](QInputDialog* dialog) {
            shown = dialog->windowTitle() + ": " + dialog->labelText() + ' '
                + dialog->findChild<QDialogButtonBox*>()
                      ->button(QDialogButtonBox::Cancel)
                      ->text()
                      .remove('&');
            auto* field = dialog->findChild<QLineEdit*>();
            // The title has room beside a window manager's icon and three buttons, a line square
            // each; the field shows the entry's first 60 characters (once painted), all selected.
            QFont bold = dialog->font();
            bold.setBold(true);
            QVERIFY(dialog->width() >= QFontMetrics(bold).horizontalAdvance(dialog->windowTitle())
                        + 4 * dialog->fontMetrics().height());
            const int y = (field->grab(), field->height() / 2),
                      last = field->cursorPositionAt({field->width() - 1, y});
            QVERIFY(field->cursorPositionAt({0, y}) == 0
                    && last >= std::min<qsizetype>(60, entry.size())
                    && field->selectedText() == field->text());
            QTest::keyClick(field, Qt::Key_End);
            if (typed.startsWith("paste:")) {
                QGuiApplication::clipboard()->setText(typed.mid(6));
                QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
            } else if (typed != "!") {
                QTest::keyClicks(field, typed);
            }
            QTest::keyClick(field, typed == "!" ? Qt::Key_Escape : Qt::Key_Return);
        });
        QCOMPARE(m_dialogs.askText("Измените адресс", "Редактирование записи", entry), reply);
        QCOMPARE(shown, QString("Редактирование записи: Измените адресс Отмена"));
    }

    void theFileDialog_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("typed"); // at once, before the folder is listed; "!" cancels
        QTest::addColumn<QString>("chosen");
        QTest::newRow("open the preset") << false << ""
                                         << "hosts";
        QTest::newRow("save over the preset") << true << ""
                                              << "hosts";
        QTest::newRow("a new name gets the extension") << true << "fresh"
                                                       << "fresh.hosts";
        QTest::newRow("an existing name does not") << true << "other"
                                                   << "other";
        QTest::newRow("a name with a dot does not") << true << "my.list"
                                                    << "my.list";
        QTest::newRow("cancelled") << false << "!"
                                   << "<cancelled>";
    }

    void theFileDialog()
    {
        QFETCH(bool, save);
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        writeBytes(m_dir.filePath("hosts"), "x\r\n");
        writeBytes(m_dir.filePath("other"), "y\r\n");
        QDir(m_dir.path()).mkdir("folder");
        const FileDialogSettings settings{"Открыть",           "hosts", "hosts",
                                          "все|*|hosts|hosts", 2,       m_dir.path()};
        QString shown;
        whenModal<QFileDialog>([&](QFileDialog* dialog) {
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            shown = dialog->windowTitle() + ' ' + dialog->selectedNameFilter() + ' '
                + dialog->directory().absolutePath() + ' ' + name->text();
            name->setFocus();
            name->selectAll();
            QTest::keyClicks(name, typed);
            auto* listing = dialog->findChild<QFileSystemModel*>();
            QVERIFY(QTest::qWaitFor(
                [&] { return listing->rowCount(listing->index(m_dir.path())) >= 2; }));
            QTest::qWait(50);
            // Russian whatever the system's locale: the headers, and the folder's and the file's
            // size, type and date (row -1 is the header; the names are the files' own).
            auto* view = dialog->findChild<QTreeView*>("treeView");
            QString listed;
            for (int column = 0; column < 4; ++column)
                for (int row = -1; row < (column ? 2 : 0); ++row)
                    listed +=
                        (row < 0 ? view->model()->headerData(column, Qt::Horizontal)
                                 : view->model()->index(row, column, view->rootIndex()).data())
                            .toString()
                        + ", ";
            QVERIFY2(!listed.contains(QRegularExpression("[A-Za-z]")), qPrintable(listed));
            QTest::keyClick(name, typed == "!" ? Qt::Key_Escape : Qt::Key_Return);
        });
        const auto path =
            save ? m_dialogs.chooseSavePath(settings) : m_dialogs.chooseOpenPath(settings);
        QCOMPARE(path.value_or(m_dir.filePath("<cancelled>")), m_dir.filePath(chosen));
        QCOMPARE(shown, "Открыть hosts (hosts) " + m_dir.path() + " hosts");
    }
};

QTEST_MAIN(TestRealDialogs)
#include "test_real_dialogs.moc"
