// SPDX-License-Identifier: GPL-3.0-or-later
// Another program writes the file every millisecond or so while the person adds names with
// autosave, directly and through the helper. Afterwards every line the other program wrote is in
// the file, but for those written into a file a save had just replaced, which no check sees; and
// with an appender, every name the person added. Counts lines, not time. ZARVELLO_RACE_ADDITIONS
// sets how many names (200).
#include "pkexec_rights.h"
#include "support.h"

#include <QThread>

#include <atomic>

namespace {

// Administrator rights that count how often the helper found the file changed meanwhile.
struct Counting : Rights {
    PkexecRights helper{{ZARVELLO_HELPER}};
    int races = 0;
    Result write(const QString& path, const QByteArray& bytes,
                 const std::optional<Fingerprint>& expected) override
    {
        const Result result = helper.write(path, bytes, expected);
        races += result.error && result.error->reason == FileError::Reason::ChangedMeanwhile;
        return result;
    }
};

// The other program, about once a millisecond: appends a line (>>), or writes a copy with the line
// and renames it over the file. A line is unsure when the file it went into is no longer the file
// at the path a moment later, longer than a save takes from its last check to its rename: the
// line may have landed in that window. The file is held open meanwhile, so that no new file can
// take its inode number. A machine under load can stretch that window past the moment, but not
// to a line in a hundred: a save that did not check loses most of them.
class Writer : public QThread {
public:
    Writer(bool appending, QString file)
        : m_appending(appending)
        , m_path(QFile::encodeName(file))
    {
    }
    std::atomic<bool> stop = false;
    QList<QByteArray> written, unsure;

private:
    void run() override
    {
        const QByteArray copy = m_path + ".new";
        for (int i = 0; !stop; ++i) {
            const QByteArray line = "outside-" + QByteArray::number(i);
            const QByteArray bytes =
                (m_appending ? QByteArray() : readBytes(QFile::decodeName(m_path))) + line + "\r\n";
            const int fd = m_appending
                ? ::open(m_path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC)
                : ::open(copy.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            struct stat wrote {
            }, now{};
            if (::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size()
                || ::fstat(fd, &wrote) != 0
                || (!m_appending && ::rename(copy.constData(), m_path.constData()) != 0))
                qFatal("the other program could not write");
            written << line;
            QThread::usleep(200);
            if (::stat(m_path.constData(), &now) != 0 || now.st_ino != wrote.st_ino)
                unsure << line;
            ::close(fd);
            QThread::usleep(800);
        }
    }
    bool m_appending;
    QByteArray m_path;
};

} // namespace

class TestRacingWriters : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void nothingWrittenIsLost_data()
    {
        QTest::addColumn<bool>("appending");
        QTest::addColumn<bool>("helper");
        QTest::newRow("appending, directly") << true << false;
        QTest::newRow("appending, through the helper") << true << true;
        QTest::newRow("renaming, directly") << false << false;
        QTest::newRow("renaming, through the helper") << false << true;
    }

    void nothingWrittenIsLost()
    {
        QFETCH(bool, appending);
        QFETCH(bool, helper);
        const int additions = qEnvironmentVariableIsSet("ZARVELLO_RACE_ADDITIONS")
            ? qEnvironmentVariableIntValue("ZARVELLO_RACE_ADDITIONS")
            : 200;
        const QString file = m_dir.filePath(QTest::currentDataTag());
        writeBytes(file, "127.0.0.1 localhost\r\n");
        Counting rights;
        int races = 0;
        Saver saver(
            &rights,
            [&](const QString& path, const QByteArray& bytes, const auto& expected,
                Fingerprint* written) {
                if (helper) // as if the person may not write the file
                    return std::optional(FileError{path, FileError::Operation::Write, {}, EACCES});
                const auto error = Saver::writeAsOwner(path, bytes, expected, written);
                races += error && error->reason == FileError::Reason::ChangedMeanwhile;
                return error;
            },
            false);
        EditorState state;
        ScriptedDialogs dialogs;
        QVERIFY(!LoadHostsFile(state, file));
        state.setCurrentPath(file);
        state.setAutosaveValue(true);
        Writer writer(appending, file);
        writer.start();
        QStringList added;
        for (int i = 0; i < additions; ++i)
            AddEntry(state, dialogs, saver, added.emplaceBack("person-" + QString::number(i)));
        writer.stop = true;
        writer.wait();
        AddEntry(state, dialogs, saver, "last"); // takes in what the writer did last
        const QList<QByteArray> lines = readHostsFile(file, HostList::MaxCount).lines;
        const auto lost = [&](const auto& wanted, const auto& line) {
            return std::count_if(wanted.cbegin(), wanted.cend(),
                                 [&](const auto& name) { return !lines.contains(line(name)); });
        };
        const qsizetype personLost =
            lost(added, [](const QString& name) { return ("127.0.0.1 " + name + " ##").toUtf8(); });
        QList<QByteArray> outsideLost;
        for (const QByteArray& line : std::as_const(writer.written))
            if (!lines.contains(line) && !writer.unsure.contains(line))
                outsideLost << line;
        qInfo("%s: person's additions lost %lld of %d; other program's lines lost %lld of %lld, "
              "where %lld went into a file replaced right after; %d races retried",
              QTest::currentDataTag(), qlonglong(personLost), additions,
              qlonglong(lost(writer.written, [](const QByteArray& line) { return line; })),
              qlonglong(writer.written.size()), qlonglong(writer.unsure.size()),
              races + rights.races);
        QVERIFY2(outsideLost.size() * 100 <= writer.written.size(), outsideLost.join(' '));
        // A writer that reads the file and renames a copy over it undoes saves itself.
        if (appending)
            QCOMPARE(personLost, 0);
    }
};

QTEST_GUILESS_MAIN(TestRacingWriters)
#include "test_racing_writers.moc"
