// Reading and writing hosts files, byte for byte, and every way a save or a load can fail.
#include "editor_state.h"
#include "host_list_entries.h"
#include "file_bytes.h"
#include "hosts_file.h"
#include "sort_keys.h"
#include "line_codec.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zarvello;

namespace {

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Runs body in a child process once prepare() has succeeded there, so that what it changes
// (mounts, the user) touches nobody else. Returns what body returned, or nothing when prepare()
// failed, as it does where this process is not root.
std::optional<QString> inChild(const std::function<bool()>& prepare, const std::function<QString()>& body)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return QStringLiteral("pipe failed");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const QByteArray report = prepare() ? body().toUtf8() : QByteArray();
        (void)!::write(channel[1], report.constData(), size_t(report.size()));
        ::_exit(0);
    }
    ::close(channel[1]);
    QByteArray report;
    char buffer[512];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, got);
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    if (report.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(report);
}

std::optional<QString> inPrivateMountNamespace(const std::function<QString()>& body)
{
    return inChild([] { return ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0; },
                   body);
}

// As the user nobody, who has none of root's exemptions.
std::optional<QString> asNobody(const std::function<QString()>& body)
{
    return inChild([] { return ::geteuid() == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0; }, body);
}

} // namespace

class TestHostsFile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void readsLinesByTheirTerminators_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("lines");
        using Lines = QList<QByteArray>;
        QTest::newRow("empty file") << QByteArray() << Lines{};
        QTest::newRow("CR LF twice") << QByteArray("a\r\n\r\nb") << Lines{"a", "", "b"};
        QTest::newRow("final CR LF adds no line") << QByteArray("a\r\nb\r\n") << Lines{"a", "b"};
        QTest::newRow("no final terminator") << QByteArray("a\r\nb") << Lines{"a", "b"};
        QTest::newRow("lone CR ends a line") << QByteArray("a\rb\r") << Lines{"a", "b"};
        QTest::newRow("CR CR is an empty line") << QByteArray("a\r\rb") << Lines{"a", "", "b"};
        QTest::newRow("lone LF is a character") << QByteArray("a\nb\nc\n") << Lines{"a\nb\nc\n"};
        QTest::newRow("LF CR") << QByteArray("a\n\rb") << Lines{"a\n", "b"};
        QTest::newRow("only a terminator") << QByteArray("\r\n") << Lines{""};
        QTest::newRow("NUL and tab") << QByteArray("x\0y\tz", 5) << Lines{QByteArray("x\0y\tz", 5)};
    }
    void readsLinesByTheirTerminators()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, lines);
        writeBytes(path("read"), bytes);
        const ReadResult result = readHostsFile(path("read"), HostList::MaxCount);
        QVERIFY(!result.error);
        QCOMPARE(result.lines, lines);

        // However the bytes arrive in chunks, the lines are the same.
        for (int size : {1, 2, 3}) {
            LineSplitter splitter;
            QList<QByteArray> pieces;
            for (qsizetype at = 0; at < bytes.size(); at += size)
                splitter.feed(QByteArrayView(bytes).sliced(at, std::min<qsizetype>(size, bytes.size() - at)), pieces);
            splitter.finish(pieces);
            QCOMPARE(pieces, lines);
        }
    }

    void loadAppendsAtSortedPlaces()
    {
        writeBytes(path("three"), "a\r\n\r\nb");
        HostList list;
        list.AddItem("B");
        QVERIFY(!LoadHostsFile(list, path("three")));
        QCOMPARE(entriesOf(list), (QStringList{"", "a", "B", "b"}));
        QVERIFY(!LoadHostsFile(list, path("three")));
        QCOMPARE(entriesOf(list), (QStringList{"", "", "a", "a", "B", "b", "b"}));
    }

    void carriesEveryByteThrough_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("ascii") << QByteArray("127.0.0.1 ads.example ##");
        QTest::newRow("cyrillic") << QByteArray("ёлка.рф");
        QTest::newRow("four-byte") << QByteArray("\xf0\x9f\x98\x80 smile");
        QTest::newRow("latin-1") << QByteArray("caf\xe9");
        QTest::newRow("stray continuation") << QByteArray("\x80\xbf");
        QTest::newRow("bad second byte") << QByteArray("\xc3\x28");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80");
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80");
        QTest::newRow("cut short at end") << QByteArray("ok\xe2\x82");
        QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbfhosts");
        QTest::newRow("all high bytes") << [] {
            QByteArray all;
            for (int b = 0x80; b <= 0xff; ++b)
                all.append(char(b));
            return all;
        }();
    }
    void carriesEveryByteThrough()
    {
        QFETCH(QByteArray, line);
        const QString text = decodeLine(line);
        QCOMPARE(encodeLine(text), line);
        if (QString::fromUtf8(line).toUtf8() == line) // valid UTF-8 reads as the characters it spells
            QCOMPARE(text, QString::fromUtf8(line));
    }

    void writesEachEntryWithCrLf()
    {
        QCOMPARE(joinLines({}), QByteArray());
        QCOMPARE(joinLines({"x", "y"}), QByteArray("x\r\ny\r\n"));
        QCOMPARE(joinLines({""}), QByteArray("\r\n"));

        HostList list;
        list.AddItem(QString::fromUtf8("ё"));
        QCOMPARE(list.lines(), QList<QByteArray>{"\xd1\x91"}); // UTF-8, no byte-order mark
        // A lone surrogate that stands for no byte cannot be written as UTF-8; the list shows what
        // will be written.
        list.SetItem(0, QString(QChar(0xD800)));
        QCOMPARE(list.lines(), QList<QByteArray>{"\xef\xbf\xbd"});
        QCOMPARE(list.Item(0), QString(QChar(0xFFFD)));

        EditorState state;
        state.setCurrentPath(path("saved"));
        writeBytes(path("saved"), "old content that is longer");
        QVERIFY(!SaveHostsFile(state));
        QCOMPARE(readBytes(path("saved")), QByteArray());
        state.hostList().AddItem("y");
        state.hostList().AddItem("x");
        QVERIFY(!SaveHostsFile(state));
        QCOMPARE(readBytes(path("saved")), QByteArray("x\r\ny\r\n"));
    }

    void randomFilesRoundTrip()
    {
        QRandomGenerator random(0x5eed);
        for (int round = 0; round < 50; ++round) {
            QList<QByteArray> lines;
            const int count = int(random.bounded(1, 60));
            for (int i = 0; i < count; ++i) {
                QByteArray line;
                for (int n = int(random.bounded(40)); n > 0; --n) {
                    const char byte = char(random.bounded(256));
                    line.append(byte == '\r' ? '\n' : byte);
                }
                lines << line;
            }
            QByteArray file;
            const bool finalTerminator = random.bounded(2);
            for (int i = 0; i < count; ++i) {
                file += lines.at(i);
                if (i + 1 == count && !finalTerminator)
                    break;
                // A lone CR before a line that starts with LF would read as CR LF.
                const bool nextStartsWithLf = i + 1 < count && lines.at(i + 1).startsWith('\n');
                file += nextStartsWithLf || random.bounded(2) ? "\r\n" : "\r";
            }
            // A final empty line without a terminator is no line at all.
            if (!finalTerminator && lines.last().isEmpty())
                lines.removeLast();
            writeBytes(path("random"), file);

            const ReadResult read = readHostsFile(path("random"), HostList::MaxCount);
            QVERIFY(!read.error);
            QCOMPARE(read.lines, lines);
            QByteArray expected;
            for (const QByteArray& line : lines)
                expected += line + "\r\n";
            QVERIFY(!writeFileSafely(path("out"), joinLines(read.lines)));
            QCOMPARE(readBytes(path("out")), expected);

            // Through the list and back to disk, the same lines in sorted order.
            EditorState state;
            QVERIFY(!LoadHostsFile(state.hostList(), path("random")));
            state.setCurrentPath(path("sorted"));
            QVERIFY(!SaveHostsFile(state));
            QCOMPARE(readBytes(path("sorted")), joinLines(state.hostList().lines()));
            for (int i = 1; i < state.hostList().Count(); ++i)
                QVERIFY(!(compareFolded(state.hostList().lines()[i], state.hostList().lines()[i-1]) < 0));
            QList<QByteArray> sortedLines = state.hostList().lines();
            std::sort(sortedLines.begin(), sortedLines.end());
            std::sort(lines.begin(), lines.end());
            QCOMPARE(sortedLines, lines);
        }
    }

    void refusesWhatIsNotARegularFile()
    {
        QVERIFY(QDir(m_dir.path()).mkdir("folder"));
        QVERIFY(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600) == 0);
        const QString zero = "/dev/zero";

        const ReadResult folder = readHostsFile(path("folder"), HostList::MaxCount);
        QVERIFY(folder.error);
        QCOMPARE(folder.error->message(), QString("Не удалось прочитать файл «%1»: это папка, а не файл.").arg(path("folder")));
        // Neither may hang or read without end.
        for (const QString& special : {path("fifo"), zero}) {
            const ReadResult result = readHostsFile(special, HostList::MaxCount);
            QVERIFY2(result.error, qPrintable(special));
            QCOMPARE(result.error->reason, FileError::Reason::NotRegularFile);
            QVERIFY(result.error->message().contains("это не обычный файл"));
        }
        const ReadResult missing = readHostsFile(path("missing"), HostList::MaxCount);
        QVERIFY(missing.error);
        QCOMPARE(missing.error->message(),
                 QString("Не удалось прочитать файл «%1»: нет такого файла или папки.").arg(path("missing")));

        HostList list;
        QVERIFY(LoadHostsFile(list, path("fifo")));
        QCOMPARE(list.Count(), 0);
    }

    void aFileThatWouldOverfillTheListAddsNothing()
    {
        QByteArray bytes;
        for (int i = 0; i < 100; ++i)
            bytes += "line " + QByteArray::number(i) + "\r\n";
        writeBytes(path("hundred"), bytes);

        HostList list;
        QList<QByteArray> existing;
        for (int i = 0; i < HostList::MaxCount - 99; ++i)
            existing << QByteArray::number(i);
        QVERIFY(list.addLines(existing));
        const auto error = LoadHostsFile(list, path("hundred"));
        QVERIFY(error);
        QCOMPARE(error->reason, FileError::Reason::TooManyEntries);
        QVERIFY(error->message().contains(path("hundred")));
        QVERIFY(error->message().contains("32767"));
        QCOMPARE(list.Count(), HostList::MaxCount - 99);

        HostList roomForAll;
        QVERIFY(roomForAll.addLines(existing.mid(1)));
        QVERIFY(!LoadHostsFile(roomForAll, path("hundred"))); // fits exactly
        QCOMPARE(roomForAll.Count(), HostList::MaxCount);
    }

    void aHugeFileIsRefusedUnread()
    {
        // A 16 GiB hole of zeros: one line that would have to be held in memory whole.
        writeBytes(path("huge"), "127.0.0.1 localhost\r\n");
        QVERIFY(::truncate(QFile::encodeName(path("huge")).constData(), 16LL << 30) == 0);
        HostList list;
        const auto error = LoadHostsFile(list, path("huge"));
        QVERIFY(error);
        QCOMPARE(error->message(), QString("Файл «%1» не открыт: он больше 128 МиБ, это не похоже на файл hosts. "
                                           "Из файла ничего не добавлено.")
                                       .arg(path("huge")));
        QCOMPARE(list.Count(), 0);
        QFile::remove(path("huge"));
    }

    void saveKeepsModeOwnerAndLinks()
    {
        const QString target = path("real-hosts");
        writeBytes(target, "old\r\n");
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0);
        const bool root = ::geteuid() == 0;
        if (root)
            QVERIFY(::chown(QFile::encodeName(target).constData(), 65534, 65534) == 0);
        QVERIFY(QFile::link(target, path("link-to-hosts")));

        QVERIFY(!writeFileSafely(path("link-to-hosts"), "new\r\n"));
        QVERIFY(QFileInfo(path("link-to-hosts")).isSymLink());
        QCOMPARE(readBytes(target), QByteArray("new\r\n"));
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(target).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0640));
        if (root) {
            QCOMPARE(info.st_uid, uid_t(65534));
            QCOMPARE(info.st_gid, gid_t(65534));
        }

        // A new file gets the usual mode for new files.
        const mode_t mask = ::umask(022);
        QVERIFY(!writeFileSafely(path("fresh"), "x\r\n"));
        ::umask(mask);
        QVERIFY(::stat(QFile::encodeName(path("fresh")).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0644));

        // A dangling link is written through, creating what it points to.
        QVERIFY(QFile::link(path("not-yet"), path("dangling")));
        QVERIFY(!writeFileSafely(path("dangling"), "made\r\n"));
        QVERIFY(QFileInfo(path("dangling")).isSymLink());
        QCOMPARE(readBytes(path("not-yet")), QByteArray("made\r\n"));

        // No temporary file is left behind.
        for (const QString& name : filesIn(m_dir.path()))
            QVERIFY2(!name.startsWith(".zarvello"), qPrintable(name));
    }

    void failedSavesSayWhyAndKeepTheFile()
    {
        const QString missingFolder = path("no-such-folder/hosts");
        auto error = writeFileSafely(missingFolder, "x\r\n");
        QVERIFY(error);
        QCOMPARE(error->message(), QString("Не удалось сохранить файл «%1»: нет такого файла или папки. "
                                           "Файл остался прежним.")
                                       .arg(missingFolder));

        QVERIFY(QDir(m_dir.path()).mkpath("a-folder"));
        error = writeFileSafely(path("a-folder"), "x\r\n");
        QVERIFY(error);
        QVERIFY(error->message().contains("это папка, а не файл"));
        QVERIFY(QFileInfo(path("a-folder")).isDir());

        error = writeFileSafely("/dev/null", "x\r\n");
        QVERIFY(error);
        QCOMPARE(error->reason, FileError::Reason::NotRegularFile);
        QVERIFY(QFileInfo("/dev/null").exists());

        // Not even root can write here.
        const QByteArray before = readBytes("/proc/version");
        error = writeFileSafely("/proc/version", "x\r\n");
        QVERIFY(error);
        QVERIFY(error->message().startsWith("Не удалось сохранить файл «/proc/version»: "));
        QCOMPARE(readBytes("/proc/version"), before);

        EditorState state; // no file chosen
        error = SaveHostsFile(state);
        QVERIFY(error);
        QCOMPARE(error->operation, FileError::Operation::Write);
    }

    void aFileThePersonMayNotWriteStaysAsItWas()
    {
        // The folder lets anyone replace files in it; the file itself is read-only.
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
        QVERIFY(QDir(m_dir.path()).mkdir("open-folder"));
        const QString folder = path("open-folder");
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
        const QString hosts = folder + "/hosts";
        writeBytes(hosts, "127.0.0.1 localhost\r\n");
        QVERIFY(::chmod(QFile::encodeName(hosts).constData(), 0644) == 0);

        const auto report = asNobody([&]() -> QString {
            const auto error = writeFileSafely(hosts, "replaced\r\n");
            if (!error)
                return "a file nobody may write was replaced";
            return error->message();
        });
        if (!report)
            QSKIP("needs root to act as another user");
        QCOMPARE(*report, QString("Не удалось сохранить файл «%1»: нет доступа. Файл остался прежним.").arg(hosts));
        QCOMPARE(readBytes(hosts), QByteArray("127.0.0.1 localhost\r\n"));
        QCOMPARE(filesIn(folder), QStringList{"hosts"});
    }

    void aFullDiskLeavesTheOldFileWhole()
    {
        const QString folder = path("small-disk");
        QVERIFY(QDir(m_dir.path()).mkpath("small-disk"));
        const auto report = inPrivateMountNamespace([&]() -> QString {
            if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0)
                return "mount failed";
            const QString hosts = folder + "/hosts";
            QFile old(hosts);
            if (!old.open(QIODevice::WriteOnly) || old.write("127.0.0.1 localhost\r\n") < 0)
                return "could not prepare";
            old.close();
            const auto error = writeFileSafely(hosts, QByteArray(256 * 1024, 'x'));
            if (!error)
                return "a save that could not fit reported success";
            if (!error->message().contains("на диске нет места") || error->fileState != FileError::FileState::Unchanged)
                return "wrong message: " + error->message();
            if (readBytes(hosts) != "127.0.0.1 localhost\r\n")
                return "the old file changed";
            if (filesIn(folder) != QStringList{"hosts"})
                return "left behind: " + filesIn(folder).join(' ');
            return "ok";
        });
        if (!report)
            QSKIP("needs a private mount namespace (root)");
        QCOMPARE(*report, QString("ok"));
    }

    void aBindMountedFileIsWrittenInPlace()
    {
        // As /etc/hosts in a container: the file is a mount point and cannot be renamed over.
        const QString real = path("outside-hosts");
        const QString mounted = path("mounted-hosts");
        writeBytes(real, "old\r\n");
        writeBytes(mounted, "covered\r\n");
        const auto report = inPrivateMountNamespace([&]() -> QString {
            if (::mount(QFile::encodeName(real).constData(), QFile::encodeName(mounted).constData(), nullptr, MS_BIND,
                        nullptr) != 0)
                return "bind mount failed";
            if (const auto error = writeFileSafely(mounted, "127.0.0.1 blocked.example ##\r\n"))
                return error->message();
            return readBytes(mounted) == "127.0.0.1 blocked.example ##\r\n" ? "ok" : "wrong bytes";
        });
        if (!report)
            QSKIP("needs a private mount namespace (root)");
        QCOMPARE(*report, QString("ok"));
        QCOMPARE(readBytes(real), QByteArray("127.0.0.1 blocked.example ##\r\n"));
        QCOMPARE(readBytes(mounted), QByteArray("covered\r\n"));
        for (const QString& name : filesIn(m_dir.path()))
            QVERIFY2(!name.startsWith(".zarvello"), qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(TestHostsFile)
#include "test_hosts_file.moc"
