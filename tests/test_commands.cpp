// SPDX-License-Identifier: GPL-3.0-or-later
// The entry commands and the file commands: what each adds, asks, reads, shows and writes.
#include "host_list_view.h"
#include "window_support.h"

struct Adding {
    QStringList inputs;             // typed, each followed by Enter
    bool autosave = false;          // whether the box is ticked
    QStringList entries;            // the list then
    QByteArray saved = "<missing>"; // the file then
};

struct Opening {
    std::optional<QString> answer; // the Open dialog's; nothing for a cancel
    QStringList entries;           // the list then, which held "listed"
    QString path;                  // the current path then
    bool enabled = false;          // Save and autosave
    QString message;               // what the person is told
};

struct Outside {
    QByteArray opened, changed; // what Open reads, and what another program then leaves there
    QByteArray saved;           // what the file holds after the person's next save
    QString told;               // what the person is told
};

class TestCommands : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    // A file in the test's folder, or an absolute path.
    QString path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }

private slots:
    // The files Open is given: three lines, and the ones it refuses.
    void initTestCase()
    {
        writeBytes(path("three"), "b.example\r\nA.example\rc.example");
        QVERIFY(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600) == 0);
        QFile large(path("large"));
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(MaxHostsFileSize + 1));
        // One more line than the list has room for, the last one without a line end.
        writeBytes(path("many"),
                   "xxxxxxxxxxx\r" + QByteArray("xxx\r").repeated(HostList::MaxCount - 2) + "z");
    }

    void addEntry_data()
    {
        QTest::addColumn<Adding>("a");
        const QString foo = "127.0.0.1 foo ##";
        QTest::newRow("a name") << Adding{.inputs = {"foo"}, .entries = {foo}};
        QTest::newRow("sorted, twice")
            << Adding{.inputs = {"b", "a", "b"},
                      .entries = {"127.0.0.1 a ##", "127.0.0.1 b ##", "127.0.0.1 b ##"}};
        QTest::newRow("empty") << Adding{.inputs = {""}};
        QTest::newRow("a space") << Adding{.inputs = {" "}, .entries = {"127.0.0.1   ##"}};
        QTest::newRow("pasted line breaks")
            << Adding{.inputs = {"a\r\nb\rc\nd"}, .entries = {"127.0.0.1 a b c d ##"}};
        QTest::newRow("autosaved") << Adding{.inputs = {"foo", "bar"},
                                             .autosave = true,
                                             .entries = {"127.0.0.1 bar ##", foo},
                                             .saved = "127.0.0.1 bar ##\r\n127.0.0.1 foo ##\r\n"};
        QTest::newRow("empty, autosaved all the same")
            << Adding{.inputs = {""}, .autosave = true, .saved = ""};
    }

    void addEntry()
    {
        QFETCH(Adding, a);
        EditorState state;
        QAbstractItemModelTester model(&state.hostList());
        ScriptedDialogs dialogs;
        Saver saver;
        state.setCurrentPath(path(QTest::currentDataTag()));
        state.setAutosaveValue(a.autosave);
        for (const QString& input : a.inputs)
            QVERIFY(AddEntry(state, dialogs, saver, input));
        QCOMPARE(dialogs.messages,
                 QStringList(a.inputs.count(""), "Не майтесь дурью: Введите хоть что-нибудь"));
        QCOMPARE(entriesOf(state.hostList()), a.entries);
        QCOMPARE(readBytes(state.currentPath()), a.saved);
    }

    // Another program changes the opened file; the person then adds x with autosave, having
    // retyped the entry e as E. What that program wrote stays, and what it removed goes.
    void aSaveTakesInWhatAnotherProgramChanged_data()
    {
        QTest::addColumn<Outside>("o");
        const auto merged = [](int added, int removed) {
            return QString("Сохранение: Файл «%3» изменила другая программа. Её изменения взяты в "
                           "список, и он сохранён: строк добавлено — %1, убрано — %2.")
                .arg(added)
                .arg(removed);
        };
        const QByteArray x = "127.0.0.1 x ##\r\n";
        QTest::newRow("a line added, as the last one was")
            << Outside{"a\r\nb\r\n", "a\r\nb\r\nb\r\n", x + "a\r\nb\r\nb\r\n", merged(1, 0)};
        QTest::newRow("a line removed")
            << Outside{"a\r\nb\r\n", "b\r\n", x + "b\r\n", merged(0, 1)};
        QTest::newRow("one of two equal lines removed")
            << Outside{"a\r\na\r\nb\r\n", "a\r\nb\r\n", x + "a\r\nb\r\n", merged(0, 1)};
        QTest::newRow("a retyped line removed there stays")
            << Outside{"a\r\ne\r\n", "a\r\n", x + "a\r\nE\r\n", ""};
        // What a writer that failed leaves is no edit: the file is written anew from the list.
        const auto anew = [](const char* what) {
            return QString("Сохранение: Файл «%3» %1 после того, как программа его открыла или "
                           "сохранила. Он записан заново из списка.")
                .arg(what);
        };
        QTest::newRow("emptied") << Outside{"a\r\nb\r\n", "", x + "a\r\nb\r\n", anew("опустел")};
        QTest::newRow("cut inside a line") << Outside{"a\r\nbc\r\n", "a\r\nb", x + "a\r\nbc\r\n",
                                                      anew("оказался обрезан посреди строки")};
        QTest::newRow("cut between CR and LF") << Outside{"a\r\nb\r\n", "a\r", x + "a\r\nb\r\n",
                                                          anew("оказался обрезан посреди строки")};
        QTest::newRow("cut at a line end")
            << Outside{"a\r\nb\r\n", "a\r\n", x + "a\r\n", merged(0, 1)};
        QTest::newRow("only touched") << Outside{"a\r\nb\r\n", "<touched>", x + "a\r\nb\r\n", ""};
        QTest::newRow("only reordered")
            << Outside{"a\r\nb\r\nc\r\n", "c\r\nb\r\na\r\n", x + "a\r\nb\r\nc\r\n", ""};
        QTest::newRow("gone") << Outside{"a\r\nb\r\n", "<missing>", x + "a\r\nb\r\n",
                                         anew("пропал или перестал читаться")};
        const QByteArray full = QByteArray("y\r\n").repeated(HostList::MaxCount);
        QTest::newRow("grown past the list's room")
            << Outside{"a\r\nb\r\n", full, full,
                       "Ошибка: Файл «%3» не сохранён: его изменила другая программа, и с её "
                       "строками в списке стало бы больше 32767 записей, а больше он не вмещает. "
                       "Файл и список остались прежними."};
    }

    void aSaveTakesInWhatAnotherProgramChanged()
    {
        QFETCH(Outside, o);
        const QString file = path(QTest::currentDataTag());
        EditorState state;
        QAbstractItemModelTester model(&state.hostList());
        ScriptedDialogs dialogs;
        Saver saver;
        writeBytes(file, o.opened);
        QVERIFY(!LoadHostsFile(state, file));
        state.setCurrentPath(file);
        state.setAutosaveValue(true);
        const int e = int(state.hostList().lines().indexOf("e"));
        state.hostList().SetItem(e, "E");
        if (o.changed == "<missing>")
            QVERIFY(QFile::remove(file));
        else if (o.changed == "<touched>")
            QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), nullptr, 0) == 0);
        else // as most programs do: a new file renamed over the old one
            QVERIFY((writeBytes(file + ".new", o.changed),
                     ::rename(QFile::encodeName(file + ".new").constData(),
                              QFile::encodeName(file).constData())
                         == 0));
        QVERIFY(AddEntry(state, dialogs, saver, "x"));
        QCOMPARE(readBytes(file), o.saved);
        QCOMPARE(dialogs.messages.join(' '), o.told.isEmpty() ? QString() : o.told.arg(file));
        QCOMPARE(state.hostList().Count(),
                 o.told.startsWith("Ошибка") ? 3 : int(o.saved.count('\n')));
    }

    // A save that wrote the file and then failed leaves no line to be taken in twice.
    void aSaveThatWroteBeforeFailingIsTheBase()
    {
        EditorState state;
        ScriptedDialogs dialogs;
        Saver saver(nullptr,
                    [](const QString& path, const QByteArray& bytes, const auto& expected,
                       Fingerprint* written) {
                        return Saver::writeAsOwner(path, bytes, expected, written)
                            ? std::nullopt
                            : std::optional(FileError{path,
                                                      FileError::Operation::Write,
                                                      {},
                                                      EIO,
                                                      FileError::FileState::WrittenNotDurable});
                    });
        writeBytes(path("written, not durable"), "");
        QVERIFY(!LoadHostsFile(state, path("written, not durable")));
        state.setCurrentPath(path("written, not durable"));
        state.setAutosaveValue(true);
        QVERIFY(AddEntry(state, dialogs, saver, "x") && AddEntry(state, dialogs, saver, "y")
                && dialogs.messages.size() == 2);
        QCOMPARE(readBytes(state.currentPath()),
                 QByteArray("127.0.0.1 x ##\r\n127.0.0.1 y ##\r\n"));
    }

    // Another program appends a line right before the save would replace the file, at as many
    // tries as a row says, or right after it did; the person adds x, then y. Nothing is lost.
    void aSaveRacedByAnotherProgram_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QStringList>("told");
        const QString merged = "Сохранение: Файл «%1» изменила другая программа. Её изменения "
                               "взяты в список, и он сохранён: строк добавлено — %2, убрано — 0.";
        const QByteArray xy = "127.0.0.1 x ##\r\n127.0.0.1 y ##\r\na\r\n";
        QTest::newRow("once") << 1 << 0 << xy + "late\r\n" << QStringList{merged.arg("%1", "1")};
        QTest::newRow("at every try")
            << 5 << 0 << xy + QByteArray("late\r\n").repeated(5)
            << QStringList{"Ошибка: Не удалось сохранить файл «%1»: его раз за разом меняет другая "
                           "программа. Файл остался прежним. Изменения другой программы уже взяты "
                           "в список: строк добавлено — 4, убрано — 0.",
                           merged.arg("%1", "1")};
        QTest::newRow("right after the save") << 0 << 1 << xy + "late\r\n"
                                              << QStringList{merged.arg("%1", "1")};
    }

    void aSaveRacedByAnotherProgram()
    {
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(QByteArray, saved);
        QFETCH(QStringList, told);
        const QString file = path(QTest::currentDataTag());
        const auto append = [&] {
            QFile other(file);
            QVERIFY(other.open(QIODevice::Append) && other.write("late\r\n") == 6);
        };
        Saver saver(nullptr,
                    [&](const QString& path, const QByteArray& bytes, const auto& expected,
                        Fingerprint* written) {
                        if (before-- > 0)
                            append();
                        const auto error = Saver::writeAsOwner(path, bytes, expected, written);
                        if (!error && after-- > 0)
                            append();
                        return error;
                    });
        EditorState state;
        ScriptedDialogs dialogs;
        writeBytes(file, "a\r\n");
        QVERIFY(!LoadHostsFile(state, file));
        state.setCurrentPath(file);
        state.setAutosaveValue(true);
        QVERIFY(AddEntry(state, dialogs, saver, "x") && AddEntry(state, dialogs, saver, "y"));
        QCOMPARE(readBytes(file), saved);
        QCOMPARE(dialogs.messages, told.replaceInStrings("%1", file));
    }

    void whatCannotBeDoneIsSaid()
    {
        EditorState full, unsaved;
        ScriptedDialogs dialogs;
        Saver saver;
        QVERIFY(full.hostList().addLines(QList<QByteArray>(HostList::MaxCount - 2, "x"))
                && !full.hostList().addLines({"a", "b", "c"}));
        QVERIFY(AddEntry(full, dialogs, saver, "y") && full.hostList().addLines({"z"})
                && full.hostList().Count() == HostList::MaxCount);
        QVERIFY(!AddEntry(full, dialogs, saver, "foo")); // the field keeps the name
        unsaved.setAutosaveValue(true);
        unsaved.setCurrentPath(path("missing/hosts"));
        QVERIFY(AddEntry(unsaved, dialogs, saver, "foo") && unsaved.hostList().Count() == 1);
        QCOMPARE(dialogs.messages,
                 QStringList({"Ошибка: Список полон: в нём уже 32767 записей, больше добавить "
                              "нельзя. Запись «foo» не добавлена.",
                              "Ошибка: "
                                  + FileError{path("missing/hosts"), FileError::Operation::Write,
                                              FileError::Reason::System, ENOENT}
                                        .message()}));
    }

    void theViewHearsOfEachChange()
    {
        HostList list;
        QSignalSpy added(&list, &HostList::rowsInserted), reset(&list, &HostList::modelReset),
            changed(&list, &HostList::dataChanged);
        list.AddItem("b");
        list.SetItem(0, "z");
        list.SetItem(1, "past the end");
        QVERIFY(list.addLines({"x"}) && list.Item(-1).isNull() && list.Item(2).isNull());
        QCOMPARE(QList<qsizetype>({added.size(), reset.size(), changed.size()}),
                 QList<qsizetype>({1, 1, 1}));
    }

    // Each click on an entry and each move of the selection asks for the entry anew.
    void editEntry()
    {
        WindowFixture w;
        QAbstractItemModelTester model(&w.state.hostList());
        w.state.hostList().addLines({"a", "b", "c", "d"});
        w.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        auto* list = w.get<HostListView>("List1");
        const QPoint second = list->visualRect(w.state.hostList().index(1)).center();
        w.dialogs.answers << std::nullopt << "z" << std::nullopt << std::nullopt << std::nullopt
                          << std::nullopt << "";
        QTest::keyClick(list, Qt::Key_Down); // with nothing selected, the first entry
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          second); // retyped, it is not sorted again
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          second); // the selected entry opens again
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          QPoint(5, list->viewport()->height() - 3)); // no entry
        EditEntry(w.state, w.dialogs, 4);                             // nor past the last one
        for (const Qt::Key key :
             {Qt::Key_Down, Qt::Key_End, Qt::Key_Up, Qt::Key_Home, Qt::Key_Up}) // Home: emptied
            QTest::keyClick(list, key);
        QStringList defaults;
        for (const QString& question : w.dialogs.questions)
            defaults << question.section('[', 1).chopped(1);
        QCOMPARE(
            defaults,
            QStringList({"a", "b", "z", "c", "d", "c", "a"})); // Up at the first entry asks nothing
        QCOMPARE(w.dialogs.questions.constFirst(),
                 QString("Редактирование записи: Измените адресс [a]"));
        QCOMPARE(entriesOf(w.state.hostList()), QStringList({"", "z", "c", "d"}));
    }

    void open_data()
    {
        QTest::addColumn<Opening>("o");
        QTest::newRow("three lines") << Opening{
            path("three"), {"A.example", "b.example", "c.example", "listed"}, path("three"), true};
        QTest::newRow("cancelled") << Opening{.answer = std::nullopt, .entries = {"listed"}};
        QTest::newRow("no path") << Opening{.answer = QString(), .entries = {"listed"}};
        // A file that is not loaded adds nothing; the message names the reason and the limit.
        const auto refused = [&](const char* tag, const QString& name, FileError::Reason reason,
                                 int error, int maxEntries = 0, int maxMebibytes = 0) {
            const FileError expected{
                path(name),  FileError::Operation::Read, reason, error, {}, maxEntries,
                maxMebibytes};
            QTest::newRow(tag) << Opening{.answer = path(name),
                                          .entries = {"listed"},
                                          .message = errorTitle + ": " + expected.message()};
        };
        refused("missing", "missing", FileError::Reason::System, ENOENT);
        refused("a folder", ".", FileError::Reason::System, EISDIR);
        refused("a FIFO", "fifo", FileError::Reason::NotRegularFile, 0);
        refused("a device", "/dev/zero", FileError::Reason::NotRegularFile, 0);
        refused("a read that fails", "/proc/self/mem", FileError::Reason::System, EIO);
        refused("too large", "large", FileError::Reason::TooLarge, 0, 0, 128);
        refused("grown past that while read", "/proc/self/pagemap", FileError::Reason::TooLarge, 0,
                0, 128); // its size says 0
        refused("too many lines", "many", FileError::Reason::TooManyEntries, 0, HostList::MaxCount);
    }

    void open()
    {
        QFETCH(Opening, o);
        WindowFixture w;
        QAbstractItemModelTester model(&w.state.hostList());
        w.state.hostList().AddItem("listed");
        w.dialogs.answers << o.answer;
        QVERIFY(w.trigger("open"));
        QCOMPARE(entriesOf(w.state.hostList()), o.entries);
        QCOMPARE(w.state.currentPath(), o.path);
        QCOMPARE(w.state.saveEnabled() && w.state.autosaveEnabled(), o.enabled);
        QCOMPARE(w.state.saveEnabled() || w.state.autosaveEnabled(), o.enabled);
        QCOMPARE(w.dialogs.messages.join(' '), o.message);
    }

    void savesGoWhereTheFileWasChosen()
    {
        writeBytes(path("opened"), "b\rA\r\n");
        WindowFixture w;
        QVERIFY(!w.trigger("save"));
        w.state.hostList().addLines({"x"});
        w.dialogs.answers << path("saved") << path("opened") << std::nullopt;
        QVERIFY(w.trigger("save_as")); // before any Open, it enables Save and autosave
        QCOMPARE(readBytes(path("saved")), QByteArray("x\r\n"));
        QTest::mouseClick(w.get<QCheckBox>("Check1"), Qt::LeftButton);
        w.get<QLineEdit>("Text1")->setText("c");
        QTest::mouseClick(w.get<QPushButton>("Command1"), Qt::LeftButton);
        QCOMPARE(readBytes(path("saved")), QByteArray("127.0.0.1 c ##\r\nx\r\n"));
        QVERIFY(w.trigger("open") && w.trigger("save") && w.trigger("save_as"));
        QCOMPARE(readBytes(path("opened")), QByteArray("127.0.0.1 c ##\r\nA\r\nb\r\nx\r\n"));
        QCOMPARE(readBytes(path("saved")), QByteArray("127.0.0.1 c ##\r\nx\r\n"));
        // Each dialog starts beside the file, or in /etc before there is one; the Open's filter
        // stays.
        const QList<std::pair<QString, FileDialogSettings>> expected{
            {"save", {"Сохраняемся", "hosts", "", "", 0, "/etc"}},
            {"open", {"Открыть", "hosts", "hosts", "hosts|hosts", 1, m_dir.path()}},
            {"save", {"Сохраняемся", "hosts", "hosts", "hosts|hosts", 1, m_dir.path()}}};
        QCOMPARE(w.dialogs.fileDialogs, expected);
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
