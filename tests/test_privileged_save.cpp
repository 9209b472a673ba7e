// SPDX-License-Identifier: GPL-3.0-or-later
// Run by polkit_save.sh as nobody, while polkit takes a second over each check and grants every
// save but those of files named "refused..." and "asks...", whose password no agent asks:
// autosaves into root's files in /mnt through the real pkexec and helper. It asks polkit_save.sh,
// on its output, to stop and resume the helper. polkit_save.sh runs noPolkitServiceToAsk alone,
// where polkit cannot be reached, and noAgentToAsk also on a terminal.
#include "pkexec_rights.h"
#include "save_protocol.h"
#include "support.h"

#include <iostream>

namespace {

// Asks the script, which runs as root, to do something to the helper, and waits till it is done.
void askTheScript(const char* what)
{
    std::cout << "polkit_save: " << what << std::endl;
    QFile done(qEnvironmentVariable("ZARVELLO_CONTROL"));
    QVERIFY(done.open(QIODevice::ReadOnly) && done.readLine() == "done\n");
}

// An editor that autosaves, with administrator rights through the real pkexec and helper.
struct Autosaving {
    PkexecRights rights{{"/usr/bin/pkexec", qEnvironmentVariable("ZARVELLO_HELPER")}, 20000, 3000};
    Saver saver{&rights};
    EditorState state;
    ScriptedDialogs dialogs;
    Autosaving() { state.setAutosaveValue(true); }
};

} // namespace

class TestPrivilegedSave : public QObject {
    Q_OBJECT
private slots:
    void aGrantNamesOneFileForThisEditorAlone()
    {
        Autosaving editor;
        auto& [rights, saver, state, dialogs] = editor;
        const auto add = [&](const QString& file, const char* name) {
            state.setCurrentPath(file.startsWith('/') ? file : "/mnt/" + file);
            dialogs.messages.clear();
            AddEntry(state, dialogs, saver, name);
            return dialogs.messages.join(' ');
        };
        // The list's lines as saved, one for each name.
        const auto saved = [](std::initializer_list<const char*> names) {
            QByteArray bytes;
            for (const char* name : names)
                bytes += "127.0.0.1 " + QByteArray(name) + ".example ##\r\n";
            return bytes;
        };
        const auto failure = [](const QString& file, int error, FileError::Reason reason = {},
                                FileError::FileState state = {},
                                std::optional<FileError::Reason> denied = {}) {
            FileError failure = FileError::writing(file.startsWith('/') ? file : "/mnt/" + file,
                                                   error, reason, state);
            if (denied)
                failure.rights = FileError::Rights::Denied, failure.rightsRefusal = *denied;
            return "Ошибка: " + failure.message();
        };
        // What the helper refuses before it greets, once the person's own save was refused.
        const auto beforeGreeting = [](const QString& file, FileError::Reason reason, int error) {
            FileError failure =
                FileError::writing(file.startsWith('/') ? file : "/mnt/" + file, EACCES);
            failure.rights = FileError::Rights::Refused, failure.rightsRefusal = reason;
            failure.rightsRefusalError = error;
            return "Ошибка: " + failure.message();
        };
        // pkexec would refuse to start with this in its environment.
        qputenv("LC_MESSAGES", "../../tmp");

        // The window's timers run on while polkit thinks.
        int ticks = 0;
        QTimer timer;
        timer.callOnTimeout([&] { ++ticks; }), timer.start(50);
        QCOMPARE(add("granted-1", "a.example"), QString());
        timer.stop();
        QVERIFY2(ticks >= 10, qPrintable(QString("%1 ticks in a second's wait").arg(ticks)));
        // No second password for the same file.
        QCOMPARE(add("granted-1", "b.example"), QString());
        QCOMPARE(rights.launches(), 1);
        QCOMPARE(readBytes("/mnt/granted-1"), saved({"a", "b"}));

        // Another process of the same person reaches neither into the editor nor the helper.
        QProcess other;
        other.start(qEnvironmentVariable("ZARVELLO_REACH"),
                    {QString::number(::getpid()), "7 14 6 -\n/mnt/granted-1stolen"});
        QVERIFY(other.waitForFinished());
        QCOMPARE(other.readAllStandardOutput(), QByteArray());
        QCOMPARE(readBytes("/mnt/granted-1"), saved({"a", "b"}));

        // A helper that stops answering is let go, and its late answer is nobody's.
        askTheScript("stop");
        QCOMPARE(
            add("granted-1", "c.example"),
            failure("granted-1", 0, FileError::Reason::NoAnswer, FileError::FileState::OldOrNew));
        askTheScript("resume");
        QCOMPARE(add("private/missing/granted", "d.example"),
                 beforeGreeting("private/missing/granted", {}, ENOENT));
        QCOMPARE(rights.launches(), 2);

        // A grant covers the file it named: another one is asked for anew.
        const QByteArray refused = readBytes("/mnt/refused");
        QCOMPARE(add("refused", "e.example"),
                 failure("refused", EACCES, {}, {}, FileError::Reason::NotAuthorized));
        QCOMPARE(readBytes("/mnt/refused"), refused);
        QCOMPARE(add("granted-2", "f.example"), QString());
        QCOMPARE(readBytes("/mnt/granted-2"), saved({"a", "b", "c", "d", "e", "f"}));
        QCOMPARE(rights.launches(), 4);
        struct stat file = {};
        QVERIFY(::stat("/mnt/granted-2", &file) == 0 && file.st_uid == 0
                && (file.st_mode & 07777) == 0644);

        // A kernel interface is no file of a disk, though a regular file in root's folders.
        const QString hostname = QSysInfo::machineHostName();
        QCOMPARE(add("/proc/sys/kernel/hostname", "g.example"),
                 beforeGreeting("/proc/sys/kernel/hostname", FileError::Reason::KernelInterface,
                                EACCES));
        QCOMPARE(QSysInfo::machineHostName(), hostname);
        qunsetenv("LC_MESSAGES");
    }

    // Where polkit_save.sh left no polkit to ask (no system bus, or one that knows no polkit
    // service, or cannot start polkitd), pkexec gives no rights, and the person reads why in
    // Russian.
    void noPolkitServiceToAsk()
    {
        noPasswordAsked("/mnt/granted-1", FileError::Reason::NoPolkitService);
    }

    // polkit would ask for the password, and no agent runs to ask it; nor does pkexec ask on the
    // terminal the editor may have been started from, where nobody looks while the window waits.
    void noAgentToAsk() { noPasswordAsked("/mnt/asks", FileError::Reason::NoAuthenticationAgent); }

    // Another program of the person's starts the helper through pkexec itself, naming a file in a
    // form the prompt cannot show as it is: root writes nothing, whatever polkit granted.
    void aNameThePromptCannotShowIsNotWritten()
    {
        const QStringList before = QDir("/mnt").entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QByteArray& name :
             {QByteArray("sudoers\x1b[7Dgranted"), QByteArray("g\xff"), QByteArray("\xe2\x80\xaeg"),
              QByteArray("g\xe2\x80\xa8"), QByteArray("\xe3\x85\xa4"), QByteArray("g\xc2\xa0"),
              QByteArray("g\xe2\x80\x83")}) {
            const QByteArray target = "/mnt/" + name;
            QString octal; // as printf reads it, so that no byte is lost on the way
            for (const char byte : target)
                octal += QString::asprintf("\\%03o", uchar(byte));
            QProcess attacker;
            attacker.start("sh",
                           {"-c", R"sh(exec /usr/bin/pkexec "$0" "$(printf "$1")")sh",
                            qEnvironmentVariable("ZARVELLO_HELPER"), octal});
            attacker.write(protocol::encodeRequest(1, target, "127.0.0.1 granted ##\r\n"));
            attacker.closeWriteChannel();
            QVERIFY(attacker.waitForFinished());
            QCOMPARE(attacker.readAllStandardOutput(),
                     protocol::encodeRefusal(FileError::Reason::UnshowableName) + '\n');
            QCOMPARE(attacker.exitCode(), 2);
        }
        QCOMPARE(QDir("/mnt").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    }

private:
    // An autosave of file, refused for lack of permission, which pkexec gives no rights for, why:
    // the file stays as it was, and the message is Russian but for the file's name and polkit's.
    static void noPasswordAsked(const QString& file, FileError::Reason why)
    {
        Autosaving editor;
        auto& [rights, saver, state, dialogs] = editor;
        state.setCurrentPath(file);
        const QByteArray before = readBytes(file);
        AddEntry(state, dialogs, saver, "a.example");
        FileError expected = FileError::writing(file, EACCES);
        expected.rights = FileError::Rights::Denied, expected.rightsRefusal = why;
        QString told = dialogs.messages.join(' ');
        QCOMPARE(told, "Ошибка: " + expected.message());
        QVERIFY2(!told.remove(file).remove("polkit").contains(QRegularExpression("[A-Za-z]")),
                 qPrintable(told));
        QCOMPARE(readBytes(file), before);
        QCOMPARE(rights.launches(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPrivilegedSave)
#include "test_privileged_save.moc"
