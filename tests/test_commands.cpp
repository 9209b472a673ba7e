// SPDX-License-Identifier: GPL-3.0-or-later
// The entry commands and the file commands: what each adds, asks, reads, shows and writes, and in
// what order the list holds it.
#include "fuzz/fuzz_support.h"
#include "host_list_view.h"
#include "window_support.h"

struct Adding {
    QStringList inputs;    // typed, each followed by Enter
    QStringList entries;   // the list then
    bool autosave = false; // whether the box is ticked, and so the file then holds the list
};

struct Opening {
    std::optional<QString> answer;    // the Open dialog's; nothing for a cancel
    QStringList entries = {"listed"}; // the list then, which held "listed"
    QString path;                     // the current path then
    bool enabled = false;             // Save and autosave
    QString message;                  // what the person is told
};

struct Outside {
    QByteArray opened, changed; // what Open reads, and what another program then leaves there
    QByteArray saved;           // what the file holds after the person's next save
    QString told;               // what the person is told
};

// What a save tells of another program's changes it took in; %1 stays for the file.
QString merged(int added, int removed)
{
    return QString("Сохранение: Файл «%1» изменила другая программа. Её изменения взяты в "
                   "список, и он сохранён: строк добавлено — %2, убрано — %3.")
        .arg("%1", QString::number(added), QString::number(removed));
}

class TestCommands : public QObject {
    Q_OBJECT
    using E = FileError;
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
        const QString a = "127.0.0.1 a ##", b = "127.0.0.1 b ##", foo = "127.0.0.1 foo ##";
        QTest::newRow("a name") << Adding{{"foo"}, {foo}};
        QTest::newRow("sorted, twice") << Adding{{"b", "a", "b"}, {a, b, b}};
        QTest::newRow("empty") << Adding{{""}};
        QTest::newRow("a space") << Adding{{" "}, {"127.0.0.1   ##"}};
        QTest::newRow("pasted line breaks") << Adding{{"a\r\nb\rc\nd"}, {"127.0.0.1 a b c d ##"}};
        QTest::newRow("autosaved") << Adding{{"foo", "bar"}, {"127.0.0.1 bar ##", foo}, true};
        // A name beyond ASCII also in the form programs look it up by, before any comment.
        QTest::newRow("IDNA") << Adding{{"пример.рф"},
                                        {"127.0.0.1 пример.рф xn--e1afmkfd.xn--p1ai ##"}};
        QTest::newRow("IDNA, a comment") << Adding{
            {"Пример.рф a.b #мой"}, {"127.0.0.1 Пример.рф xn--e1afmkfd.xn--p1ai a.b #мой ##"}};
        QTest::newRow("IDNA, transitional too") << Adding{
            {"straße.de ü"}, {"127.0.0.1 straße.de ü xn--strae-oqa.de strasse.de xn--tda ##"}};
        QTest::newRow("IDNA, none for ASCII or a name none can look up")
            << Adding{{"Ads.EXAMPLE a..рф"}, {"127.0.0.1 Ads.EXAMPLE a..рф ##"}};
        QTest::newRow("empty, autosaved all the same") << Adding{{""}, {}, true};
    }

    void addEntry()
    {
        QFETCH(Adding, a);
        Fixture f;
        f.state.setCurrentPath(path(QTest::currentDataTag()));
        f.state.setAutosaveValue(a.autosave);
        for (const QString& input : a.inputs)
            QVERIFY(f.add(input));
        QCOMPARE(f.dialogs.messages,
                 QStringList(a.inputs.count(""), "Не майтесь дурью: Введите хоть что-нибудь"));
        QCOMPARE(entriesOf(f.state.hostList()), a.entries);
        QCOMPARE(readBytes(f.state.currentPath()), a.autosave ? crlf(a.entries) : "<missing>");
    }

    // Another program changes the opened file; the person then adds x with autosave, having
    // retyped the entry e as E. What that program wrote stays, and what it removed goes.
    void aSaveTakesInWhatAnotherProgramChanged_data()
    {
        QTest::addColumn<Outside>("o");
        // What a writer that failed leaves is no edit: the file is written anew from the list.
        const auto anew = [](const char* what) {
            return QString("Сохранение: Файл «%1» %2 после того, как программа его открыла или "
                           "сохранила. Он записан заново из списка.")
                .arg("%1", what);
        };
        const QString cut = anew("оказался обрезан посреди строки");
        // The file saved holds x first, then what a row says.
        const auto row = [](auto tag, auto opened, auto changed, QByteArray then, QString told) {
            QTest::newRow(tag) << Outside{opened, changed, "127.0.0.1 x ##\r\n" + then, told};
        };
        const QByteArray ab = "a\r\nb\r\n";
        row("a line added, as the last one was", ab, ab + "b\r\n", ab + "b\r\n", merged(1, 0));
        row("a line removed", ab, "b\r\n", "b\r\n", merged(0, 1));
        row("two lines removed", "a\r\nb\r\nc\r\n", "b\r\n", "b\r\n", merged(0, 2));
        row("one of two equal lines removed", "a\r\na\r\nb\r\n", ab, ab, merged(0, 1));
        row("a retyped line removed there stays", "a\r\ne\r\n", "a\r\n", "a\r\nE\r\n", "");
        // Lines that end in LF alone are one entry; inside it the merge goes line by line.
        const QByteArray aez = "a\ne\nz\r\n";
        row("a line added inside an entry", aez, "a\ne\ny\nz\r\n", "a\nE\ny\nz\r\n", merged(1, 0));
        row("a line removed inside an entry", "a\ne\nb\nz\r\n", "e\nb\nz\r\n", "E\nb\nz\r\n",
            merged(0, 1));
        row("a retyped line removed inside an entry stays", aez, "a\nz\r\n", "a\nE\nz\r\n", "");
        row("an entry of other lines gained before it", aez, "b\nc\r\na\ne\ny\nz\r\n",
            "a\nE\ny\nz\r\nb\nc\r\n", merged(2, 0));
        row("a retyped line changed inside an entry", aez, "a\nf\nz\r\n", "a\nE\nf\nz\r\n",
            merged(1, 0));
        row("emptied", ab, "", ab, anew("опустел"));
        row("cut inside a line", "a\r\nbc\r\n", "a\r\nb", "a\r\nbc\r\n", cut);
        row("cut between CR and LF", ab, "a\r", ab, cut);
        row("cut after a line feed alone, which ends no line", "a\nb\r\n", "a\n", "a\nb\r\n", cut);
        row("cut at a line end", ab, "a\r\n", "a\r\n", merged(0, 1));
        row("only touched", ab, "<touched>", ab, "");
        row("only reordered", "a\r\nb\r\nc\r\n", "c\r\nb\r\na\r\n", "a\r\nb\r\nc\r\n", "");
        row("gone", ab, "<missing>", ab, anew("пропал или перестал читаться"));
        const QByteArray full = QByteArray("y\r\n").repeated(HostList::MaxCount);
        QTest::newRow("grown past the list's room")
            << Outside{ab, full, full,
                       "Ошибка: Файл «%1» не сохранён: его изменила другая программа, и с её "
                       "строками в списке стало бы больше 32767 записей, а больше он не вмещает. "
                       "Файл и список остались прежними."};
    }

    void aSaveTakesInWhatAnotherProgramChanged()
    {
        QFETCH(Outside, o);
        const QString file = path(QTest::currentDataTag());
        Fixture f;
        QVERIFY(f.openWithAutosave(file, o.opened));
        // The person retypes the line e as E, an entry or a line of one.
        for (int i = 0; i < f.state.hostList().Count(); ++i)
            if (const auto line = f.state.hostList().lines()[i].split('\n').indexOf("e"); line >= 0)
                f.dialogs.answers << "E", EditEntry(f.state, f.dialogs, i, int(line));
        if (o.changed == "<missing>")
            QVERIFY(QFile::remove(file));
        else if (o.changed == "<touched>")
            QVERIFY(::utimensat(AT_FDCWD, qPrintable(file), nullptr, 0) == 0);
        else // as most programs do: a new file renamed over the old one
            QVERIFY((writeBytes(file + ".new", o.changed),
                     ::rename(qPrintable(file + ".new"), qPrintable(file)) == 0));
        QVERIFY(f.add("x"));
        QCOMPARE(readBytes(file), o.saved);
        QCOMPARE(f.dialogs.messages.join(' '), o.told.isEmpty() ? QString() : o.told.arg(file));
        QCOMPARE(f.state.hostList().Count(),
                 o.told.startsWith("Ошибка") ? 3 : int(o.saved.count("\r\n")));
    }

    // A save that wrote the file and then failed, or whose helper, given up on, writes it later,
    // leaves no line to be taken in twice.
    void aSaveThatWroteBeforeFailingIsTheBase_data()
    {
        QTest::addColumn<bool>("late");
        QTest::newRow("written, not durable") << false;
        QTest::newRow("written by a helper given up on") << true;
    }

    void aSaveThatWroteBeforeFailingIsTheBase()
    {
        QFETCH(bool, late);
        const QString file = path(QTest::currentDataTag());
        QByteArray given; // what the helper given up on writes
        const auto writer = [&](const QString& path, const QByteArray& bytes, const auto&... rest) {
            const E unanswered = E::writing(path, 0, E::Reason::NoAnswer, E::FileState::OldOrNew);
            if (late && given.isEmpty())
                return given = bytes, std::optional(unanswered);
            const E written = E::writing(path, EIO, {}, E::FileState::WrittenNotDurable);
            return Saver::writeAsOwner(path, bytes, rest...) ? std::nullopt
                                                             : std::optional(written);
        };
        Fixture f{.saver = Saver(nullptr, writer)};
        QVERIFY(f.openWithAutosave(file, "") && f.add("x"));
        if (late)
            writeBytes(file, given);
        QVERIFY(f.add("y") && f.dialogs.messages.size() == 2);
        QCOMPARE(readBytes(file), crlf({"127.0.0.1 x ##", "127.0.0.1 y ##"}));
    }

    // Another program appends a line right before the save would replace the file, at as many
    // tries as a row says, or right after it did; the person adds x, then y. Nothing is lost.
    void aSaveRacedByAnotherProgram_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QStringList>("told");
        const QString once = merged(1, 0);
        const QByteArray xy = crlf({"127.0.0.1 x ##", "127.0.0.1 y ##", "a"}), late = "late\r\n";
        QTest::newRow("once") << 1 << 0 << xy + late << QStringList{once};
        QTest::newRow("at every try")
            << 5 << 0 << xy + late.repeated(5)
            << QStringList{"Ошибка: Не удалось сохранить файл «%1»: его раз за разом меняет другая "
                           "программа. Файл остался прежним. Изменения другой программы уже взяты "
                           "в список: строк добавлено — 4, убрано — 0.",
                           once};
        QTest::newRow("right after the save") << 0 << 1 << xy + late << QStringList{once};
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
        const auto writer = [&](const auto&... args) {
            if (before-- > 0)
                append();
            const auto error = Saver::writeAsOwner(args...);
            if (!error && after-- > 0)
                append();
            return error;
        };
        Fixture f{.saver = Saver(nullptr, writer)};
        QVERIFY(f.openWithAutosave(file, "a\r\n"));
        QVERIFY(f.add("x") && f.add("y"));
        QCOMPARE(readBytes(file), saved);
        QCOMPARE(f.dialogs.messages, told.replaceInStrings("%1", file));
    }

    void whatCannotBeDoneIsSaid()
    {
        Fixture full;
        HostList& list = full.state.hostList();
        EditorState unsaved;
        QVERIFY(list.addLines(QList<QByteArray>(HostList::MaxCount - 2, "x"))
                && !list.addLines({"a", "b", "c"}));
        QVERIFY(full.add("y") && list.addLines({"z"}) && list.Count() == HostList::MaxCount);
        // The field keeps the name, and a text too long.
        QVERIFY(!full.add("foo"));
        QVERIFY(!full.add(QString(MaxTypedLength + 1, 'x')) && list.Count() == HostList::MaxCount);
        // A retyped line too long is asked for again, as it was typed.
        const QString longest(MaxTypedLength, 'y'), longer = longest + 'y';
        full.dialogs.answers << longer << longer << longest;
        EditEntry(full.state, full.dialogs, 0);
        QCOMPARE(list.Item(0), longest);
        QCOMPARE(full.dialogs.questions.last(),
                 "Редактирование записи: Измените адресс [" + longer + ']');
        unsaved.setAutosaveValue(true);
        unsaved.setCurrentPath(path("missing/hosts"));
        QVERIFY(AddEntry(unsaved, full.dialogs, full.saver, "foo")
                && unsaved.hostList().Count() == 1);
        const E missing{path("missing/hosts"), E::Operation::Write, E::Reason::System, ENOENT};
        const QString tooLong = "Ошибка: Текст слишком длинный: в нём 1000001 символов, а запись "
                                "вмещает не больше 1000000. ",
                      retyped = tooLong + "Строка осталась прежней: сократите текст.";
        QCOMPARE(full.dialogs.messages,
                 QStringList({"Ошибка: Список полон: в нём уже 32767 записей, больше добавить "
                              "нельзя. Запись «foo» не добавлена.",
                              tooLong + "Запись не добавлена, текст остался в поле.", retyped,
                              retyped, "Ошибка: " + missing.message()}));
    }

    // The resolver, reading the saved file as /etc/hosts, finds each name of a pasted column of
    // 3 000, and a name beyond ASCII by its ASCII form, as programs look it up.
    void theResolverFindsWhatWasAdded()
    {
        if (QProcess::execute("unshare", {"-rm", "mount", "--bind", "/dev/null", "/etc/hosts"}))
            QSKIP("no mount namespace of our own here");
        QStringList names;
        for (int i = 0; i < 3000; ++i)
            names << QString("ads-%1.example").arg(i);
        Fixture f;
        QVERIFY(f.openWithAutosave(path("resolved"), "") && f.add(names.join('\n'))
                && f.add("пример.рф") && f.state.hostList().Count() == 2);
        QProcess getent;
        getent.start("unshare",
                     {"-rm", "sh", "-c",
                      R"(mount --bind "$0" /etc/hosts && for name; do
                                        getent ahosts "$name" | head -n 1 | cut -d ' ' -f 1; done)",
                      path("resolved"), names[0], names[1500], names[2999],
                      "xn--e1afmkfd.xn--p1ai"});
        QVERIFY(getent.waitForFinished());
        QCOMPARE(getent.readAllStandardOutput(), QByteArray("127.0.0.1\n").repeated(4));
    }

    void theViewHearsOfEachChange()
    {
        HostList list;
        QSignalSpy added(&list, &HostList::rowsInserted), reset(&list, &HostList::modelReset),
            changed(&list, &HostList::dataChanged);
        list.AddItem("b");
        list.SetItem(0, "z");
        QVERIFY(list.addLines({"x"}));
        QCOMPARE(QList<qsizetype>({added.size(), reset.size(), changed.size()}),
                 QList<qsizetype>({1, 1, 1}));
    }

    // One order, however the lines share their beginnings: case folded in any script, beyond the
    // BMP, where bytes are no UTF-8, and where a shared run ends inside a character.
    void linesTakeTheOneOrder_data()
    {
        QTest::addColumn<QByteArrayList>("letters");
        QTest::newRow("ASCII") << QByteArrayList{"a", "A", "b", "_", "1"};
        QTest::newRow("Cyrillic") << QByteArrayList{"ё", "Ё", "е", "Е", "a"};
        QTest::newRow("beyond the BMP") << QByteArrayList{"\U00010400", "\U00010428", "a", "ß"};
        QTest::newRow("all and broken bytes")
            << QByteArrayList{"a", "Ё", "ё", "\U00010400", "\U00010428", "\xff", "\xd0", "é"};
    }

    void linesTakeTheOneOrder()
    {
        QFETCH(QByteArrayList, letters);
        QRandomGenerator random(7);
        const auto word = [&](int most) {
            QByteArray word;
            for (int length = int(random.bounded(most + 1)); length > 0; --length)
                word += letters[int(random.bounded(int(letters.size())))];
            return word;
        };
        // Many lines share each of a few beginnings, as lines of a hosts file do.
        const QByteArrayList stems{word(6), word(6), word(6)};
        QList<QByteArray> lines;
        for (int i = 0; i < 400; ++i)
            lines << stems[int(random.bounded(3))] + word(6);
        HostList list;
        QVERIFY(list.addLines(lines.first(150)) && list.addLines(lines.sliced(150)));
        QCOMPARE(list.lines(), fuzz::referenceOrder(lines));
    }

    // Each click on an entry and each move of the selection asks for the entry anew.
    void editEntry()
    {
        WindowFixture w;
        w.state.hostList().addLines({"a", "b", "c", "d"});
        QVERIFY(w.showActive());
        auto* list = w.get<HostListView>("List1");
        const QPoint second = list->visualRect(list->model()->index(1, 0)).center();
        // With nothing selected, Down asks for the first entry; a click, for the second, which
        // retyped as z is not sorted again; a click on the selected entry opens it again; one
        // below the entries, or past the last, asks nothing; the entry at Home is emptied, and Up
        // at the first entry asks nothing. Every other question is cancelled.
        w.dialogs.answers.append({{}, "z", {}, {}, {}, {}, ""});
        QTest::keyClick(list, Qt::Key_Down);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          {5, list->viewport()->height() - 3});
        EditEntry(w.state, w.dialogs, 4);
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_End, Qt::Key_Up, Qt::Key_Home, Qt::Key_Up})
            QTest::keyClick(list, key);
        QStringList defaults;
        for (const QString& question : w.dialogs.questions)
            defaults << question.section('[', 1).chopped(1);
        QCOMPARE(defaults, QStringList({"a", "b", "z", "c", "d", "c", "a"}));
        QCOMPARE(w.dialogs.questions[0], QString("Редактирование записи: Измените адресс [a]"));
        QCOMPARE(entriesOf(w.state.hostList()), QStringList({"", "z", "c", "d"}));
    }

    // An entry of lines that end in LF alone shows each on a row, which is chosen and retyped as
    // an entry is; every other byte of the entry stays. The rows follow every change of the list.
    void anEntryOfLineFeedsIsRetypedLineByLine()
    {
        WindowFixture w;
        HostList& list = w.state.hostList();
        auto* view = w.get<HostListView>("List1");
        QAbstractItemModelTester rows(view->model());
        const QByteArray system = "127.0.0.1 localhost\n\u00a0\u2028\n::1 localhost\n";
        QVERIFY(list.addLines({"b", system, "z"}) && w.showActive());
        w.dialogs.answers << "::1 пример.рф" << std::nullopt << "B";
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(view->model()->index(2, 0)).center());
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Down);
        QCOMPARE(w.dialogs.questions.join(' ').remove("Редактирование записи: Измените адресс "),
                 QString("[::1 localhost] [] [b]"));
        QCOMPARE(
            list.lines(),
            QList<QByteArray>({"127.0.0.1 localhost\n\u00a0\u2028\n::1 пример.рф\n", "B", "z"}));
        list.SetItem(1, "B\nC\nD");
        list.SetItem(0, "one");
        list.SetItem(1, "B");
        list.AddItem("a\nb");
        QStringList shown;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            shown << view->model()->index(row, 0).data().toString();
        QCOMPARE(shown, QStringList({"a", "b", "one", "B", "z"}));
    }

    void open_data()
    {
        QTest::addColumn<Opening>("o");
        const QStringList three{"A.example", "b.example", "c.example", "listed"};
        QTest::newRow("three lines") << Opening{path("three"), three, path("three"), true};
        QTest::newRow("cancelled") << Opening{std::nullopt};
        QTest::newRow("no path") << Opening{QString()};
        // A file that is not loaded adds nothing; the message names the reason and the limit.
        const auto refused = [&](const char* tag, const QString& name, E::Reason reason, int error,
                                 int entries = 0, int mebibytes = 0) {
            const E e{path(name), E::Operation::Read, reason, error, {}, entries, mebibytes};
            QTest::newRow(tag) << Opening{.answer = path(name),
                                          .message = errorTitle + ": " + e.message()};
        };
        refused("missing", "missing", E::Reason::System, ENOENT);
        refused("a folder", ".", E::Reason::System, EISDIR);
        refused("a FIFO", "fifo", E::Reason::NotRegularFile, 0);
        refused("a device", "/dev/zero", E::Reason::NotRegularFile, 0);
        refused("a read that fails", "/proc/self/mem", E::Reason::System, EIO);
        refused("too large", "large", E::Reason::TooLarge, 0, 0, 128);
        // Its size says 0.
        refused("grown past that while read", "/proc/self/pagemap", E::Reason::TooLarge, 0, 0, 128);
        refused("too many lines", "many", E::Reason::TooManyEntries, 0, HostList::MaxCount);
    }

    void open()
    {
        QFETCH(Opening, o);
        WindowFixture w;
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
        const QString c = "127.0.0.1 c ##";
        writeBytes(path("opened"), "b\rA\r\n");
        WindowFixture w;
        QVERIFY(!w.trigger("save"));
        w.state.hostList().addLines({"x"});
        w.dialogs.answers << path("saved") << path("opened") << std::nullopt;
        // Before any Open, Save As enables Save and autosave.
        QVERIFY(w.trigger("save_as"));
        QCOMPARE(readBytes(path("saved")), crlf({"x"}));
        QTest::mouseClick(w.get<QCheckBox>("Check1"), Qt::LeftButton);
        w.get<QLineEdit>("Text1")->setText("c");
        QTest::mouseClick(w.get<QPushButton>("Command1"), Qt::LeftButton);
        QCOMPARE(readBytes(path("saved")), crlf({c, "x"}));
        QVERIFY(w.trigger("open") && w.trigger("save") && w.trigger("save_as"));
        QCOMPARE(readBytes(path("opened")), crlf({c, "A", "b", "x"}));
        QCOMPARE(readBytes(path("saved")), crlf({c, "x"}));
        // Each dialog starts beside the file, or in /etc before there is one; Open's filter stays.
        const QList<std::pair<QString, FileDialogSettings>> expected{
            {"save", {"Сохраняемся", "hosts", "", "", 0, "/etc"}},
            {"open", {"Открыть", "hosts", "hosts", "hosts|hosts", 1, m_dir.path()}},
            {"save", {"Сохраняемся", "hosts", "hosts", "hosts|hosts", 1, m_dir.path()}}};
        QCOMPARE(w.dialogs.fileDialogs, expected);
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
