// SPDX-License-Identifier: GPL-3.0-or-later
// Saving, through the helper as a plain command: what a save keeps and refuses, and what failing
// calls, full disks, crashes and planted links leave on disk.
#include "support.h"
#include "privileged_writer.h"
#include "save_protocol.h"

namespace {

const QByteArray Old = "127.0.0.1 localhost\r\n";
const QByteArray New = "127.0.0.1 localhost\r\n127.0.0.1 ads.example ##\r\n";

// Everything about a file that a save must keep, as the system's tools print it.
const QString Fingerprint = R"(stat -c '%F %u:%g %a %h' "$F"; getfacl -cpE "$F"; getfattr -hd -m - "$F")";

// Runs a shell script as root with F the file, D its folder and HELPER the helper; its output.
QByteArray shell(const QString& script, const QString& file, const QByteArray& input = {}, const QString& fault = {})
{
    QProcess process;
    const QString folder = QFileInfo(file).path(), faults = fault.isEmpty() ? "" : QFileInfo(folder).path() + "/faults.so"; // no spaces
    process.start("env", {"F=" + file, "D=" + folder, "HELPER=" + folder + "/../helper", "ZARVELLO_FAULT=" + fault, "LD_PRELOAD=" + faults, "sh", "-c", script});
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished();
    return process.readAllStandardOutput();
}

QByteArray answer(int error, FileError::Reason reason = {}, FileError::FileState state = {})
{
    return protocol::encodeAnswer(FileError{{}, {}, reason, error, state});
}

// setup runs as root before the save, command runs the helper (as someone, somewhere) with a
// failing call (see system_faults.cpp); output is its answer and what command adds; after is what
// hosts then holds: old, new, or unchecked.
struct Case {
    QString setup, command, fault;
    QByteArray request, output;
    QString after;
};

} // namespace

class TestWriting : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("other users, planted links and mounts need root");
        // Other users run the helper too, and the build folder may be closed to them.
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0 && QFile::copy(ZARVELLO_HELPER, m_dir.filePath("helper"))
                && QFile::copy(ZARVELLO_FAULTS, m_dir.filePath("faults.so")));
    }

    void saves_data()
    {
        QTest::addColumn<Case>("c");
        const QByteArray ok = "ok\n";
        const QString helper = R"("$HELPER")";
        // path: in the case's folder, or absolute, or (after '=') sent as it is.
        const auto row = [&](const char* name, const QString& setup, const QByteArray& output, const QString& after, const QString& fault = {},
                             const QString& command = R"("$HELPER")", const QByteArray& path = "hosts", const QByteArray& content = New) {
            const QByteArray full = path.startsWith('=') ? path.mid(1) : path.startsWith('/') ? path : QFile::encodeName(m_dir.filePath(name)) + '/' + path;
            QTest::newRow(name) << Case{setup, command, fault, protocol::encodeRequest(full, content), output, after};
        };
        const auto fault = [](const char* call, int error, int flags = 0, int skip = 0) { return QString::asprintf("%s %d %d %d", call, error, flags, skip); };
        using Reason = FileError::Reason;
        using State = FileError::FileState;
        // What is kept.
        row("owner, group, mode", R"(chown 1000:1000 "$F"; chmod 2640 "$F")", ok, "new");
        row("ACL", R"(setfacl -m u:1000:rw "$F")", ok, "new");
        row("extended attribute", R"(setfattr -n user.origin -v kept "$F")", ok, "new");
        row("no ACL from the folder", R"(setfacl -d -m u:1000:rwx "$D")", ok, "new");
        row("hard link", R"(ln "$F" "$D/other")", ok + New, "new", {}, helper + R"(; cat "$D/other")");
        row("symbolic link", R"(mv "$F" "$D/real"; ln -s real "$F")", ok + "link\n", "new", {}, helper + R"(; test -L "$F" && echo link)");
        row("saved by a group member", R"(chown 1000:1000 "$F"; chmod 0660 "$F"; chmod 0777 "$D")", ok, "new", {}, "setpriv --reuid 1001 --regid 1001 --groups 1000 " + helper);
        // Each call of a save failing; where the rename cannot keep the file (a hard link), in place.
        const QString xattr = R"(setfattr -n user.kept -v 1 "$F")", linked = R"(ln "$F" "$D/other")";
        row("temporary file not made", xattr, answer(EIO), "old", fault("openat", EIO, __O_TMPFILE));
        row("no anonymous files here", xattr, ok, "new", fault("openat", EOPNOTSUPP, __O_TMPFILE));
        row("temporary file: folder refuses it", xattr, ok, "new", fault("openat", EACCES, __O_TMPFILE));
        row("temporary file: write", xattr, answer(ENOSPC), "old", fault("pwrite", ENOSPC, O_WRONLY));
        row("temporary file: sync", xattr, answer(EIO), "old", fault("fsync", EIO, O_WRONLY));
        row("temporary file: naming", xattr, answer(EIO), "old", fault("linkat", EIO));
        row("temporary file: close", xattr, answer(EIO), "old", fault("close", EIO, O_WRONLY));
        row("rename", xattr, answer(EIO), "old", fault("renameat", EIO));
        row("rename onto a mount point", xattr, ok, "new", fault("renameat", EXDEV));
        row("folder sync", xattr, answer(EIO, {}, State::WrittenNotDurable), "new", fault("fsync", EIO, 0, 1));
        row("owner not given", xattr, ok, "new", fault("fchown", EPERM));
        row("owner not given, no anonymous files", R"(chown 1000:1000 "$F"; chmod 0660 "$F"; chmod 0777 "$D")", ok, "new",
            fault("openat", EOPNOTSUPP, __O_TMPFILE), "setpriv --reuid 1001 --regid 1001 --groups 1000 " + helper);
        row("attribute not given", xattr, ok, "new", fault("fsetxattr", EPERM));
        row("in place: no room", linked, answer(ENOSPC), "old", fault("fallocate", ENOSPC));
        row("in place: write", linked, answer(EIO), "old", fault("pwrite", EIO, O_RDWR));
        row("in place: cutting", linked, answer(EIO, {}, State::MaybeIncomplete), "new", fault("ftruncate", EIO));
        row("in place: sync", linked, answer(EIO, {}, State::WrittenNotDurable), "new", fault("fsync", EIO, O_RDWR));
        row("in place: close", linked, answer(EIO, {}, State::WrittenNotDurable), "new", fault("close", EIO, O_RDWR));
        // A crash at any moment leaves the old file or the new one, and no copy beside it.
        row("crash while writing", {}, {}, "old", fault("fsync", 0, O_WRONLY));
        row("crash after the rename", {}, {}, "new", fault("fsync", 0, 0, 1));
        row("crash in place", linked, {}, "old", fault("fallocate", 0));
        // Real disks: full, out of inodes, and a bind-mounted file (as /etc/hosts in a container).
        const QString disk = R"(exec unshare -m sh -c 'mount --make-rprivate / && mount -t tmpfs -o %1 tmpfs "$D" &&
            printf "127.0.0.1 localhost\r\n" >"$F" && %2 "$HELPER"; cmp -s "$F" "$D/../old" && echo old; ls -A "$D"')";
        const QString bind = R"(mkdir "$D/disk" && cp "$F" "$D/disk/real" && mount --bind "$D/disk/real" "$F" &&)";
        const QString old = R"(cp "$F" "$D/../old")";
        const QByteArray big(256 * 1024, 'x');
        row("full disk", old, answer(ENOSPC) + "old\nhosts\n", "", {}, disk.arg("size=64k", ""), "hosts", big);
        row("no free inode", old, answer(ENOSPC) + "old\nhosts\n", "", {}, disk.arg("nr_inodes=2", ""));
        row("bind-mounted, full", old, answer(ENOSPC) + "old\ndisk\nhosts\n", "", {}, disk.arg("size=64k", bind), "hosts", big);
        row("bind-mounted", old, ok + "disk\nhosts\n", "", {}, disk.arg("size=64k", bind));
        // Links that nobody planted in a shared sticky folder, which root must not follow.
        const QString shared = R"(mkdir -m 1777 "$D/shared" && mkdir -m 0700 "$D/private" &&
            setpriv --reuid 65534 --regid 65534 --clear-groups )";
        const QString planted = helper + R"(; ls -A "$D/private")";
        const QByteArray foreign = answer(EACCES, Reason::ForeignLink);
        row("planted link to a file", shared + R"(ln -s "$F" "$D/shared/hosts")", foreign, "old", {}, planted, "shared/hosts");
        row("planted dangling link", shared + R"(ln -s "$D/private/new" "$D/shared/hosts")", foreign, "old", {}, planted, "shared/hosts");
        row("planted link to a folder", shared + R"(ln -s "$D/private" "$D/shared/dir")", foreign, "old", {}, planted, "shared/dir/hosts");
        row("the folder owner's link", R"(mkdir -m 1777 "$D/shared" && ln -s "$F" "$D/shared/hosts")", ok, "new", {}, helper, "shared/hosts");
        // Requests the helper refuses, writing nothing.
        const QByteArray invalid = answer(EINVAL);
        row("relative path", {}, invalid, "old", {}, helper, "=relative/hosts");
        row("dot-dot", {}, invalid, "old", {}, helper, "/tmp/../hosts");
        row("dot", {}, invalid, "old", {}, helper, "/tmp/./hosts");
        row("an empty component", {}, invalid, "old", {}, helper, "/tmp//hosts");
        row("a folder", {}, answer(EISDIR), "old", {}, helper, "/tmp");
        row("a device", {}, answer(0, Reason::NotRegularFile), "old", {}, helper, "/dev/null");
        row("a link to itself", R"(ln -s loop "$D/loop")", answer(ELOOP), "old", {}, helper, "loop");
        row("no such folder", {}, answer(ENOENT), "old", {}, helper, "missing/hosts");
        row("a file the person may not write", R"(chmod 0777 "$D")", answer(EACCES), "old", {}, "setpriv --reuid 65534 --regid 65534 --clear-groups " + helper);
        QTest::newRow("oversize") << Case{{}, helper, {}, "5 134217729\n/tmp/", invalid, "old"};
        QTest::newRow("truncated frame") << Case{{}, helper, {}, "5 3\n/tmp/h", invalid, "old"};
        // After a malformed request the helper ends: the good one behind it is not written.
        const QByteArray good = protocol::encodeRequest(QFile::encodeName(m_dir.filePath("not a header/hosts")), New);
        QTest::newRow("not a header") << Case{{}, helper, {}, "hello world\n" + good, invalid, "old"};
        QTest::newRow("a number left out") << Case{{}, helper, {}, " 3\n" + good, invalid, "old"};
    }

    void saves()
    {
        QFETCH(Case, c);
        const QString folder = m_dir.filePath(QTest::currentDataTag()), file = folder + "/hosts";
        QVERIFY(QDir().mkpath(folder));
        writeBytes(file, Old);
        shell(c.setup, file);
        const QByteArray fingerprint = shell(Fingerprint, file);
        const auto names = [&] { return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); };
        const QStringList before = names();

        QCOMPARE(shell(c.command, file, c.request, c.fault), c.output);
        if (c.after.isEmpty())
            return;
        QCOMPARE(readBytes(file), c.after == "old" ? Old : New);
        QCOMPARE(shell(Fingerprint, file), fingerprint);
        QCOMPARE(names(), before);
    }

    // A helper that never answers counts as rights not given, and is not waited on again.
    void aSilentHelperIsGivenUp()
    {
        PkexecWriter silent({"sleep", "30"}, 300, 300);
        QVERIFY(!silent.write(m_dir.filePath("hosts"), New).rightsGiven && !silent.write(m_dir.filePath("hosts"), New).rightsGiven);
        QCOMPARE(silent.launches(), 2);
    }

    // Each failure in the person's words: the file, what failed, why, and what the file holds now.
    void messages_data()
    {
        QTest::addColumn<FileError>("error");
        QTest::addColumn<QString>("message");
        using R = FileError::Reason;
        const FileError::Operation read = FileError::Operation::Read, write = FileError::Operation::Write;
        QTest::newRow("read") << FileError{"/h", read, R::System, ENOENT} << "Не удалось прочитать файл «/h»: нет такого файла или папки.";
        QTest::newRow("not regular") << FileError{"/h", read, R::NotRegularFile} << "Не удалось прочитать файл «/h»: это не обычный файл.";
        QTest::newRow("too many") << FileError{"/h", read, R::TooManyEntries, 0, {}, 32767} << "Файл «/h» не открыт: список вмещает не больше 32767 записей, а с этим файлом их стало бы больше. Из файла ничего не добавлено.";
        QTest::newRow("too large") << FileError{"/h", read, R::TooLarge, 0, {}, 0, 128} << "Файл «/h» не открыт: он больше 128 МиБ, это не похоже на файл hosts. Из файла ничего не добавлено.";
        QTest::newRow("unchanged") << FileError{"/h", write, R::System, ENOSPC} << "Не удалось сохранить файл «/h»: на диске нет места. Файл остался прежним.";
        QTest::newRow("incomplete") << FileError{"/h", write, R::System, EIO, FileError::FileState::MaybeIncomplete} << "Не удалось сохранить файл «/h»: ошибка ввода-вывода. Файл мог остаться записанным не полностью.";
        QTest::newRow("not durable") << FileError{"/h", write, R::System, EIO, FileError::FileState::WrittenNotDurable} << "Файл «/h» записан, но система не подтвердила, что он сохранён на диске: ошибка ввода-вывода.";
        QTest::newRow("foreign link") << FileError{"/h", write, R::ForeignLink, EACCES} << "Не удалось сохранить файл «/h»: путь идёт через символическую ссылку чужого пользователя в общей папке. Файл остался прежним.";
        QTest::newRow("no rights") << FileError{"/h", write, R::System, EACCES, {}, 0, 0, true} << "Не удалось сохранить файл «/h»: нет доступа. Файл остался прежним. Права администратора не получены.";
        QTest::newRow("other errno") << FileError{"/h", write, R::System, EXFULL} << "Не удалось сохранить файл «/h»: системная ошибка 54 (Exchange full). Файл остался прежним.";
    }

    void messages()
    {
        QFETCH(FileError, error);
        QFETCH(QString, message);
        QCOMPARE(error.message(), message);
    }
};

QTEST_GUILESS_MAIN(TestWriting)
#include "test_writing.moc"
