// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a file: what it keeps, what it refuses, what each failure leaves on disk, and what another
// user's planted links cannot make it do.
#include "child_process.h"
#include "file_bytes.h"
#include "file_writer.h"
#include "system_faults.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace zarvello;
using State = FileError::FileState;

namespace {

const QByteArray Old = "127.0.0.1 localhost\r\n";
const QByteArray New = "127.0.0.1 localhost\r\n127.0.0.1 ads.example ##\r\n";

// Everything about a file that a save must keep, as the system's tools print it.
const QString Fingerprint = QStringLiteral(R"(stat -c '%F %u:%g %a %h' "$F"; getfacl -cpE "$F"; getfattr -hd -m - "$F")");

// Runs a shell script with F set to file and D to its folder, as root or, with user, as that
// user; returns what it printed.
QString shell(const QString& script, const QString& file, int user = 0)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("F", file);
    environment.insert("D", QFileInfo(file).path());
    process.setProcessEnvironment(environment);
    QStringList command{"sh", "-c", script};
    if (user)
        command = QStringList{"setpriv", "--reuid", QString::number(user), "--regid", QString::number(user),
                              "--clear-groups", "--"} + command;
    process.start(command.takeFirst(), command);
    process.waitForFinished();
    return QString::fromLocal8Bit(process.readAll());
}

QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QString outcome(const std::optional<FileError>& error)
{
    return error ? QStringLiteral("%1 %2").arg(error->systemError).arg(int(error->fileState)) : QStringLiteral("saved");
}

} // namespace

class TestWriting : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_folders = 0;

    // A folder of its own for each case, with a file named hosts holding Old.
    QString freshHosts()
    {
        const QString folder = m_dir.filePath(QString::number(++m_folders));
        QDir().mkpath(folder);
        writeBytes(folder + "/hosts", Old);
        return folder + "/hosts";
    }

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("saves as other users, planted links and mounts need root");
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
        QVERIFY(QFile::link("loop", m_dir.filePath("loop")));
    }

    void keepsWhatTheFileHas_data()
    {
        QTest::addColumn<QString>("prepare");
        QTest::addColumn<int>("saver"); // the user who saves; 0 for root
        QTest::addColumn<QString>("otherName");
        QTest::newRow("owner, group, mode") << R"(chown 1000:1000 "$F" && chmod 2640 "$F")" << 0 << "";
        QTest::newRow("ACL") << R"(setfacl -m u:1000:rw "$F")" << 0 << "";
        QTest::newRow("extended attribute") << R"(setfattr -n user.origin -v kept "$F")" << 0 << "";
        QTest::newRow("no ACL from the folder") << R"(setfacl -d -m u:1000:rwx "$D")" << 0 << "";
        QTest::newRow("hard link") << R"(ln "$F" "$D/other")" << 0 << "other";
        QTest::newRow("symbolic link") << R"(mv "$F" "$D/real" && ln -s real "$F")" << 0 << "real";
        QTest::newRow("saved by a group member") << R"(chown 1000:1000 "$F" && chmod 0660 "$F" && chmod 0777 "$D")"
                                                 << 1001 << "";
    }

    void keepsWhatTheFileHas()
    {
        QFETCH(QString, prepare);
        QFETCH(int, saver);
        QFETCH(QString, otherName);
        const QString file = freshHosts();
        QCOMPARE(shell(prepare + " && echo ready", file), QString("ready\n"));
        const QString before = shell(Fingerprint, file);
        const auto save = [&] { return outcome(writeFileSafely(file, New)); };
        const auto saved = saver ? inChild([&] { return becomeUser(saver, saver, 1000); }, save) : save();
        QCOMPARE(saved, QString("saved"));
        QCOMPARE(readBytes(file), New);
        QCOMPARE(shell(Fingerprint, file), before);
        if (!otherName.isEmpty())
            QCOMPARE(readBytes(QFileInfo(file).path() + '/' + otherName), New);
    }

    void eachFailureLeavesAWholeFile_data()
    {
        QTest::addColumn<QByteArray>("call");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("skip");
        QTest::addColumn<bool>("hardLinked"); // which the rename cannot keep: the file is rewritten in place
        QTest::addColumn<QString>("expected"); // errno and file state, or saved
        const auto row = [](const char* name, const char* call, int error, int flags, int skip, bool hardLinked,
                            const std::optional<FileError>& expected) {
            QTest::newRow(name) << QByteArray(call) << error << flags << skip << hardLinked << outcome(expected);
        };
        const auto failed = [](int error, State state = State::Unchanged) {
            FileError failure{{}, FileError::Operation::Write, FileError::Reason::System, error};
            failure.fileState = state;
            return std::optional(failure);
        };
        const std::optional<FileError> saved;
        row("temporary file not made", "openat", EIO, __O_TMPFILE, 0, false, failed(EIO));
        row("temporary file: folder refuses it", "openat", EACCES, __O_TMPFILE, 0, false, saved);
        row("temporary file: write", "pwrite", ENOSPC, O_WRONLY, 0, false, failed(ENOSPC));
        row("temporary file: sync", "fsync", EIO, O_WRONLY, 0, false, failed(EIO));
        row("temporary file: naming", "linkat", EIO, 0, 0, false, failed(EIO));
        row("temporary file: close", "close", EIO, O_WRONLY, 0, false, failed(EIO));
        row("rename", "renameat", EIO, 0, 0, false, failed(EIO));
        row("rename onto a mount point", "renameat", EXDEV, 0, 0, false, saved);
        row("folder sync", "fsync", EIO, 0, 1, false, failed(EIO, State::WrittenNotDurable));
        row("owner not given", "fchown", EPERM, 0, 0, false, saved);
        row("attribute not given", "fsetxattr", EPERM, 0, 0, false, saved);
        row("in place: no room", "fallocate", ENOSPC, 0, 0, true, failed(ENOSPC));
        row("in place: write", "pwrite", EIO, O_RDWR, 0, true, failed(EIO));
        row("in place: sync", "fsync", EIO, O_RDWR, 0, true, failed(EIO, State::WrittenNotDurable));
        row("in place: close", "close", EIO, O_RDWR, 0, true, failed(EIO, State::WrittenNotDurable));
    }

    void eachFailureLeavesAWholeFile()
    {
        QFETCH(QByteArray, call);
        QFETCH(int, error);
        QFETCH(int, flags);
        QFETCH(int, skip);
        QFETCH(bool, hardLinked);
        QFETCH(QString, expected);
        const QString file = freshHosts();
        const QByteArray native = QFile::encodeName(file);
        QVERIFY(::setxattr(native.constData(), "user.kept", "1", 1, 0) == 0);
        if (hardLinked)
            QVERIFY(::link(native.constData(), (native + ".other").constData()) == 0);
        const QStringList names = namesIn(QFileInfo(file).path());

        faults::fail(call.constData(), error, flags, skip);
        const QString result = outcome(writeFileSafely(file, New));
        QVERIFY2(faults::met(), "the save never made that call");
        QCOMPARE(result, expected);
        QCOMPARE(readBytes(file), expected.endsWith(" 0") ? Old : New);
        QCOMPARE(namesIn(QFileInfo(file).path()), names);
    }

    // Real disks, no fault injection: a full one, one without free inodes, and a bind-mounted
    // file (as /etc/hosts in a container) that can only be rewritten in place.
    void aFullDiskLeavesTheFileAsItWas_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<bool>("bindMounted");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full") << "size=64k" << false << 256 * 1024 << QString("%1 0").arg(ENOSPC);
        QTest::newRow("no free inode") << "nr_inodes=2" << false << 100 << QString("%1 0").arg(ENOSPC);
        QTest::newRow("bind-mounted, full") << "size=64k" << true << 256 * 1024 << QString("%1 0").arg(ENOSPC);
        QTest::newRow("bind-mounted") << "size=64k" << true << 100 << QString("saved");
    }

    void aFullDiskLeavesTheFileAsItWas()
    {
        QFETCH(QString, options);
        QFETCH(bool, bindMounted);
        QFETCH(int, size);
        QFETCH(QString, expected);
        const QString folder = QFileInfo(freshHosts()).path();
        const QString disk = folder + "/disk";
        QDir().mkpath(disk);
        const QString hosts = bindMounted ? folder + "/hosts" : disk + "/hosts";
        const QByteArray bytes(size, 'x');
        const auto report = inChild(privateMounts, [&] {
            if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, options.toLatin1().constData()) != 0)
                return QString("mount failed");
            QFile old(disk + "/hosts");
            if (!old.open(QIODevice::WriteOnly) || old.write(Old) != Old.size())
                return QString("could not prepare");
            old.close();
            if (bindMounted && ::mount(QFile::encodeName(disk + "/hosts").constData(), QFile::encodeName(hosts).constData(),
                                       nullptr, MS_BIND, nullptr) != 0)
                return QString("bind mount failed");
            const QString result = outcome(writeFileSafely(hosts, bytes));
            const QByteArray left = readBytes(disk + "/hosts");
            return result + (left == Old ? " old" : left == bytes ? " new" : " torn") + ' ' + namesIn(disk).join(',');
        });
        QCOMPARE(report.value_or("needs root"), expected + (expected == "saved" ? " new" : " old") + " hosts");
    }

    // Another user, nobody, plants links in a shared sticky folder; root saves through them.
    void plantedLinksAreNotFollowed_data()
    {
        QTest::addColumn<QString>("plant");
        QTest::addColumn<int>("planter");
        QTest::addColumn<QString>("saved"); // the path saved to, below the shared folder
        QTest::addColumn<bool>("followed");
        QTest::newRow("to a file") << R"(ln -s "$D/victim" "$D/shared/hosts")" << 65534 << "hosts" << false;
        QTest::newRow("dangling") << R"(ln -s "$D/private/new" "$D/shared/hosts")" << 65534 << "hosts" << false;
        QTest::newRow("to a folder") << R"(ln -s "$D/private" "$D/shared/dir")" << 65534 << "dir/hosts" << false;
        QTest::newRow("the folder owner's") << R"(ln -s "$D/victim" "$D/shared/hosts")" << 0 << "hosts" << true;
    }

    void plantedLinksAreNotFollowed()
    {
        QFETCH(QString, plant);
        QFETCH(int, planter);
        QFETCH(QString, saved);
        QFETCH(bool, followed);
        const QString victim = freshHosts();
        const QString folder = QFileInfo(victim).path();
        QVERIFY(QFile::rename(victim, folder + "/victim"));
        QCOMPARE(shell(R"(mkdir -m 1777 "$D/shared" && mkdir -m 0700 "$D/private" && echo ready)", victim), QString("ready\n"));
        QCOMPARE(shell(plant + " && echo planted", victim, planter), QString("planted\n"));

        const auto error = writeFileSafely(folder + "/shared/" + saved, New);
        QCOMPARE(readBytes(folder + "/victim"), followed ? New : Old);
        QCOMPARE(namesIn(folder + "/private"), QStringList());
        if (followed)
            QVERIFY(!error);
        else
            QCOMPARE(error.value_or(FileError{}).reason, FileError::Reason::ForeignLink);
    }

    // A crash at any moment of a save leaves no copy of the list beside the file.
    void noCopyIsVisibleWhileSaving()
    {
        const QString file = freshHosts();
        const QString folder = QFileInfo(file).path();
        QStringList during;
        faults::probe("fsync", [&] { during = namesIn(folder); }, O_WRONLY);
        QVERIFY(!writeFileSafely(file, New));
        QVERIFY(faults::met());
        QCOMPARE(during, QStringList{"hosts"});
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("error");
        QTest::newRow("no path") << "" << ENOENT;
        QTest::newRow("no such folder") << "no-such-folder/hosts" << ENOENT;
        QTest::newRow("a folder") << "." << EISDIR;
        QTest::newRow("a device") << "/dev/null" << 0;
        QTest::newRow("a link to itself") << "loop" << ELOOP;
    }

    void refusals()
    {
        QFETCH(QString, path);
        QFETCH(int, error);
        const QString target = path.startsWith('/') || path.isEmpty() ? path : m_dir.filePath(path);
        const QByteArray before = readBytes(target);
        const auto failure = writeFileSafely(target, New);
        QVERIFY(failure);
        QCOMPARE(failure->systemError, error);
        QCOMPARE(failure->reason, error ? FileError::Reason::System : FileError::Reason::NotRegularFile);
        QCOMPARE(readBytes(target), before);
    }

    // The folder would let nobody rename over the file; the file itself is not theirs to write.
    void aFileThePersonMayNotWriteStays()
    {
        const QString file = freshHosts();
        QVERIFY(::chmod(QFile::encodeName(QFileInfo(file).path()).constData(), 0777) == 0);
        const auto report = asNobody([&] { return outcome(writeFileSafely(file, New)); });
        QCOMPARE(report.value_or("needs root"), QString("%1 0").arg(EACCES));
        QCOMPARE(readBytes(file), Old);
    }
};

QTEST_GUILESS_MAIN(TestWriting)
#include "test_writing.moc"
