// SPDX-License-Identifier: GPL-3.0-or-later
// Saving as the person meets it, without root: when administrator rights are asked, a helper that
// stays silent, and each failure in the person's words.
#include "pkexec_rights.h"
#include "save_protocol.h"
#include "size_limit.h"
#include "support.h"

#include <climits>

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

// A failed save of /h, as the person's own save and the helper report one.
FileError failed(int error, FileError::Reason reason = {}, FileError::FileState state = {})
{
    return FileError::writing("/h", error, reason, state);
}

// The same, with what came of asking for administrator rights.
FileError asked(FileError error, FileError::Rights rights, FileError::Reason refusal = {},
                const QString& denial = {})
{
    error.rights = rights, error.rightsRefusal = refusal, error.rightsDenial = denial;
    return error;
}

// Numbers where encodings break: the least, the most, and around them.
quint64 edge(QRandomGenerator& random)
{
    const quint64 edges[] = {0, 1, 9, 10, quint64(1) << 63, ~quint64(0) - 1, ~quint64(0)};
    return edges[random.bounded(int(std::size(edges)))];
}

QByteArray bytes(QRandomGenerator& random, int size)
{
    QByteArray out(size, Qt::Uninitialized);
    for (char& c : out)
        c = char(random.bounded(256));
    return out;
}

// Any file's: each time any second of 64 bits and any nanosecond of it.
Fingerprint fingerprint(QRandomGenerator& random)
{
    const auto any = [&](quint64 value) { return random.bounded(3) ? random.generate64() : value; };
    const auto time = [&] {
        return Fingerprint::Time{qint64(any(edge(random))),
                                 random.bounded(2) ? random.bounded(1000000000)
                                                   : qint64(random.bounded(2)) * 999999999};
    };
    return {any(edge(random)), any(edge(random)), qint64(any(edge(random)) >> 1), time(), time()};
}

// What no decimal field may be: empty, not a number, signed, led by a zero, too long, or, where
// it has one, past its limit.
QByteArray garbage(QRandomGenerator& random, qint64 limit)
{
    QList<QByteArray> wrong =
        QByteArray("|x|1x|-|-0|+1|01| |1,|0x1|184467440737095516160").split('|');
    if (limit > 0)
        wrong << QByteArray::number(limit + 1);
    return wrong[random.bounded(int(wrong.size()))];
}

// A save through pkexec, of a file in the test's folder, and what is to come of it.
struct Save {
    Rights::Result result;
    QByteArray file = "hosts";
};

// What the test expects of the file, in each request; the helper says it wrote the same.
const Fingerprint Sent{2049, 131, 28, {-1, 5}, {1700000000, 999999999}};

// A result as one line, so that a row's saves compare in turn.
QString described(const Rights::Result& r)
{
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(int(r.outcome))
        .arg(int(r.refusal))
        .arg(r.refusalError)
        .arg(r.denial, QString(protocol::encodeAnswer(0, r.error, r.written)));
}

} // namespace

class TestSaving : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // Only a plain refusal of the person's own save asks for rights, and the person is told what
    // came of it.
    void rightsAreAsked_data()
    {
        // The person's own save's refusal, whether the person is root, the rights' answer, whether
        // they were asked for the file, and what the person reads, if anything.
        QTest::addColumn<FileError>("refusal");
        QTest::addColumn<bool>("asRoot");
        QTest::addColumn<Rights::Result>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<std::optional<FileError>>("told");
        using R = FileError::Reason;
        using O = Rights::Outcome;
        using G = FileError::Rights;
        const auto row = [](const char* name, const FileError& refusal, Rights::Result answer,
                            std::optional<FileError> told) {
            QTest::newRow(name) << refusal << false << answer << true << told;
        };
        const FileError denied = failed(EACCES);
        // The earlier helper may yet write: the file may hold the old list or that one.
        FileError busy = asked(denied, G::Refused, R::Busy);
        busy.fileState = FileError::FileState::OldOrNew;
        row("no access, rights given", denied, {O::Answered}, {});
        row("not allowed, rights not given", failed(EPERM), {O::NotGiven},
            asked(failed(EPERM), G::NotGiven));
        row("rights denied", denied, {O::Denied, {}, {}, "Not authorized"},
            asked(denied, G::Denied, {}, "Not authorized"));
        row("no agent to ask for the password", denied, {O::Denied, {}, R::NoAuthenticationAgent},
            asked(denied, G::Denied, R::NoAuthenticationAgent));
        row("rights refused for the file", denied, {O::Refused, {}, R::UnshowableName},
            asked(denied, G::Refused, R::UnshowableName));
        row("an earlier helper at work", denied, {O::Refused, {}, R::Busy}, busy);
        row("no access, no answer", denied, {O::NoAnswer},
            failed(0, R::NoAnswer, FileError::FileState::OldOrNew));
        const auto notAsked = [](const char* name, const FileError& refusal, bool asRoot = false) {
            QTest::newRow(name) << refusal << asRoot << Rights::Result{O::Answered} << false
                                << std::optional(refusal);
        };
        notAsked("no such folder", failed(ENOENT));
        notAsked("another user's link", failed(EACCES, R::ForeignLink));
        notAsked("the file changed", failed(EACCES, {}, FileError::FileState::MaybeIncomplete));
        notAsked("as root", denied, true);
    }

    void rightsAreAsked()
    {
        QFETCH(FileError, refusal);
        QFETCH(bool, asRoot);
        QFETCH(Rights::Result, answer);
        QFETCH(bool, asked);
        QFETCH(std::optional<FileError>, told);
        RecordedRights rights;
        rights.answer = answer;
        Saver saver(
            &rights, [&](auto&&...) { return std::optional(refusal); }, asRoot);
        QSignalSpy waiting(&saver, &Saver::waiting);
        const std::optional<FileError> error = saver.save("/h", New);
        QCOMPARE(error ? error->message() : QString(), told ? told->message() : QString());
        QCOMPARE(rights.asked, asked ? QStringList{"/h"} : QStringList());
        // The window waits while rights are asked, and only then.
        QCOMPARE(waiting.size(), asked ? 2 : 0);
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

    // What comes of each save in turn through pkexec, a script here: what pkexec's exit and words
    // mean, and the helper's greeting and answers, in time or not, in turn or not.
    void pkexecOutcomes_data()
    {
        QTest::addColumn<QStringList>("scripts"); // of launches 1, 2...; the last for the rest
        QTest::addColumn<QList<Save>>("saves");
        QTest::addColumn<int>("launches");
        QTest::addColumn<QList<int>>("timeouts"); // for the greeting, for each answer
        using O = Rights::Outcome;
        using R = FileError::Reason;
        using S = FileError::FileState;
        // Where no timeout is the outcome, a wait for one hangs the test instead of passing.
        const auto row = [](const char* name, const QStringList& scripts, const QList<Save>& saves,
                            int launches, QList<int> timeouts = {60000, 60000}) {
            QTest::newRow(name) << scripts << saves << launches << timeouts;
        };
        const auto once = [&](const char* name, const QString& script, Rights::Result result,
                              const QByteArray& file = "hosts") {
            row(name, {script}, {{result, file}}, int(file == "hosts"));
        };
        const Rights::Result ok{O::Answered, {}, {}, {}, Sent}, lost{O::NoAnswer},
            none{O::NotGiven};
        // The last answer holds a file state out of range.
        row("answered as written, with an error, and wrongly, by one helper",
            {"echo ready; take && echo \"1 ok $e\"; take && echo '2 error 28 0 1'; take && echo "
             "'3 error 5 0 9'"},
            {{ok}, {{O::Answered, failed(ENOSPC, {}, S::MaybeIncomplete)}}, {lost}}, 1);
        // Nor is the next request sent: a helper that took it would be at work still.
        row("a second answer to one request is none to the next",
            {"trap '' TERM PIPE; echo ready; take && printf '%s\\n' \"$n ok $e\" \"$n ok $e\"; "
             "take && { echo \"$n ok $e\"; sleep 5; }",
             "serve"},
            {{ok}, {lost}, {ok}}, 2);
        row("an answer out of turn, one cut short as the helper ends: each let go",
            {"echo ready; take && echo \"2 ok $e\"", "echo ready; take && printf \"$n ok $e\"",
             "serve"},
            {{lost}, {lost}, {ok}}, 3);
        row("no answer in time", {"echo ready; cat >/dev/null"}, {{lost}}, 1, {60000, 300});
        // Talk without a line end is no answer as soon as it is longer than one.
        row("no line end in 5000 bytes", {"echo ready; take && printf %5000s; cat >/dev/null"},
            {{lost}}, 1);
        row("no greeting in time, twice", {"cat >/dev/null"}, {{none}, {none}}, 2, {300, 300});
        row("no pkexec", {}, {{none}, {none}}, 0);
        row("the prompt dismissed, pkexec killed, then rights given",
            {"echo Request dismissed >&2; exit 126", "kill -KILL $$", "serve"},
            {{none}, {none}, {ok}}, 3);
        // pkexec's words as Debian 12's pkexec 122 writes them, with PATH alone in its environment;
        // it exits 127 for each, and the first line of its own tells them apart.
        const auto said = [](QString words) {
            return "printf '" + words.replace("'", R"('\'')") + "\\n' >&2; exit 127";
        };
        row("not authorized, then rights given",
            {said("Error executing command as another user: Not authorized\\n\\nThis incident has "
                  "been reported."),
             "serve"},
            {{{O::Denied, {}, R::NotAuthorized}}, {ok}}, 2);
        const QString unknown = "GDBus.Error:org.freedesktop.DBus.Error.ServiceUnknown: The name "
                                "org.freedesktop.PolicyKit1 was not provided by any .service files",
                      unregistered =
                          "Error checking for authorization a: GDBus.Error:org."
                          "freedesktop.PolicyKit1.Error.Failed: Action a is not registered";
        once("no polkit: no system bus",
             said("Error getting authority: Error initializing authority: Could not connect: No "
                  "such file or directory"),
             {O::Denied, {}, R::NoPolkitService});
        // GLib's warning comes first, after a blank line.
        once("no polkit: the bus knows none",
             said("\\n** (process:9): WARNING **: 08:37:21.780: Error enumerating actions: "
                  + unknown + "\\nError checking for authorization org.freedesktop.policykit.exec: "
                  + unknown),
             {O::Denied, {}, R::NoPolkitService});
        once("no agent, and no terminal to ask on",
             said("Error creating textual authentication agent: Error opening current controlling "
                  "terminal for the process (`/dev/tty'): No such device or address"),
             {O::Denied, {}, R::NoAuthenticationAgent});
        // Anything else is told in pkexec's words, but for what the screen would not show.
        once("no action registered", said("\\033[2J" + unregistered),
             {O::Denied, {}, R::System, "[2J" + unregistered});
        // The test runs with a value in LC_MESSAGES that pkexec would refuse to start with.
        once("the editor's environment left behind", "echo \"[${LC_MESSAGES-}]\" >&2; exit 127",
             {O::Denied, {}, {}, "[]"});
        // pkexec leads a session of its own, with no terminal to ask the password on, wherever the
        // editor was started: its session's number is its own, and /dev/tty opens nothing.
        once("a session of its own, with no terminal",
             "read -r _ _ _ _ _ session _ </proc/$$/stat; [ \"$session\" = $$ ] && echo leads >&2; "
             "(exec 3</dev/tty) 2>/dev/null && echo on a terminal >&2; exit 127",
             {O::Denied, {}, {}, "leads"});
        once("the helper refuses, saying why", "echo refused 11 24; exit 2",
             {O::Refused, {}, R::LimitsLowered, {}, {}, 24});
        once("the helper refuses, saying nothing", "exit 2", {O::Refused, {}, R::System});
        once("a name the prompt cannot show", "serve", {O::Refused, {}, R::UnshowableName},
             "ho\x1b[2Dsts");
        once("an indirect path", "serve", {O::Refused, {}, R::IndirectPath}, "x/../hosts");
        row("another file, a helper of its own", {"serve"}, {{ok}, {ok, "other"}}, 2);
        // While a helper given up on is alive, none other starts for its file: it may still rename
        // its older list over the file.
        row("a helper given up on, still at work", {"trap '' TERM; echo ready; read -r _; sleep 2"},
            {{lost, "busy"}, {{O::Refused, {}, R::Busy}, "busy"}, {lost, "other"}}, 2,
            {60000, 300});
    }

    void pkexecOutcomes()
    {
        QFETCH(QStringList, scripts);
        QFETCH(QList<Save>, saves);
        QFETCH(int, launches);
        QFETCH(QList<int>, timeouts);
        // Each launch counts itself beside its file, $1; take reads a request, serve answers all.
        QString script =
            "k=$(($(cat \"$1.k\" 2>/dev/null) + 1)); echo $k >\"$1.k\"; "
            "take() { read -r n p c e && head -c $((p + c)) >/dev/null; }; "
            "serve() { echo ready; while take; do echo \"$n ok $e\"; done; }; case $k in ";
        for (qsizetype i = 0; i < scripts.size(); ++i)
            script +=
                (i + 1 < scripts.size() ? QString::number(i + 1) : "*") + ") " + scripts[i] + ";; ";
        PkexecRights rights(scripts.isEmpty() ? QStringList{"/nonexistent/pkexec"}
                                              : QStringList{"sh", "-c", script + "esac", "sh"},
                            timeouts[0], timeouts[1]);
        QTemporaryDir dir;
        QStringList got, expected;
        qputenv("LC_MESSAGES", "../../tmp");
        for (const Save& save : std::as_const(saves)) {
            const QString path = QFile::decodeName(QFile::encodeName(dir.path()) + '/' + save.file);
            got << described(rights.write(path, New, Sent));
            expected << described(save.result);
        }
        qunsetenv("LC_MESSAGES");
        QCOMPARE(got, expected);
        QCOMPARE(rights.launches(), launches);
    }

    // An editor that another process traces starts no helper: the tracer could write through its
    // channel. The test, as the parent, traces a child of its own.
    void aTracedEditorStartsNoHelper()
    {
        const pid_t child = ::fork();
        if (child == 0) {
            // Some build sandboxes forbid tracing: the child then says so.
            if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0)
                ::_exit(77);
            PkexecRights rights({"sh", "-c", "echo ready; cat >/dev/null", "sh"});
            const Rights::Result result = rights.write(m_dir.filePath("traced"), New, {});
            ::_exit(result.refusal == FileError::Reason::Traced && rights.launches() == 0 ? 0 : 1);
        }
        int status = 0;
        while (::waitpid(child, &status, 0) == child && WIFSTOPPED(status))
            ::ptrace(PTRACE_CONT, child, nullptr, WSTOPSIG(status));
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == 77)
            QSKIP("no process may trace another here");
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    // The rule the editor and the helper share for a name root writes for a person: one the
    // password prompt shows as it is, by a path that leads straight to it.
    void targetRules_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("refusal"); // a FileError::Reason; -1: none
        const auto rows = [](int refusal, const QByteArrayList& paths) {
            for (const QByteArray& path : paths)
                QTest::newRow(path.toPercentEncoding("/").constData()) << path << refusal;
        };
        // Letters of any script, a combining mark inside a name, a look-alike letter (the folders
        // shown are real).
        rows(-1,
             {"/etc/hosts", "/tmp/Хосты «主机» \xf0\x9f\x98\x80", "/tmp/\xd0\xb8\xcc\x86",
              "/etc/h\xd0\xbests"});
        // Relative, "..", ".", an empty part, a slash at the end, NUL.
        rows(int(FileError::Reason::IndirectPath),
             {"etc/hosts", "/etc/../etc/hosts", "/etc/./hosts", "/etc//hosts", "/etc/hosts/",
              QByteArray("/etc/h\0sts", 10)});
        // Terminal escapes; bytes that are not UTF-8, overlong, a surrogate, past U+10FFFF, cut
        // short; CR, LF, DEL, C1 next line and escape; right-to-left override, zero-width space,
        // byte order mark, line and paragraph separators; the Hangul fillers, a division slash,
        // the Khitan filler, the combining grapheme joiner, a Khmer inherent vowel, a variation
        // selector, a blank Braille pattern; ideographic, no-break and em spaces, a space ending a
        // name; a combining mark starting one; unassigned, private use.
        rows(int(FileError::Reason::UnshowableName),
             QByteArray(
                 "/etc/sudoers.d/\x1b[10Dhosts\x1b[K|/etc/hosts\xff|/etc/\xc0\xafhosts|"
                 "/etc/\xed\xa0\x80hosts|/etc/\xf4\x90\x80\x80|/etc/hosts\xe2\x80|/etc/hosts\r.d|"
                 "/etc/hosts\n/etc/shadow|/etc/hosts\x7f|/etc/hosts\xc2\x85|/etc/\xc2\x9b[2Dhosts|"
                 "/etc/\xe2\x80\xaestsoh|/etc/ho\xe2\x80\x8bsts|/etc/\xef\xbb\xbfhosts|"
                 "/etc/hosts\xe2\x80\xa8x|/etc/hosts\xe2\x80\xa9x|/etc/\xe3\x85\xa4/hosts|"
                 "/etc/hosts\xe1\x85\x9f|/etc/hosts\xe1\x85\xa0|/etc/hosts\xef\xbe\xa0|"
                 "/etc\xe2\x88\x95hosts|/etc/ho\xf0\x96\xbf\xa4sts|/etc/hosts\xcd\x8f|"
                 "/etc/hosts\xe1\x9e\xb4|/etc/\xe2\x9d\xa4\xef\xb8\x8f|/etc/hosts\xe2\xa0\x80|"
                 "/etc/hosts\xe3\x80\x80|/etc/hosts\xc2\xa0|/etc/hosts\xe2\x80\x83|/etc /hosts|"
                 "/etc/\xcc\x81hosts|/etc/hosts\xcd\xb8|/etc/hosts\xee\x80\x80")
                 .split('|'));
    }

    void targetRules()
    {
        QFETCH(QByteArray, path);
        QFETCH(int, refusal);
        const auto reason = protocol::refusedTarget(path);
        QCOMPARE(reason ? int(*reason) : -1, refusal);
    }

    // Whatever a request holds, it crosses to the helper as it was sent: each of its parts is
    // awaited until the last byte, and a header with any field out of its form refuses it.
    void requestsCross()
    {
        QRandomGenerator random(34);
        for (int i = 0; i < 3000; ++i) {
            const quint64 number = random.bounded(3) ? random.generate64() : edge(random);
            const QByteArray path = bytes(random, i % 97 ? random.bounded(12) : PATH_MAX),
                             content = bytes(random, random.bounded(i % 89 ? 12 : 5000));
            std::optional<Fingerprint> expected;
            if (random.bounded(2))
                expected = fingerprint(random);
            const QByteArray sent = protocol::encodeRequest(number, path, content, expected);
            for (const QByteArray& buffer : {sent, sent + "7 0 0 -\n"}) {
                const protocol::Parsed got = protocol::parseRequest(buffer);
                QCOMPARE(got.status, protocol::Parsed::Status::Complete);
                QCOMPARE(got.consumed, sent.size());
                const protocol::Request& r = got.request;
                QVERIFY(r.number == number && r.path == path && r.content == content
                        && r.expected == expected);
            }
            for (qsizetype cut = 0; cut < sent.size(); cut += 1 + cut / 64)
                QCOMPARE(protocol::parseRequest(sent.first(cut)).status,
                         protocol::Parsed::Status::Incomplete);
            // Each field, and each of the expectation's, replaced by what none may be.
            const qsizetype end = sent.indexOf('\n');
            const QList<QByteArray> fields = sent.first(end).split(' ');
            const QList<QByteArray> parts = fields[3].split(',');
            for (int at = 0; at < 4 + parts.size(); ++at) {
                QList<QByteArray> header = fields, expectation = parts;
                const QByteArray wrong = garbage(random,
                                                 at == 1       ? PATH_MAX
                                                     : at == 2 ? MaxHostsFileSize
                                                               : 0);
                (at < 4 ? header[at] : expectation[at - 4]) = wrong;
                if (at >= 4)
                    header[3] = expectation.join(',');
                if (at >= 3 && header[3] == "-")
                    continue;
                QCOMPARE(protocol::parseRequest(header.join(' ') + sent.sliced(end)).status,
                         protocol::Parsed::Status::Malformed);
            }
        }
        // A header of the largest fields is a header; a page with no line end is none.
        const QByteArray most = QByteArray::number(std::numeric_limits<quint64>::max());
        const Fingerprint::Time least{std::numeric_limits<qint64>::min(), 999999999};
        const QByteArray largest =
            protocol::encodeRequest(0, {}, {}, Fingerprint{0, 0, 0, least, least})
                .replace("0 0 0 0,0,0",
                         most + " 4096 134217728 " + most + ',' + most + ",9223372036854775807");
        QCOMPARE(protocol::parseRequest(largest).status, protocol::Parsed::Status::Incomplete);
        for (const QByteArray& none : {QByteArray("\n"), QByteArray(PATH_MAX, '1')})
            QCOMPARE(protocol::parseRequest(none).status, protocol::Parsed::Status::Malformed);
    }

    // The helper's refusals and answers come back as it gave them, answers only to the request
    // they answer.
    void answersCross()
    {
        QRandomGenerator random(35);
        for (int i = 0; i < 3000; ++i) {
            const auto reason =
                FileError::Reason(random.bounded(int(FileError::Reason::NoAnswer) + 1));
            const int error = random.bounded(4096);
            const QByteArray refusal = protocol::encodeRefusal(reason, error);
            const auto refused = protocol::decodeRefusal(refusal);
            QVERIFY(refused && refused->reason == reason && refused->error == error);
            QList<QByteArray> words = refusal.split(' ');
            words[random.bounded(3)] = garbage(random, 4095);
            QVERIFY(!protocol::decodeRefusal(words.join(' ')));

            const quint64 number = random.bounded(3) ? random.generate64() : edge(random);
            std::optional<FileError> sent;
            if (random.bounded(2))
                sent = FileError::writing("/h", error, reason,
                                          FileError::FileState(random.bounded(5)));
            const Fingerprint written = sent ? Fingerprint{} : fingerprint(random);
            const QByteArray line = protocol::encodeAnswer(number, sent, written).chopped(1);
            std::optional<FileError> got = FileError::writing("/other", 0);
            Fingerprint gotWritten;
            QVERIFY(protocol::decodeAnswer(line, number, "/h", got, gotWritten));
            QVERIFY(sent ? got && got->reason == reason && got->systemError == error
                            && got->fileState == sent->fileState
                         : !got && gotWritten == written);
            QVERIFY(!protocol::decodeAnswer(line, number + 1, "/h", got, gotWritten));
            QList<QByteArray> fields = line.split(' ');
            const int at = random.bounded(int(fields.size()));
            fields[at] = garbage(random, at == 0 ? 0 : 4095);
            QVERIFY(!protocol::decodeAnswer(fields.join(' '), number, "/h", got, gotWritten));
        }
    }

    // Each failure in the person's words: the file, what failed, why, and what the file holds now.
    void messages_data()
    {
        QTest::addColumn<FileError>("error");
        QTest::addColumn<QString>("message");
        using R = FileError::Reason;
        using S = FileError::FileState;
        const auto read = [](R reason, int error = 0, int maxEntries = 0, qint64 maxMebibytes = 0) {
            return FileError{"/h",        FileError::Operation::Read, reason, error, {}, maxEntries,
                             maxMebibytes};
        };
        const QString tooMany = "Файл «/h» не открыт: список вмещает не больше 32767 записей, а с "
                                "этим файлом их стало бы больше. Из файла ничего не добавлено.";
        const QString notSaved = "Не удалось сохранить файл «/h»: ";
        const auto row = [](const char* name, const FileError& error, const QString& message) {
            QTest::newRow(name) << error << message;
        };
        row("read", read(R::System, ENOENT),
            "Не удалось прочитать файл «/h»: нет такого файла или папки.");
        row("not regular", read(R::NotRegularFile),
            "Не удалось прочитать файл «/h»: это не обычный файл.");
        row("too many", read(R::TooManyEntries, 0, 32767), tooMany);
        FileError percent = read(R::TooManyEntries, 0, 32767);
        percent.path = "/h%2";
        row("a per cent sign in a name", percent, QString(tooMany).replace("/h", "/h%2"));
        row("too large", read(R::TooLarge, 0, 0, 128),
            "Файл «/h» не открыт: он больше 128 МиБ, это не похоже на файл hosts. Из файла ничего "
            "не добавлено.");
        row("unchanged", failed(ENOSPC), notSaved + "на диске нет места. Файл остался прежним.");
        row("incomplete", failed(EIO, {}, S::MaybeIncomplete),
            notSaved + "ошибка ввода-вывода. Файл мог остаться записанным не полностью.");
        row("not durable", failed(EIO, {}, S::WrittenNotDurable),
            "Файл «/h» записан, но система не подтвердила, что он сохранён на диске: ошибка "
            "ввода-вывода.");
        // In the system's words, as its locale says them.
        row("other errno", failed(EXFULL),
            notSaved + "системная ошибка 54 (" + QString::fromLocal8Bit(strerror(EXFULL))
                + "). Файл остался прежним.");
        FileError hidden = asked(failed(EACCES), FileError::Rights::Refused, R::UnshowableName);
        hidden.path = "/h\x1b[2D\u202e\u3164 ";
        row("rights refused: a name shown as it is", hidden,
            "Не удалось сохранить файл «/h\\u{1B}[2D\\u{202E}\\u{3164}\\u{20}»: нет доступа. Файл "
            "остался прежним. "
            "С правами администратора его сохранить нельзя: в его имени есть знаки, которые запрос "
            "пароля не покажет как есть: управляющие, невидимые, пробелы, кроме обычного внутри "
            "имени, "
            "надстрочные знаки в начале имени, знаки, похожие на косую черту, знаки, не "
            "назначенные "
            "в Юникоде или для частного использования, или байты не UTF-8.");
        // Where pkexec gave no rights: what was missing, and only where its words say what nothing
        // else does, those words, last.
        const auto denied = [](R why, const QString& words = {}) {
            return asked(failed(EACCES), FileError::Rights::Denied, why, words);
        };
        const QString unchanged = notSaved + "нет доступа. Файл остался прежним. ";
        row("no polkit service", denied(R::NoPolkitService),
            unchanged
                + "Права администратора спросить не у кого: в системе не работает служба polkit, "
                  "которая их выдаёт.");
        row("no authentication agent", denied(R::NoAuthenticationAgent),
            unchanged
                + "Пароль администратора спросить некому: на рабочем столе не запущен агент "
                  "polkit, программа, которая показывает запрос пароля.");
        row("not authorized", denied(R::NotAuthorized),
            unchanged + "В правах администратора отказано: система не дала их этому пользователю.");
        FileError told = denied(R::System, "Action is not registered");
        told.outsideAdded = 1;
        row("rights denied otherwise, in the system's words", told,
            unchanged
                + "В правах администратора отказано. Изменения другой программы уже взяты в "
                  "список: строк добавлено — 1, убрано — 0. Сообщение системы: «Action is not "
                  "registered».");
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
