// The File menu through the window: what each command asks, reads and writes.
#include "file_bytes.h"
#include "host_list_entries.h"
#include "main_window.h"
#include "modal.h"
#include "qt_dialogs.h"
#include "scripted_dialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace zarvello;

namespace {

struct Window {
    ScriptedDialogs dialogs;
    MainWindow window{dialogs};
    EditorState& state = window.state();

    void trigger(const char* item) { window.findChild<QAction*>(item)->trigger(); }
    void open(const std::optional<QString>& answer)
    {
        dialogs.pathAnswers.enqueue(answer);
        trigger("open");
    }
    void saveAs(const std::optional<QString>& answer)
    {
        dialogs.pathAnswers.enqueue(answer);
        trigger("save_as");
    }
    bool saveEnabled() { return window.findChild<QAction*>("save")->isEnabled(); }
    bool autosaveEnabled() { return window.findChild<QCheckBox*>("Check1")->isEnabled(); }
    void add(const QString& name)
    {
        window.findChild<QLineEdit*>("Text1")->setText(name);
        QTest::mouseClick(window.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    }
};

} // namespace

class TestFileCommands : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void dialogSettingsPersistBetweenUses()
    {
        Window w;
        w.saveAs(std::nullopt);
        FileDialogSettings expected{false, "Сохраняемся", "hosts", "", "", 0, "/etc"};
        QCOMPARE(w.dialogs.saveDialogs.constLast(), expected);

        writeBytes(path("hosts"), "x\r\n");
        w.open(path("hosts"));
        expected = {false, "Открыть", "hosts", "hosts", "hosts|hosts", 1, "/etc"};
        QCOMPARE(w.dialogs.openDialogs.constLast(), expected);
        QCOMPARE(w.window.fileDialog().FileName, path("hosts"));

        // Save As keeps the Open's filter and extension and starts beside the open file.
        w.saveAs(std::nullopt);
        expected = {false, "Сохраняемся", "hosts", "hosts", "hosts|hosts", 1, m_dir.path()};
        QCOMPARE(w.dialogs.saveDialogs.constLast(), expected);
    }

    void openListsTheFileAndEnablesSaving()
    {
        writeBytes(path("three"), "b.example\r\nA.example\rc.example");
        Window w;
        w.state.StartUp();
        w.open(path("three"));
        QCOMPARE(entriesOf(w.state.hostList()), (QStringList{"A.example", "b.example", "c.example"}));
        QCOMPARE(w.state.currentPath(), path("three"));
        QVERIFY(w.saveEnabled());
        QVERIFY(w.autosaveEnabled());
        QVERIFY(w.dialogs.messages.isEmpty());

        w.open(path("three"));
        QCOMPARE(entriesOf(w.state.hostList()), (QStringList{"A.example", "A.example", "b.example", "b.example",
                                                            "c.example", "c.example"}));
    }

    void aFailedOpenReportsAndSetsNothing()
    {
        Window w;
        w.open(path("missing"));
        QCOMPARE(w.dialogs.messages.size(), 1);
        QCOMPARE(w.dialogs.messages.at(0).prompt,
                 QString("Не удалось прочитать файл «%1»: нет такого файла или папки.").arg(path("missing")));
        QVERIFY(!w.saveEnabled());
        QVERIFY(!w.autosaveEnabled());
        QCOMPARE(w.state.currentPath(), QString());

        // After a good Open, a refused one leaves Save pointing at the good file.
        writeBytes(path("good"), "good\r\n");
        w.open(path("good"));
        QVERIFY(QDir(m_dir.path()).mkpath("a-folder"));
        w.open(path("a-folder"));
        QCOMPARE(w.dialogs.messages.size(), 2);
        QCOMPARE(w.state.currentPath(), path("good"));
        w.trigger("save");
        QCOMPARE(readBytes(path("good")), QByteArray("good\r\n"));
        QVERIFY(QFileInfo(path("a-folder")).isDir());
    }

    void saveWritesBackInSortedOrder()
    {
        writeBytes(path("unsorted"), "zeta\r\n# comment\r\nAlpha\r\n\r\n");
        Window w;
        w.open(path("unsorted"));
        w.trigger("save");
        QCOMPARE(readBytes(path("unsorted")), QByteArray("\r\n# comment\r\nAlpha\r\nzeta\r\n"));
    }

    void saveAsChoosesTheFileThatLaterSavesGoTo()
    {
        Window w;
        w.add("first.example");
        w.saveAs(path("new-hosts"));
        QCOMPARE(readBytes(path("new-hosts")), QByteArray("127.0.0.1 first.example ##\r\n"));
        QCOMPARE(w.state.currentPath(), path("new-hosts"));
        QVERIFY(w.saveEnabled());
        QVERIFY(w.autosaveEnabled());

        QTest::mouseClick(w.window.findChild<QCheckBox*>("Check1"), Qt::LeftButton);
        w.add("second.example");
        QCOMPARE(readBytes(path("new-hosts")), QByteArray("127.0.0.1 first.example ##\r\n127.0.0.1 second.example ##\r\n"));
    }

    void aFailedSaveAsHasAlreadyTakenThePath()
    {
        Window w;
        const QString target = path("no-folder/hosts");
        w.saveAs(target);
        QCOMPARE(w.dialogs.messages.size(), 1);
        QVERIFY(w.dialogs.messages.at(0).prompt.startsWith(QString("Не удалось сохранить файл «%1»").arg(target)));
        QCOMPARE(w.state.currentPath(), target);
        QVERIFY(w.saveEnabled());
        QVERIFY(w.autosaveEnabled());
    }

    void cancelledDialogsChangeNothing()
    {
        writeBytes(path("kept"), "kept.example\r\n");
        Window w;
        w.open(path("kept"));
        const QByteArray before = readBytes(path("kept"));
        const QStringList filesBefore = QDir(m_dir.path()).entryList(QDir::Files);
        const QStringList filesInWorkingFolder = QDir().entryList(QDir::Files);

        w.open(std::nullopt);
        w.saveAs(std::nullopt);
        QCOMPARE(w.state.currentPath(), path("kept"));
        QCOMPARE(entriesOf(w.state.hostList()), QStringList{"kept.example"});
        QVERIFY(w.saveEnabled());
        QCOMPARE(readBytes(path("kept")), before);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), filesBefore);
        QCOMPARE(QDir().entryList(QDir::Files), filesInWorkingFolder); // no relative "hosts" either
        QVERIFY(w.dialogs.messages.isEmpty());

        Window fresh;
        fresh.state.StartUp();
        fresh.open(std::nullopt);
        QVERIFY(!fresh.saveEnabled());
        QVERIFY(!fresh.autosaveEnabled());
    }

    void realFileDialogTakesTheSettingsAndGivesThePath()
    {
        writeBytes(path("hosts"), "x\r\n");
        writeBytes(path("other.txt"), "y\r\n");
        QWidget parent;
        QtDialogs dialogs(&parent);
        FileDialogSettings settings{false, "Открыть", "hosts", "hosts", "hosts|hosts", 1, m_dir.path()};

        QString title, filter, preset, directory;
        QStringList filters;
        whenModal<QFileDialog>([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            filter = dialog->selectedNameFilter();
            directory = dialog->directory().absolutePath();
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            preset = name->text();
            QTest::keyClick(name, Qt::Key_Return);
        });
        QCOMPARE(dialogs.chooseOpenPath(settings).value_or("<cancelled>"), path("hosts")); // never hosts.hosts
        QCOMPARE(title, QString("Открыть"));
        QCOMPARE(filters, QStringList{"hosts (hosts)"});
        QCOMPARE(filter, QString("hosts (hosts)"));
        QCOMPARE(preset, QString("hosts"));
        QCOMPARE(directory, m_dir.path());

        // Saving: a new name gets the extension, an existing file is replaced without a question.
        settings.title = "Сохраняемся";
        whenModal<QFileDialog>([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            // Once the folder is listed the dialog selects the preset file; type after that.
            auto* listing = dialog->findChild<QListView*>("listView");
            QVERIFY(QTest::qWaitFor([&] { return listing->model()->rowCount(listing->rootIndex()) >= 2; }));
            QCoreApplication::processEvents();
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            name->setText("fresh");
            QTest::keyClick(name, Qt::Key_Return);
        });
        QCOMPARE(dialogs.chooseSavePath(settings).value_or("<cancelled>"), path("fresh.hosts"));
        QCOMPARE(title, QString("Сохраняемся"));
        whenModal<QFileDialog>([&](QFileDialog* dialog) { QTest::keyClick(dialog->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return); });
        QCOMPARE(dialogs.chooseSavePath(settings).value_or("<cancelled>"), path("hosts"));

        whenModal<QFileDialog>([&](QFileDialog* dialog) { dialog->reject(); });
        QCOMPARE(dialogs.chooseOpenPath(settings), std::nullopt);

        // With no filter set (a Save As before any Open) every file is listed.
        whenModal<QFileDialog>([&](QFileDialog* dialog) {
            filters = dialog->nameFilters();
            dialog->reject();
        });
        dialogs.chooseSavePath({false, "Сохраняемся", "hosts", "", "", 0, m_dir.path()});
        QCOMPARE(filters, QStringList{"All Files (*)"}); // Qt's own, untranslated here
    }
};

QTEST_MAIN(TestFileCommands)
#include "test_file_commands.moc"
