// AddEntry and EditEntry, talking to a scripted person.
#include "editor_state.h"
#include "host_list_entries.h"
#include "file_bytes.h"
#include "entry_commands.h"
#include "hosts_file.h"
#include "scripted_dialogs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zarvello;

class TestEntryCommands : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private slots:
    void addsABlockingEntryAndClearsTheInput()
    {
        EditorState state;
        ScriptedDialogs dialogs;
        state.hostList().AddItem("127.0.0.1 zzz ##");
        QString input = "ads.example";
        input = AddEntry(state, dialogs, input) ? QString() : input;
        QCOMPARE(entriesOf(state.hostList()), (QStringList{"127.0.0.1 ads.example ##", "127.0.0.1 zzz ##"}));
        QCOMPARE(input, QString());
        QVERIFY(dialogs.messages.isEmpty());

        input = " ";
        input = AddEntry(state, dialogs, input) ? QString() : input;
        QCOMPARE(state.hostList().Item(0), QString("127.0.0.1   ##"));
        input = "ads.example";
        input = AddEntry(state, dialogs, input) ? QString() : input;
        QCOMPARE(state.hostList().Count(), 4);
        QCOMPARE(state.hostList().Item(1), state.hostList().Item(2));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void refusesEmptyInput()
    {
        EditorState state;
        ScriptedDialogs dialogs;
        QString input;
        input = AddEntry(state, dialogs, input) ? QString() : input;
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.at(0).prompt, QString("Введите хоть что-нибудь"));
        QCOMPARE(dialogs.messages.at(0).title, QString("Не майтесь дурью"));
        QCOMPARE(state.hostList().Count(), 0);
        QCOMPARE(input, QString());
    }

    void autosaveWritesTheWholeListAfterEveryAdd()
    {
        EditorState state;
        ScriptedDialogs dialogs;
        const QString file = m_dir.filePath("autosaved");
        state.setCurrentPath(file);
        state.hostList().AddItem("# comment");

        QString input = "foo";
        input = AddEntry(state, dialogs, input) ? QString() : input;
        QVERIFY(!QFile::exists(file));

        state.setAutosaveValue(true);
        input = "bar";
        input = AddEntry(state, dialogs, input) ? QString() : input;
        QCOMPARE(readBytes(file), QByteArray("# comment\r\n127.0.0.1 bar ##\r\n127.0.0.1 foo ##\r\n"));

        // Even a refused empty input saves, after the message has been closed.
        QFile::remove(file);
        bool savedBeforeMessageClosed = true;
        dialogs.whileMessageShown = [&] { savedBeforeMessageClosed = QFile::exists(file); };
        input.clear();
        input = AddEntry(state, dialogs, input) ? QString() : input;
        QVERIFY(!savedBeforeMessageClosed);
        QCOMPARE(readBytes(file), QByteArray("# comment\r\n127.0.0.1 bar ##\r\n127.0.0.1 foo ##\r\n"));
    }

    void aFailedAutosaveIsReportedAndTheEntryStays()
    {
        EditorState state;
        ScriptedDialogs dialogs;
        const QString file = m_dir.filePath("no-folder/hosts");
        state.setCurrentPath(file);
        state.setAutosaveValue(true);
        QString input = "foo";
        input = AddEntry(state, dialogs, input) ? QString() : input;
        QCOMPARE(entriesOf(state.hostList()), QStringList{"127.0.0.1 foo ##"});
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.at(0).title, QString("Ошибка"));
        QCOMPARE(dialogs.messages.at(0).prompt,
                 QString("Не удалось сохранить файл «%1»: нет такого файла или папки. Файл остался прежним.").arg(file));
    }

    void aFullListKeepsTheTypedName()
    {
        EditorState state;
        ScriptedDialogs dialogs;
        QList<QByteArray> lines;
        for (int i = 0; i < HostList::MaxCount; ++i)
            lines << QByteArray::number(i);
        QVERIFY(state.hostList().addLines(lines));
        const QString file = m_dir.filePath("full");
        state.setCurrentPath(file);
        state.setAutosaveValue(true);

        QString input = "one.more";
        input = AddEntry(state, dialogs, input) ? QString() : input;
        QCOMPARE(input, QString("one.more"));
        QCOMPARE(state.hostList().Count(), HostList::MaxCount);
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.at(0).prompt, QString("Список полон: в нём уже 32767 записей, больше добавить "
                                                        "нельзя. Запись «one.more» не добавлена."));
        QVERIFY(!QFile::exists(file));
    }

    void editReplacesTheEntryInPlace()
    {
        EditorState state;
        ScriptedDialogs dialogs;
        for (const char* text : {"A", "b", "c"})
            state.hostList().AddItem(text);
        state.setCurrentPath(m_dir.filePath("edited"));
        state.setAutosaveValue(true);

        dialogs.textAnswers.enqueue("z");
        EditEntry(state, dialogs, 0);
        QCOMPARE(dialogs.questions.size(), 1);
        QCOMPARE(dialogs.questions.at(0).prompt, QString("Измените адресс"));
        QCOMPARE(dialogs.questions.at(0).title, QString("Редактирование записи"));
        QCOMPARE(dialogs.questions.at(0).defaultText, QString("A"));
        QCOMPARE(entriesOf(state.hostList()), (QStringList{"z", "b", "c"}));

        dialogs.textAnswers.enqueue(QString());
        EditEntry(state, dialogs, 2);
        QCOMPARE(entriesOf(state.hostList()), (QStringList{"z", "b", ""}));

        // Editing never saves, even with autosave ticked.
        QVERIFY(!QFile::exists(m_dir.filePath("edited")));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void cancelledOrAimlessEditsChangeNothing()
    {
        EditorState state;
        ScriptedDialogs dialogs;
        const QString odd = QString("line\nfeed\tand NUL ") + QChar(0) + QChar(0xDCFF);
        state.hostList().AddItem(odd);

        dialogs.textAnswers.enqueue(std::nullopt);
        EditEntry(state, dialogs, 0);
        QCOMPARE(state.hostList().Item(0), odd);
        QCOMPARE(dialogs.questions.at(0).defaultText, odd);

        EditEntry(state, dialogs, -1);
        EditEntry(state, dialogs, 1);
        QCOMPARE(dialogs.questions.size(), 1);
        QCOMPARE(entriesOf(state.hostList()), QStringList{odd});
    }
};

QTEST_GUILESS_MAIN(TestEntryCommands)
#include "test_entry_commands.moc"
