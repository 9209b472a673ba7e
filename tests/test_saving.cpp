// SPDX-License-Identifier: GPL-3.0-or-later
// Saving as the person meets it, without root: when administrator rights are asked, a helper that
// stays silent, and each failure in the person's words.
#include "pkexec_rights.h"
#include "save_protocol.h"
#include "support.h"

#include <sys/ptrace.h>
#include <sys/wait.h>

namespace {

const QByteArray New = "127.0.0.1 ads.example ##\r\n";

// What the double of the administrator's rights was asked, and answers.
struct RecordedRights : Rights {
    Result answer{Outcome::Answered};
    QStringList asked;
    Result write(const QString& path, const QByteArray&, const std::optional<Fingerprint>&) override
    {
        return asked << path, answer;
    }
};

struct Asking {
    FileError refusal;                                // the person's own save's
    bool asRoot = false;                              // whether the person is root
    Rights::Result answer{Rights::Outcome::Answered}; // the rights', if asked
    bool asked = false;                               // whether rights were asked for the file
    std::optional<FileError> told;                    // what the person reads, if anything
};

// pkexec, played by a script: what it does, given the helper and the file, and what comes of it.
struct Pkexec {
    QString script;
    QByteArray file = "hosts"; // in the test's folder
    Rights::Result result;
    int launches = 1;
};

} // namespace

class TestSaving : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // Only a plain refusal of the person's own save asks for rights, and the person is told what
    // came of it.
    void rightsAreAsked_data()
    {
        QTest::addColumn<Asking>("a");
        using R = FileError::Reason;
        const FileError::Operation write = FileError::Operation::Write;
        const FileError denied{"/h", write, R::System, EACCES},
            missing{"/h", write, R::System, ENOENT}, foreign{"/h", write, R::ForeignLink, EACCES},
            changed{"/h", write, R::System, EACCES, FileError::FileState::MaybeIncomplete};
        const auto with = [](FileError error, FileError::Rights rights,
                             FileError::Reason refusal = {}, QString denial = {}) {
            error.rights = rights, error.rightsRefusal = refusal, error.rightsDenial = denial;
            return error;
        };
        using O = Rights::Outcome;
        QTest::newRow("no access, rights given") << Asking{.refusal = denied, .asked = true};
        QTest::newRow("not allowed, rights not given")
            << Asking{.refusal = {"/h", write, R::System, EPERM},
                      .answer = {O::NotGiven},
                      .asked = true,
                      .told = with({"/h", write, R::System, EPERM}, FileError::Rights::NotGiven)};
        QTest::newRow("rights denied")
            << Asking{.refusal = denied,
                      .answer = {O::Denied, {}, {}, "Not authorized"},
                      .asked = true,
                      .told = with(denied, FileError::Rights::Denied, R::System, "Not authorized")};
        QTest::newRow("rights refused for the file")
            << Asking{.refusal = denied,
                      .answer = {O::Refused, {}, R::UnshowableName},
                      .asked = true,
                      .told = with(denied, FileError::Rights::Refused, R::UnshowableName)};
        FileError busy = with(denied, FileError::Rights::Refused, R::Busy);
        busy.fileState = FileError::FileState::OldOrNew; // the earlier helper may yet write
        QTest::newRow("an earlier helper at work") << Asking{
            .refusal = denied, .answer = {O::Refused, {}, R::Busy}, .asked = true, .told = busy};
        QTest::newRow("no access, no answer") << Asking{
            .refusal = denied,
            .answer = {O::NoAnswer},
            .asked = true,
            .told = FileError{"/h", write, R::NoAnswer, 0, FileError::FileState::OldOrNew}};
        QTest::newRow("no such folder: not asked") << Asking{.refusal = missing, .told = missing};
        QTest::newRow("another user's link: not asked")
            << Asking{.refusal = foreign, .told = foreign};
        QTest::newRow("the file changed: not asked") << Asking{.refusal = changed, .told = changed};
        QTest::newRow("as root: not asked")
            << Asking{.refusal = denied, .asRoot = true, .told = denied};
    }

    void rightsAreAsked()
    {
        QFETCH(Asking, a);
        RecordedRights rights;
        rights.answer = a.answer;
        Saver saver(
            &rights,
            [&](const QString&, const QByteArray&, const auto&, Fingerprint*) {
                return std::optional(a.refusal);
            },
            a.asRoot);
        QSignalSpy waiting(&saver, &Saver::waiting);
        const std::optional<FileError> error = saver.save("/h", New);
        QCOMPARE(error ? error->message() : QString(), a.told ? a.told->message() : QString());
        QCOMPARE(rights.asked, a.asked ? QStringList{"/h"} : QStringList());
        // The window waits while rights are asked, and only then.
        QCOMPARE(waiting.size(), a.asked ? 2 : 0);
    }

    // The person's own save follows "." and ".." in a path as the system would.
    void dotsInAPathLeadWhereTheSystemSays()
    {
        QVERIFY(QDir(m_dir.path()).mkpath("dots/sub"));
        QVERIFY(!Saver::writeAsOwner(m_dir.filePath("dots/sub/../up"), New));
        QVERIFY(!Saver::writeAsOwner(m_dir.filePath("dots/sub/./here"), New));
        QCOMPARE(readBytes(m_dir.filePath("dots/up")) + readBytes(m_dir.filePath("dots/sub/here")),
                 New + New);
    }

    // What pkexec's exit and the helper's refusal mean, each told apart: pkexec is a script here.
    void pkexecOutcomes_data()
    {
        QTest::addColumn<Pkexec>("p");
        using O = Rights::Outcome;
        using R = FileError::Reason;
        const QString notAuthorized = "Error executing command as another user: Not authorized";
        QTest::newRow("the prompt dismissed") << Pkexec{"echo Request dismissed >&2; exit 126"};
        QTest::newRow("not authorized") << Pkexec{"echo '" + notAuthorized + "' >&2; exit 127",
                                                  "hosts",
                                                  {O::Denied, {}, {}, notAuthorized}};
        // The test runs with a value in LC_MESSAGES that pkexec would refuse to start with.
        QTest::newRow("the editor's environment left behind") << Pkexec{
            "echo \"[${LC_MESSAGES-}]\" >&2; exit 127", "hosts", {O::Denied, {}, {}, "[]"}};
        QTest::newRow("the helper refuses, saying why")
            << Pkexec{"echo refused " + QString::number(int(R::LimitsLowered)) + "; exit 2",
                      "hosts",
                      {O::Refused, {}, R::LimitsLowered}};
        QTest::newRow("the helper refuses, saying nothing")
            << Pkexec{"exit 2", "hosts", {O::Refused, {}, R::System}};
        QTest::newRow("the helper never greets") << Pkexec{"cat >/dev/null"};
        QTest::newRow("a name the prompt cannot show")
            << Pkexec{"echo ready", "ho\x1b[2Dsts", {O::Refused, {}, R::UnshowableName}, 0};
        QTest::newRow("an indirect path")
            << Pkexec{"echo ready", "x/../hosts", {O::Refused, {}, R::IndirectPath}, 0};
    }

    void pkexecOutcomes()
    {
        QFETCH(Pkexec, p);
        qputenv("LC_MESSAGES", "../../tmp");
        PkexecRights rights({"sh", "-c", p.script, "sh"}, 1000, 300);
        const Rights::Result result = rights.write(
            QFile::decodeName(QFile::encodeName(m_dir.path()) + '/' + p.file), New, {});
        qunsetenv("LC_MESSAGES");
        QCOMPARE(int(result.outcome), int(p.result.outcome));
        QCOMPARE(int(result.refusal), int(p.result.refusal));
        QCOMPARE(result.denial, p.result.denial);
        QCOMPARE(rights.launches(), p.launches);
    }

    // While a helper given up on is alive, none other starts for its file: it may still rename its
    // older list over the file. Another file has a helper of its own.
    void oneHelperAFileAtATime()
    {
        PkexecRights rights({"sh", "-c", "trap '' TERM; echo ready; read -r line; sleep 2", "sh"},
                            1000, 300);
        QCOMPARE(rights.write(m_dir.filePath("busy"), New, {}).outcome, Rights::Outcome::NoAnswer);
        const Rights::Result busy = rights.write(m_dir.filePath("busy"), New, {});
        QCOMPARE(busy.outcome, Rights::Outcome::Refused);
        QCOMPARE(busy.refusal, FileError::Reason::Busy);
        QCOMPARE(rights.write(m_dir.filePath("other"), New, {}).outcome, Rights::Outcome::NoAnswer);
        QCOMPARE(rights.launches(), 2);
    }

    // An editor that another process traces starts no helper: the tracer could write through its
    // channel. The test, as the parent, traces a child of its own.
    void aTracedEditorStartsNoHelper()
    {
        const pid_t child = ::fork();
        if (child == 0) {
            ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
            PkexecRights rights({"sh", "-c", "echo ready; cat >/dev/null", "sh"});
            const Rights::Result result = rights.write(m_dir.filePath("traced"), New, {});
            ::_exit(result.refusal == FileError::Reason::Traced && rights.launches() == 0 ? 0 : 1);
        }
        int status = 0;
        while (::waitpid(child, &status, 0) == child && WIFSTOPPED(status))
            ::ptrace(PTRACE_CONT, child, nullptr, WSTOPSIG(status));
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    // The rule the editor and the helper share for a name root writes for a person: one the
    // password prompt shows as it is, by a path that leads straight to it.
    void targetRules_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("refusal"); // a FileError::Reason; -1: none
        const int indirect = int(FileError::Reason::IndirectPath),
                  unshowable = int(FileError::Reason::UnshowableName);
        const auto row = [](const char* name, const QByteArray& path, int refusal) {
            QTest::newRow(name) << path << refusal;
        };
        row("plain", "/etc/hosts", -1);
        row("Cyrillic, quotes, no-break space, emoji", "/tmp/Хосты «\xc2\xa0» \xf0\x9f\x98\x80",
            -1);
        row("relative", "etc/hosts", indirect);
        row("..", "/etc/../etc/hosts", indirect);
        row(".", "/etc/./hosts", indirect);
        row("an empty part", "/etc//hosts", indirect);
        row("a slash at the end", "/etc/hosts/", indirect);
        row("NUL", QByteArray("/etc/h\0sts", 10), indirect);
        row("terminal escapes", "/etc/sudoers.d/\x1b[10Dhosts\x1b[K", unshowable);
        row("a byte that is not UTF-8", "/etc/hosts\xff", unshowable);
        row("CR", "/etc/hosts\r.d", unshowable);
        row("line feed", "/etc/hosts\n/etc/shadow", unshowable);
        row("DEL", "/etc/hosts\x7f", unshowable);
        row("C1 next line", "/etc/hosts\xc2\x85", unshowable);
        row("C1 escape",
            "/etc/\xc2\x9b"
            "10Dhosts",
            unshowable);
        row("right-to-left override", "/etc/\xe2\x80\xaestsoh", unshowable);
        row("zero-width space", "/etc/ho\xe2\x80\x8bsts", unshowable);
        row("byte order mark", "/etc/\xef\xbb\xbfhosts", unshowable);
        row("line separator", "/etc/hosts\xe2\x80\xa8x", unshowable);
        row("paragraph separator", "/etc/hosts\xe2\x80\xa9x", unshowable);
        row("overlong", "/etc/\xc0\xafhosts", unshowable);
        row("surrogate", "/etc/\xed\xa0\x80hosts", unshowable);
        row("past U+10FFFF", "/etc/\xf4\x90\x80\x80", unshowable);
        row("cut short", "/etc/hosts\xe2\x80", unshowable);
    }

    void targetRules()
    {
        QFETCH(QByteArray, path);
        QFETCH(int, refusal);
        const auto reason = protocol::refusedTarget(path);
        QCOMPARE(reason ? int(*reason) : -1, refusal);
    }

    // Each failure in the person's words: the file, what failed, why, and what the file holds now.
    void messages_data()
    {
        QTest::addColumn<FileError>("error");
        QTest::addColumn<QString>("message");
        using R = FileError::Reason;
        const FileError::Operation read = FileError::Operation::Read,
                                   write = FileError::Operation::Write;
        QTest::newRow("read") << FileError{"/h", read, R::System, ENOENT}
                              << "Не удалось прочитать файл «/h»: нет такого файла или папки.";
        QTest::newRow("not regular") << FileError{"/h", read, R::NotRegularFile}
                                     << "Не удалось прочитать файл «/h»: это не обычный файл.";
        QTest::newRow("too many")
            << FileError{"/h", read, R::TooManyEntries, 0, {}, 32767}
            << "Файл «/h» не открыт: список вмещает не больше 32767 записей, а с этим файлом их "
               "стало бы больше. Из файла ничего не добавлено.";
        QTest::newRow("too large") << FileError{"/h", read, R::TooLarge, 0, {}, 0, 128}
                                   << "Файл «/h» не открыт: он больше 128 МиБ, это не похоже на "
                                      "файл hosts. Из файла ничего не добавлено.";
        QTest::newRow("unchanged")
            << FileError{"/h", write, R::System, ENOSPC}
            << "Не удалось сохранить файл «/h»: на диске нет места. Файл остался прежним.";
        QTest::newRow("incomplete")
            << FileError{"/h", write, R::System, EIO, FileError::FileState::MaybeIncomplete}
            << "Не удалось сохранить файл «/h»: ошибка ввода-вывода. Файл мог остаться записанным "
               "не полностью.";
        QTest::newRow("not durable")
            << FileError{"/h", write, R::System, EIO, FileError::FileState::WrittenNotDurable}
            << "Файл «/h» записан, но система не подтвердила, что он сохранён на диске: ошибка "
               "ввода-вывода.";
        FileError hidden{"/h\x1b[2D\u202e", write, R::System, EACCES};
        hidden.rights = FileError::Rights::Refused, hidden.rightsRefusal = R::UnshowableName;
        QTest::newRow("rights refused: a name shown as it is")
            << hidden
            << "Не удалось сохранить файл «/h\\u{1B}[2D\\u{202E}»: нет доступа. Файл остался "
               "прежним. С правами администратора его сохранить нельзя: в его имени есть знаки, "
               "которые запрос пароля не покажет как есть: управляющие, невидимые или не UTF-8.";
        FileError denied{"/h", write, R::System, EACCES};
        denied.rights = FileError::Rights::Denied, denied.rightsDenial = "Not authorized";
        QTest::newRow("rights denied") << denied
                                       << "Не удалось сохранить файл «/h»: нет доступа. Файл "
                                          "остался прежним. В правах администратора отказано: "
                                          "«Not authorized».";
        QTest::newRow("a per cent sign in a name")
            << FileError{"/h%2", read, R::TooManyEntries, 0, {}, 32767}
            << "Файл «/h%2» не открыт: список вмещает не больше 32767 записей, а с этим файлом их "
               "стало бы больше. Из файла ничего не добавлено.";
        QTest::newRow("other errno") << FileError{"/h", write, R::System, EXFULL}
                                     << "Не удалось сохранить файл «/h»: системная ошибка 54 "
                                        "(Exchange full). Файл остался прежним.";
    }

    void messages()
    {
        QFETCH(FileError, error);
        QFETCH(QString, message);
        QCOMPARE(error.message(), message);
    }
};

QTEST_GUILESS_MAIN(TestSaving)
#include "test_saving.moc"
