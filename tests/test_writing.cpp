// SPDX-License-Identifier: GPL-3.0-or-later
// The writer, through the helper run as a plain command by root and by others: what a save keeps
// and refuses, and what failing calls, full disks, crashes and planted links leave on disk. The
// rows' set-ups and commands are shell, with the functions of writing.sh.
#include "faults.h"
#include "save_protocol.h"
#include "support.h"

#include <csignal>

namespace {

const QByteArray Old = "127.0.0.1 localhost\r\n", Ok = "ready\n1 ok\n";
const QByteArray New = "127.0.0.1 localhost\r\n127.0.0.1 ads.example ##\r\n";

// Runs a shell script as root after writing.sh, with F the file, T the path asked for and the
// shim's fault; its output.
QByteArray shell(const QString& script, const QString& file, const QByteArray& input = {},
                 const QString& fault = {}, const QByteArray& target = {})
{
    QProcess process;
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start("env",
                  {"F=" + file, "T=" + QString::fromLatin1(target), "ZARVELLO_FAULT=" + fault,
                   "WRITING=" ZARVELLO_WRITING, "sh", "-c", ". \"$WRITING\"; " + script});
    const pid_t group = pid_t(process.processId());
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished();
    // Nothing the script started outlives it, not even a helper that hangs, though it left the
    // group for a session of its own: that one is known by its path.
    ::kill(-group, SIGKILL);
    const QByteArray helper = QFile::encodeName(QFileInfo(file).path()) + "/../helper";
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs))
        if (readBytes("/proc/" + pid + "/cmdline").startsWith(helper))
            ::kill(pid.toInt(), SIGKILL);
    return process.readAllStandardOutput();
}

// The helper's greeting and its answer to the first request.
QByteArray answer(int error, FileError::Reason reason = {}, FileError::FileState state = {})
{
    return "ready\n" + protocol::encodeAnswer(1, FileError{{}, {}, reason, error, state});
}

// What a request expects of the file: nothing, the file as the row set it up, or no file.
enum Expect { Nothing, AsSetUp, NoFile };

struct Case {
    QString fault;             // a failing call, see system_faults.cpp
    QByteArray output;         // the helper's answers and what command adds
    QByteArray after;          // what hosts then holds: Old, New, or unchecked
    QString setup;             // run as root before the save
    QString command = "save";  // runs the helper, as someone, somewhere
    QByteArray path = "hosts"; // in the row's folder, or absolute
    QByteArray content = New;  // the request's
    QByteArray request;        // sent as it is; else a request for path
    QString removed;           // a name the save removes beside it: our litter
    Expect expect = Nothing;   // the request's
};

// A row, its fields in the order of Case; a command that is not given is a save, and more gives
// the fields after path.
void row(const char* name, const QString& fault, const QByteArray& output, const QByteArray& after,
         const QString& setup = {}, const QString& command = {}, const QByteArray& path = "hosts",
         Case more = {})
{
    more.fault = fault, more.output = output, more.after = after, more.setup = setup;
    more.command = command.isEmpty() ? more.command : command, more.path = path;
    QTest::newRow(name) << more;
}

// The rows of TestWriting::saves, for files in dir.
void addRows(const QDir& dir)
{
    QTest::addColumn<Case>("c");
    using enum FileError::Reason;
    using enum FileError::FileState;
    // The helper's refusal of the file it was started for, instead of its greeting.
    const auto refusal = [](auto why, int error = 0) -> QByteArray {
        return protocol::encodeRefusal(why, error) + '\n';
    };
    const auto fault = [](const char* call, int error, int flags = 0, int skip = 0) {
        return QString::asprintf("%s %d %d %d", call, error, flags, skip);
    };
    // Rows that differ only in the call that fails, what the helper says and what hosts then holds.
    const auto failing = [](QString setup, QString command = {}, Case more = {}) {
        return [=](auto... row) { ::row(row..., setup, command, "hosts", more); };
    };
    // What is kept.
    row("owner, group, mode", {}, Ok, New, R"(chown 1000:1000 "$F"; chmod 2640 "$F")");
    row("ACL and extended attribute", {}, Ok, New, "attributes");
    row("no ACL from the folder", {}, Ok, New, "inherits");
    row("hard link", {}, Ok + New, New, "linked", R"(save; cat "$D/other")");
    row("symbolic link", {}, Ok + "link\n", New, "symlinked", R"(save; test -L "$F" && echo link)");
    const auto member = failing("member", "as_member");
    member("saved by a group member", QString(), Ok, New);
    // Each call of a save failing; where the rename cannot keep the file (a hard link), in place.
    const auto renamed = failing("xattr"), inPlace = failing("linked"), crashing = failing({});
    const QByteArray notDurable = answer(EIO, {}, WrittenNotDurable);
    const QString noTmpfile = fault("openat", EOPNOTSUPP, __O_TMPFILE);
    renamed("temporary file not made", fault("openat", EIO, __O_TMPFILE), answer(EIO), Old);
    renamed("no anonymous files here", noTmpfile, Ok, New);
    renamed("temporary file: folder refuses it", fault("openat", EACCES, __O_TMPFILE), Ok, New);
    renamed("temporary file: write", fault("pwrite", ENOSPC, O_WRONLY), answer(ENOSPC), Old);
    renamed("temporary file: a short write", fault("pwrite", Short, O_WRONLY), Ok, New);
    renamed("temporary file: sync", fault("fsync", EIO, O_WRONLY), answer(EIO), Old);
    renamed("temporary file: naming", fault("linkat", EIO), answer(EIO), Old);
    renamed("temporary file: close", fault("close", EIO, O_WRONLY), answer(EIO), Old);
    renamed("rename", fault("renameat", EIO), answer(EIO), Old);
    renamed("rename onto a mount point", fault("renameat", EXDEV), Ok, New);
    renamed("folder sync", fault("fsync", EIO, 0, 1), notDurable, New);
    renamed("owner not given", fault("fchown", EPERM), Ok, New);
    renamed("attribute not given", fault("fsetxattr", EPERM), Ok, New);
    const auto listed = failing("attributes"), inherited = failing("xattr; inherits");
    listed("attributes not listed", fault("flistxattr", EIO), Ok, New);
    listed("an attribute added while listed", fault("flistxattr", ERANGE, 0, 1), Ok, New);
    inherited("the copy's attributes not listed", fault("flistxattr", EIO, O_WRONLY), Ok, New);
    // Unsupported by one of two files in one folder: no file system that has no attributes.
    listed("attributes unsupported by the old file", fault("flistxattr", ENOTSUP), Ok, New);
    inherited("attributes unsupported by the copy", fault("flistxattr", ENOTSUP, O_WRONLY), Ok,
              New);
    const QString unremoved = fault("renameat", EXDEV) + "; " + fault("unlinkat", EIO);
    const QByteArray copyLeft = answer(EIO, CopyLeft, Saved) + "1\n";
    row("rename refused, copy not removed", unremoved, copyLeft, New, "xattr", "save; copies");
    const Case stale{.removed = ".zarvello-Stale123"};
    row("an earlier save's copy removed, nothing else", {}, Ok, New, "litter", {}, "hosts", stale);
    row("no copy removed where others may write", {}, Ok, New, R"(chmod 0775 "$D"; litter)");
    inPlace("in place: a read interrupted", fault("pread", EINTR), Ok, New);
    inPlace("in place: the old file shrank", fault("pread", ReturnZero), answer(EIO), Old);
    inPlace("in place: no room", fault("fallocate", ENOSPC), answer(ENOSPC), Old);
    inPlace("in place: write", fault("pwrite", EIO, O_RDWR), answer(EIO), Old);
    inPlace("in place: a short write", fault("pwrite", Short, O_RDWR), Ok, New);
    // A list as long as the old one needs no cut, so none that would fail is tried.
    const QByteArray asLong(Old.size(), 'x');
    failing("linked", {}, {.content = asLong})("in place: a list as long needs no cut",
                                               fault("ftruncate", EIO), Ok, asLong);
    const QByteArray fewer = "127.0.0.1 a\n";
    const auto shorter = failing("linked", {}, {.content = fewer});
    shorter("in place: a shorter list not cut", fault("ftruncate", EIO), answer(EIO), Old);
    // A signal a caller can still send the root helper, from a timer left armed across exec.
    shorter("in place: a timer goes off", fault("ftruncate", Alarm), Ok, fewer);
    const QString swap = R"(ZARVELLO_SWAP="$D/swap" "$HELPER" "$T"; cat "$F")";
    row("in place: the file replaced before it is opened", fault("openat", Swap, O_RDWR),
        answer(ESTALE) + "swapped", {}, R"(linked; printf swapped >"$D/swap")", swap);
    inPlace("in place: sync", fault("fsync", EIO, O_RDWR), notDurable, New);
    inPlace("in place: close", fault("close", EIO, O_RDWR), notDurable, New);
    // A crash at any moment leaves the old file or the new one, and no copy beside it.
    crashing("crash while writing", fault("fsync", Kill, O_WRONLY), "ready\n", Old);
    crashing("crash after the rename", fault("fsync", Kill, 0, 1), "ready\n", New);
    inPlace("crash in place", fault("fallocate", Kill), "ready\n", Old);
    member("owner not given, no anonymous files", noTmpfile, Ok, New);
    // Real disks: full, out of inodes, and a bind-mounted file (as /etc/hosts in a container).
    const QString old = R"(cp "$F" "$D/../old")", bound = "alone -m disk size=64k bound";
    const QByteArray full = answer(ENOSPC) + "old\n";
    const Case big{.content = QByteArray(256 * 1024, 'x')};
    row("full disk", {}, full + "hosts\n", {}, old, "alone -m disk size=64k", "hosts", big);
    row("no free inode", {}, full + "hosts\n", {}, old, "alone -m disk nr_inodes=2");
    row("bind-mounted, full", {}, full + "disk\nhosts\n", {}, old, bound, "hosts", big);
    row("bind-mounted: no copy made", fault("unlinkat", EIO), Ok + "disk\nhosts\n", {}, old, bound);
    // An old file read back in place is never larger than a hosts file, whatever it claims.
    row("in place, old file too large", {}, answer(EFBIG) + "209715200\n", {},
        R"(linked; truncate -s 200M "$F")", R"(save; stat -c %s "$F")");
    row("in place, old file as large as a hosts file may be", {}, Ok + "47\n", {},
        R"(linked; truncate -s 128M "$F")", R"(save; stat -c %s "$F")");
    // Nothing of the caller's limits reaches the helper: a new file gets the usual mode, and a
    // size limit does not kill a save halfway.
    row("umask 000", {}, Ok + "644\n", {}, {}, R"(umask 000; save; stat -c %a "$T")", "new");
    row("a file size limit", {}, Ok + "4096\n", {}, "linked",
        R"(ulimit -S -f 1; save; stat -c %s "$F")", "hosts", {.content = QByteArray(4096, 'x')});
    // A terminal's ^C and hang-up, and the death of its session, stop no save under way.
    const QString terminal = R"("$TERMINAL" '"$HELPER" "$T"'; cat "$F")";
    row("the editor's terminal interrupted, then gone", fault("ftruncate", Pause), Ok + fewer, {},
        "linked", terminal, "hosts", {.content = fewer});
    // Limits a caller lowered are raised as far as the system lets root (a hard limit needs a
    // capability that containers withhold); where one cannot be, the helper does not work.
    const QByteArray lifted = "unlimited unlimited\n";
    const QByteArray raised = "ready\n" + lifted.repeated(4) + "1024 1024\n" + lifted + "1 ok\n";
    row("lowered limits raised", fault("renameat", Pause), raised, New, {}, "lowered");
    // Nor does the caller's scheduling, nor a cgroup of the person's, which could stop it half-way.
    row("scheduling reset", fault("renameat", Pause),
        "ready\n0 0\nbest-effort: prio 4\n0\n1\n1 ok\n", New, {}, "scheduled");
    row("the person's cgroup left", fault("renameat", Pause), "ready\n0\n1 ok\n" + New, {}, {},
        "alone -m person : delegated", "/mnt/hosts");
    row("a hard limit root may not raise", {}, refusal(LimitsLowered), Old, {}, "capped");
    // Another program's change right before the file is replaced leaves it as it is, to read again.
    const QByteArray meanwhile = answer(0, ChangedMeanwhile), late = meanwhile + Old + "late";
    const Case asSetUp{.expect = AsSetUp};
    row("checked: unchanged", {}, Ok, New, {}, {}, "hosts", asSetUp);
    row("checked: changed before the rename", fault("linkat", Pause), late + "hosts\n", {}, {},
        "changed", "hosts", asSetUp);
    row("checked: changed before a byte in place", fault("pread", Pause), late + "hosts\nother\n",
        {}, "linked", "changed", "hosts", asSetUp);
    row("checked: a file where none was", {}, meanwhile, Old, {}, {}, "hosts", {.expect = NoFile});
    // Links that nobody planted in a shared sticky folder, which root must not follow.
    const auto planted = [](const char* name, const QString& link, const QByteArray& path) {
        row(name, {}, answer(EACCES, ForeignLink), Old, "shared && nobody " + link,
            R"(save; ls -A "$D/private")", path);
    };
    planted("planted link to a file", R"(ln -s "$F" "$D/shared/hosts")", "shared/hosts");
    planted("planted dangling link", R"(ln -s "$D/private/new" "$D/shared/hosts")", "shared/hosts");
    planted("planted link to a folder", R"(ln -s "$D/private" "$D/shared/dir")",
            "shared/dir/hosts");
    row("the folder owner's link", {}, Ok, New, R"(shared && ln -s "$F" "$D/shared/hosts")", {},
        "shared/hosts");
    // Acting for a person, root writes only where root alone decides: each row in a folder of
    // root's own, on a file system of the row's own.
    const auto person = [](auto name, QString setup, QByteArray path, QByteArray output) {
        row(name, {}, output, {}, {}, "alone -m person '" + setup + "'", path);
    };
    person("for a person: root's link", "ln -s hosts /mnt/link", "/mnt/link", Ok + New);
    person("for a person: a folder its group may write",
           "mkdir -m 0775 /mnt/d && ln -s /mnt/hosts /mnt/d/h", "/mnt/d/h",
           refusal(UnsafeFolder, EACCES) + "old");
    person("for a person: another user's link", "ln -s hosts /mnt/link && chown -h 1000 /mnt/link",
           "/mnt/link", refusal(UnsafeLink, EACCES) + "old");
    person("for a person: a disk the person brought",
           "mkdir /mnt/card && mount -t tmpfs -o nosuid,mode=0755 tmpfs /mnt/card && ln -s "
           "../hosts /mnt/card/h",
           "/mnt/card/h", refusal(PersonsDisk, EACCES) + "old");
    // The grant is for the folder the prompt showed, not for whatever is mounted there later.
    row("for a person: a mount laid over after the grant", {}, answer(ESTALE, PlaceChanged), {}, {},
        "alone -m person 'mkdir -m 0755 /mnt/d' covered", "/mnt/d/h");
    person("for a person: a second name", "ln /mnt/hosts /mnt/other", "/mnt/hosts",
           answer(EACCES, SeveralNames) + "old");
    // /proc's folders are root's, and a process's open file leads to any file it opened.
    person("for a person: a file by way of proc", "exec 3</mnt/hosts", "/proc/self/fd/3",
           refusal(KernelInterface, EACCES) + "old");
    person("for a person: a name that is not UTF-8", R"(T=$(printf "/mnt/h\\377"))", "/mnt/h\xff",
           refusal(UnshowableName));
    // Kernel interfaces are files in folders only root may change, and no file of a disk.
    row("for a person: the host name", {}, refusal(KernelInterface, EACCES) + "before\n", {}, {},
        "alone -u host_name", "/proc/sys/kernel/hostname");
    person("for a person: where the devices are",
           "mount -t tmpfs -o mode=0755 tmpfs /dev && printf old >/dev/hosts", "/dev/hosts",
           refusal(KernelInterface, EACCES) + "old");
    row("for a person: a shared sticky folder", {}, refusal(UnsafeFolder, EACCES), Old, {},
        "for_person");
    // Requests the helper refuses, writing nothing.
    row("another file than granted", {}, answer(EPERM), Old, {}, R"("$HELPER" "$D/other")");
    row("not granted: an indirect path", {}, refusal(IndirectPath), Old, {}, {}, "/tmp/../hosts");
    row("a folder", {}, answer(EISDIR), Old, {}, {}, "/tmp");
    row("a device", {}, answer(0, NotRegularFile), Old, {}, {}, "/dev/null");
    row("a link to itself", {}, answer(ELOOP), Old, R"(ln -s loop "$D/loop")", {}, "loop");
    row("no such folder", {}, answer(ENOENT), Old, {}, {}, "missing/hosts");
    row("a file the person may not write", {}, answer(EACCES), Old, R"(chmod 0777 "$D")",
        R"(nobody "$HELPER" "$T")");
    const auto malformed = [](const char* name, const QByteArray& request) {
        row(name, {}, "ready\n", Old, {}, {}, "hosts", {.request = request});
    };
    // Taken whole, the path would be refused as another file than granted.
    malformed("a path too long", "1 4097 3 -\n" + QByteArray(4097, '/') + "new");
    malformed("truncated frame", "1 5 3 -\n/tmp/h");
    // After a malformed request the helper ends: the good one behind it is not written.
    const QByteArray good =
        protocol::encodeRequest(1, QFile::encodeName(dir.filePath("not a header/hosts")), New);
    malformed("not a header", "hello world\n" + good);
    // A request for the row's own file, with the header given.
    const auto own = [&](const char* row, const char* header) {
        const QByteArray path = QFile::encodeName(dir.filePath(row) + "/hosts");
        return QString(header).arg(path.size()).toLatin1() + '\n' + path + "new";
    };
    const QByteArray largest = "18446744073709551615";
    row("a number of 20 digits", {}, "ready\n" + largest + " ok\n", {}, {}, {}, "hosts",
        {.request = own("a number of 20 digits", largest + " %1 3 -")});
}

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
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0
                && QFile::copy(ZARVELLO_HELPER, m_dir.filePath("helper"))
                && QFile::copy(ZARVELLO_FAULTS, m_dir.filePath("faults.so")));
    }

    void saves_data() { addRows(m_dir.path()); }

    void saves()
    {
        QFETCH(Case, c);
        const QString folder = m_dir.filePath(QTest::currentDataTag()), file = folder + "/hosts";
        QVERIFY(QDir().mkpath(folder));
        writeBytes(file, Old);
        shell(c.setup, file);
        // What the save must keep, and what it must leave in the folder: all but what it removes.
        const QByteArray fingerprint = shell("keeps " + c.removed, file);
        const QByteArray target =
            c.path.startsWith('/') ? c.path : QFile::encodeName(folder) + '/' + c.path;
        std::optional<Fingerprint> expected;
        if (c.expect != Nothing)
            expected = c.expect == AsSetUp ? Fingerprint::of(file) : Fingerprint{};
        const QByteArray request = c.request.isEmpty()
            ? protocol::encodeRequest(1, target, c.content, expected)
            : c.request;

        QByteArray output = shell(c.command, file, request, c.fault, target);
        if (output.startsWith("skip: "))
            QSKIP(output.constData());
        // A save's answer gives the file as it was written: here, as it is.
        if (c.output.contains("\n1 ok\n") && c.after == New && c.path == "hosts")
            QVERIFY(output.contains(protocol::encodeAnswer(1, {}, Fingerprint::of(file))));
        output = QString::fromLatin1(output)
                     .replace(QRegularExpression(" ok [-0-9,]+\n"), " ok\n")
                     .toLatin1();
        QCOMPARE(output, c.output);
        if (c.after.isEmpty())
            return;
        QCOMPARE(readBytes(file), c.after);
        QCOMPARE(shell("keeps", file), fingerprint);
    }
};

QTEST_GUILESS_MAIN(TestWriting)
#include "test_writing.moc"
