// SPDX-License-Identifier: GPL-3.0-or-later
// The writer, through the helper run as a plain command by root and by others: what a save keeps
// and refuses, and what failing calls, full disks, crashes and planted links leave on disk.
#include "faults.h"
#include "save_protocol.h"
#include "support.h"

#include <csignal>

namespace {

const QByteArray Old = "127.0.0.1 localhost\r\n";
const QByteArray New = "127.0.0.1 localhost\r\n127.0.0.1 ads.example ##\r\n";

// Everything about a file that a save must keep, as the system's tools print it.
const QString Keeps = R"(stat -c '%F %u:%g %a %h' "$F"; getfacl -cpE "$F"; getfattr -hd -m - "$F")";

// Runs a shell script as root with F the file, D its folder, T the path asked for, HELPER the
// helper, TERMINAL on_a_terminal.sh, and paused, which waits for a call the shim pauses; its
// output.
QByteArray shell(const QString& script, const QString& file, const QByteArray& input = {},
                 const QString& fault = {}, const QByteArray& target = {})
{
    QProcess process;
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    const QString folder = QFileInfo(file).path(),
                  faults =
                      fault.isEmpty() ? "" : QFileInfo(folder).path() + "/faults.so"; // no spaces
    process.start("env",
                  {"F=" + file, "D=" + folder, "T=" + QString::fromLatin1(target),
                   "HELPER=" + folder + "/../helper", "ZARVELLO_FAULT=" + fault,
                   "ZARVELLO_PAUSED=" + folder + "/paused", "TERMINAL=" ZARVELLO_TERMINAL,
                   "LD_PRELOAD=" + faults, "sh", "-c",
                   "paused() { for _ in $(seq 500); do [ -e \"$ZARVELLO_PAUSED\" ] && return; "
                   "sleep 0.01; done; }; "
                       + script});
    const pid_t group = pid_t(process.processId());
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished();
    // Nothing the script started outlives it, not even a helper that hangs.
    ::kill(-group, SIGKILL);
    return process.readAllStandardOutput();
}

// The helper's greeting and its answer to the first request.
QByteArray answer(int error, FileError::Reason reason = {}, FileError::FileState state = {})
{
    return "ready\n" + protocol::encodeAnswer(1, FileError{{}, {}, reason, error, state});
}

const QByteArray Ok = "ready\n1 ok\n";

// The helper's refusal of the file it was started for, instead of its greeting.
QByteArray refusal(FileError::Reason reason)
{
    return protocol::encodeRefusal(reason) + '\n';
}

// What a request expects of the file: nothing, the file as the row set it up, or no file.
enum class Expect { Nothing, AsSetUp, NoFile };

struct Case {
    QString setup;                         // run as root before the save
    QString command = R"("$HELPER" "$T")"; // runs the helper, as someone, somewhere
    QString fault;                         // a failing call, see system_faults.cpp
    QByteArray path = "hosts";             // in the row's folder, or absolute
    QByteArray content = New;              // the request's
    QByteArray request;                    // sent as it is; else a request for path
    QByteArray output;                     // the helper's answers and what command adds
    QString after;                         // what hosts then holds: old, new, or unchecked
    QString removed;                       // a name the save removes beside it: our litter
    Expect expect = Expect::Nothing;       // the request's
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
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0
                && QFile::copy(ZARVELLO_HELPER, m_dir.filePath("helper"))
                && QFile::copy(ZARVELLO_FAULTS, m_dir.filePath("faults.so")));
    }

    void saves_data()
    {
        QTest::addColumn<Case>("c");
        const auto fault = [](const char* call, int error, int flags = 0, int skip = 0) {
            return QString::asprintf("%s %d %d %d", call, error, flags, skip);
        };
        const QString helper = Case{}.command;
        using Reason = FileError::Reason;
        using State = FileError::FileState;
        // What is kept.
        QTest::newRow("owner, group, mode") << Case{
            .setup = R"(chown 1000:1000 "$F"; chmod 2640 "$F")", .output = Ok, .after = "new"};
        const QString attributes =
            R"(setfacl -m g:1000:rw "$F"; setfattr -n user.note -v keep "$F")";
        QTest::newRow("ACL and extended attribute")
            << Case{.setup = attributes, .output = Ok, .after = "new"};
        QTest::newRow("no ACL from the folder")
            << Case{.setup = R"(setfacl -d -m u:1000:rwx "$D")", .output = Ok, .after = "new"};
        QTest::newRow("hard link") << Case{.setup = R"(ln "$F" "$D/other")",
                                           .command = helper + R"(; cat "$D/other")",
                                           .output = Ok + New,
                                           .after = "new"};
        QTest::newRow("symbolic link") << Case{.setup = R"(mv "$F" "$D/real"; ln -s real "$F")",
                                               .command = helper + R"(; test -L "$F" && echo link)",
                                               .output = Ok + "link\n",
                                               .after = "new"};
        // Saved by another member of the file's group, who may write it but not own it.
        const Case member{.setup = R"(chown 1000:1000 "$F"; chmod 0660 "$F"; chmod 0777 "$D")",
                          .command = "setpriv --reuid 1001 --regid 1001 --groups 1000 " + helper,
                          .output = Ok,
                          .after = "new"};
        QTest::newRow("saved by a group member") << member;
        // Each call of a save failing: a row's setup, the call, the answer, what the file holds.
        // Where the rename cannot keep the file (a hard link), the save is in place.
        const QString xattr = R"(setfattr -n user.kept -v 1 "$F")",
                      linked = R"(ln "$F" "$D/other")";
        const auto failing = [](const QString& setup) {
            return [setup](const char* name, const QString& call, const QByteArray& output,
                           const char* after) {
                QTest::newRow(name)
                    << Case{.setup = setup, .fault = call, .output = output, .after = after};
            };
        };
        const auto renamed = failing(xattr), inPlace = failing(linked), crashing = failing({});
        const int tmpfile = __O_TMPFILE;
        const QByteArray notDurable = answer(EIO, {}, State::WrittenNotDurable);
        renamed("temporary file not made", fault("openat", EIO, tmpfile), answer(EIO), "old");
        renamed("no anonymous files here", fault("openat", EOPNOTSUPP, tmpfile), Ok, "new");
        renamed("temporary file: folder refuses it", fault("openat", EACCES, tmpfile), Ok, "new");
        renamed("temporary file: write", fault("pwrite", ENOSPC, O_WRONLY), answer(ENOSPC), "old");
        renamed("temporary file: sync", fault("fsync", EIO, O_WRONLY), answer(EIO), "old");
        renamed("temporary file: naming", fault("linkat", EIO), answer(EIO), "old");
        renamed("temporary file: close", fault("close", EIO, O_WRONLY), answer(EIO), "old");
        renamed("rename", fault("renameat", EIO), answer(EIO), "old");
        renamed("rename onto a mount point", fault("renameat", EXDEV), Ok, "new");
        renamed("folder sync", fault("fsync", EIO, 0, 1), notDurable, "new");
        renamed("owner not given", fault("fchown", EPERM), Ok, "new");
        renamed("attribute not given", fault("fsetxattr", EPERM), Ok, "new");
        failing(attributes)("attributes not listed", fault("flistxattr", EIO), Ok, "new");
        failing(attributes)("an attribute added while listed", fault("flistxattr", ERANGE, 0, 1),
                            Ok, "new");
        failing(xattr + R"(; setfacl -d -m u:1000:rwx "$D")")(
            "the copy's attributes not listed", fault("flistxattr", EIO, O_WRONLY), Ok, "new");
        QTest::newRow("rename refused, copy not removed")
            << Case{.setup = xattr,
                    .command = helper
                        + R"(; ls -A "$D" | grep -c zarvello; LD_PRELOAD= rm "$D"/.zarvello-*)",
                    .fault = fault("renameat", EXDEV) + "; " + fault("unlinkat", EIO),
                    .output = answer(EIO, Reason::CopyLeft, State::Saved) + "1\n",
                    .after = "new"};
        const QString litter =
            R"(cd "$D" && touch -d -2min .zarvello-Stale123 .zarvello-Owned100 .zarvello-TwoNames .zarvello-toolong1234 && touch .zarvello-Fresh123 && chown 1000 .zarvello-Owned100 && ln .zarvello-TwoNames other && ln -s hosts .zarvello-Linked12 && mkdir .zarvello-Folder12 && touch -h -d -2min .zarvello-Linked12 .zarvello-Folder12)";
        QTest::newRow("an earlier save's copy removed, nothing else")
            << Case{.setup = litter, .output = Ok, .after = "new", .removed = ".zarvello-Stale123"};
        QTest::newRow("no copy removed where others may write")
            << Case{.setup = R"(chmod 0775 "$D"; )" + litter, .output = Ok, .after = "new"};
        inPlace("in place: a read interrupted", fault("pread", EINTR), Ok, "new");
        inPlace("in place: the old file shrank", fault("pread", ReturnZero), answer(EIO), "old");
        inPlace("in place: no room", fault("fallocate", ENOSPC), answer(ENOSPC), "old");
        inPlace("in place: write", fault("pwrite", EIO, O_RDWR), answer(EIO), "old");
        inPlace("in place: a longer list needs no cut", fault("ftruncate", EIO), Ok, "new");
        QTest::newRow("in place: a shorter list not cut") << Case{.setup = linked,
                                                                  .fault = fault("ftruncate", EIO),
                                                                  .content = "127.0.0.1 a\n",
                                                                  .output = answer(EIO),
                                                                  .after = "old"};
        QTest::newRow("in place: the file replaced before it is opened")
            << Case{.setup = linked + R"(; printf swapped >"$D/swap")",
                    .command = R"(ZARVELLO_SWAP="$D/swap" "$HELPER" "$T"; cat "$F")",
                    .fault = fault("openat", Swap, O_RDWR),
                    .output = answer(ESTALE) + "swapped"};
        inPlace("in place: sync", fault("fsync", EIO, O_RDWR), notDurable, "new");
        inPlace("in place: close", fault("close", EIO, O_RDWR), notDurable, "new");
        // A crash at any moment leaves the old file or the new one, and no copy beside it.
        crashing("crash while writing", fault("fsync", Kill, O_WRONLY), "ready\n", "old");
        crashing("crash after the rename", fault("fsync", Kill, 0, 1), "ready\n", "new");
        inPlace("crash in place", fault("fallocate", Kill), "ready\n", "old");
        Case memberWithoutTmpfile = member;
        memberWithoutTmpfile.fault = fault("openat", EOPNOTSUPP, tmpfile);
        QTest::newRow("owner not given, no anonymous files") << memberWithoutTmpfile;
        // Real disks: full, out of inodes, and a bind-mounted file (as /etc/hosts in a container).
        const QString disk =
            R"(exec unshare -m sh -c 'mount --make-rprivate / && mount -t tmpfs -o %1 tmpfs "$D" &&
            printf "127.0.0.1 localhost\r\n" >"$F" && %2 "$HELPER" "$T"; cmp -s "$F" "$D/../old" && echo old; ls -A "$D"')";
        const QString bind =
            R"(mkdir "$D/disk" && cp "$F" "$D/disk/real" && mount --bind "$D/disk/real" "$F" &&)";
        const QString old = R"(cp "$F" "$D/../old")";
        const QByteArray big(256 * 1024, 'x');
        QTest::newRow("full disk") << Case{.setup = old,
                                           .command = disk.arg("size=64k", ""),
                                           .content = big,
                                           .output = answer(ENOSPC) + "old\nhosts\n"};
        QTest::newRow("no free inode") << Case{.setup = old,
                                               .command = disk.arg("nr_inodes=2", ""),
                                               .output = answer(ENOSPC) + "old\nhosts\n"};
        QTest::newRow("bind-mounted, full")
            << Case{.setup = old,
                    .command = disk.arg("size=64k", bind),
                    .content = big,
                    .output = answer(ENOSPC) + "old\ndisk\nhosts\n"};
        QTest::newRow("bind-mounted: no copy made") << Case{.setup = old,
                                                            .command = disk.arg("size=64k", bind),
                                                            .fault = fault("unlinkat", EIO),
                                                            .output = Ok + "disk\nhosts\n"};
        // An old file read back in place is never larger than a hosts file, whatever it claims.
        QTest::newRow("in place, old file too large")
            << Case{.setup = linked + R"(; truncate -s 200M "$F")",
                    .command = helper + R"(; stat -c %s "$F")",
                    .output = answer(EFBIG) + "209715200\n"};
        // Nothing of the caller's limits reaches the helper: a new file gets the usual mode, and a
        // size limit does not kill a save halfway.
        QTest::newRow("umask 000")
            << Case{.command = R"(umask 000; "$HELPER" "$T"; stat -c %a "$T")",
                    .path = "new",
                    .output = Ok + "644\n"};
        QTest::newRow("a file size limit")
            << Case{.setup = linked,
                    .command = R"(ulimit -S -f 1; "$HELPER" "$T"; stat -c %s "$F")",
                    .content = QByteArray(4096, 'x'),
                    .output = Ok + "4096\n"};
        // A terminal's ^C and hang-up, and the death of its session, stop no save under way.
        QTest::newRow("the editor's terminal interrupted, then gone")
            << Case{.setup = linked,
                    .command = R"("$TERMINAL" '"$HELPER" "$T"'; cat "$F")",
                    .fault = fault("ftruncate", Pause),
                    .content = "127.0.0.1 a\n",
                    .output = Ok + "127.0.0.1 a\n"};
        // Limits a caller lowered are raised as far as the system lets root (a hard limit needs a
        // capability that containers withhold); where one cannot be, the helper does not work.
        QTest::newRow("lowered limits raised") << Case{
            .command =
                R"(exec 3<&0; for l in t v d f s; do ulimit -S -$l 100000000000; done; ulimit -S -n 64;
                "$HELPER" "$T" <&3 & paused;
                awk '/^Max (cpu|file size|data|stack|open|address)/ {print $(NF-2), $(NF-1)}' \
                /proc/$!/limits; rm "$ZARVELLO_PAUSED"; wait)",
            .fault = fault("renameat", Pause),
            .output = "ready\n" + QByteArray("unlimited unlimited\n").repeated(4) + "1024 1024\n"
                + "unlimited unlimited\n1 ok\n",
            .after = "new"};
        QTest::newRow("a hard limit root may not raise")
            << Case{.command = R"(setpriv --bounding-set=-sys_resource sh -c 'ulimit -t 100;
                exec "$HELPER" "$T"')",
                    .output = refusal(Reason::LimitsLowered),
                    .after = "old"};
        // Another program's change right before the file would be replaced leaves the file as it
        // is; the editor then reads it again.
        const QString changed = R"(exec 3<&0; "$HELPER" "$T" <&3 & paused; printf late >>"$F";
            rm "$ZARVELLO_PAUSED"; wait; cat "$F"; ls -A "$D")";
        const QByteArray meanwhile = answer(0, Reason::ChangedMeanwhile);
        QTest::newRow("checked: unchanged")
            << Case{.output = Ok, .after = "new", .expect = Expect::AsSetUp};
        QTest::newRow("checked: changed before the rename")
            << Case{.command = changed,
                    .fault = fault("linkat", Pause),
                    .output = meanwhile + Old + "late" + "hosts\n",
                    .expect = Expect::AsSetUp};
        QTest::newRow("checked: changed before a byte in place")
            << Case{.setup = linked,
                    .command = changed,
                    .fault = fault("pread", Pause),
                    .output = meanwhile + Old + "late" + "hosts\nother\n",
                    .expect = Expect::AsSetUp};
        QTest::newRow("checked: a file where none was")
            << Case{.output = meanwhile, .after = "old", .expect = Expect::NoFile};
        // Links that nobody planted in a shared sticky folder, which root must not follow.
        const QString shared = R"(mkdir -m 1777 "$D/shared" && mkdir -m 0700 "$D/private" && )";
        const auto planted = [&](const char* name, const QString& link, const QByteArray& path) {
            QTest::newRow(name) << Case{
                .setup = shared + "setpriv --reuid 65534 --regid 65534 --clear-groups " + link,
                .command = helper + R"(; ls -A "$D/private")",
                .path = path,
                .output = answer(EACCES, Reason::ForeignLink),
                .after = "old"};
        };
        planted("planted link to a file", R"(ln -s "$F" "$D/shared/hosts")", "shared/hosts");
        planted("planted dangling link", R"(ln -s "$D/private/new" "$D/shared/hosts")",
                "shared/hosts");
        planted("planted link to a folder", R"(ln -s "$D/private" "$D/shared/dir")",
                "shared/dir/hosts");
        QTest::newRow("the folder owner's link")
            << Case{.setup = shared + R"(ln -s "$F" "$D/shared/hosts")",
                    .path = "shared/hosts",
                    .output = Ok,
                    .after = "new"};
        // Acting for a person, root writes only where root alone decides: each row in a folder of
        // root's own, on a file system of the row's own.
        const QString root =
            R"(exec unshare -m sh -c 'mount --make-rprivate / && mount -t tmpfs -o mode=0755 tmpfs /mnt &&
            printf old >/mnt/hosts && %1 PKEXEC_UID=1000 "$HELPER" "$T"; cat "$T"')";
        const auto forAPerson = [&](const char* name, const QString& setup, const QByteArray& path,
                                    const QByteArray& output) {
            QTest::newRow(name) << Case{.command = root.arg(setup), .path = path, .output = output};
        };
        forAPerson("for a person: root's link", "ln -s hosts /mnt/link &&", "/mnt/link", Ok + New);
        forAPerson("for a person: a folder its group may write",
                   "mkdir -m 0775 /mnt/d && ln -s /mnt/hosts /mnt/d/h &&", "/mnt/d/h",
                   answer(EACCES, Reason::UnsafeFolder) + "old");
        forAPerson("for a person: another user's link",
                   "ln -s hosts /mnt/link && chown -h 1000 /mnt/link &&", "/mnt/link",
                   answer(EACCES, Reason::UnsafeLink) + "old");
        forAPerson("for a person: a second name", "ln /mnt/hosts /mnt/other &&", "/mnt/hosts",
                   answer(EACCES, Reason::SeveralNames) + "old");
        forAPerson("for a person: a name that is not UTF-8", R"(T=$(printf "/mnt/h\\377") &&)",
                   "/mnt/h\xff", refusal(Reason::UnshowableName));
        // Kernel interfaces are files in folders only root may change, and no file of a disk.
        QTest::newRow("for a person: the host name")
            << Case{.command = R"(exec unshare -u sh -c 'hostname before && )"
                               R"(PKEXEC_UID=1000 "$HELPER" "$T"; hostname')",
                    .path = "/proc/sys/kernel/hostname",
                    .output = answer(EACCES, Reason::KernelInterface) + "before\n"};
        forAPerson("for a person: where the devices are",
                   "mount -t tmpfs -o mode=0755 tmpfs /dev && printf old >/dev/hosts &&",
                   "/dev/hosts", answer(EACCES, Reason::KernelInterface) + "old");
        QTest::newRow("for a person: a shared sticky folder")
            << Case{.command = R"(PKEXEC_UID=1000 "$HELPER" "$T")",
                    .output = answer(EACCES, Reason::UnsafeFolder),
                    .after = "old"};
        // Requests the helper refuses, writing nothing.
        QTest::newRow("another file than granted")
            << Case{.command = R"("$HELPER" "$D/other")", .output = answer(EPERM), .after = "old"};
        QTest::newRow("not granted: an indirect path") << Case{
            .path = "/tmp/../hosts", .output = refusal(Reason::IndirectPath), .after = "old"};
        QTest::newRow("a folder") << Case{.path = "/tmp", .output = answer(EISDIR), .after = "old"};
        QTest::newRow("a device") << Case{
            .path = "/dev/null", .output = answer(0, Reason::NotRegularFile), .after = "old"};
        QTest::newRow("a link to itself") << Case{.setup = R"(ln -s loop "$D/loop")",
                                                  .path = "loop",
                                                  .output = answer(ELOOP),
                                                  .after = "old"};
        QTest::newRow("no such folder")
            << Case{.path = "missing/hosts", .output = answer(ENOENT), .after = "old"};
        QTest::newRow("a file the person may not write")
            << Case{.setup = R"(chmod 0777 "$D")",
                    .command = "setpriv --reuid 65534 --regid 65534 --clear-groups " + helper,
                    .output = answer(EACCES),
                    .after = "old"};
        QTest::newRow("oversize") << Case{
            .request = "1 5 134217729\n/tmp/", .output = "ready\n", .after = "old"};
        QTest::newRow("truncated frame")
            << Case{.request = "1 5 3\n/tmp/h", .output = "ready\n", .after = "old"};
        // After a malformed request the helper ends: the good one behind it is not written.
        const QByteArray good = protocol::encodeRequest(
            1, QFile::encodeName(m_dir.filePath("not a header/hosts")), New);
        QTest::newRow("not a header")
            << Case{.request = "hello world\n" + good, .output = "ready\n", .after = "old"};
        QTest::newRow("a number left out")
            << Case{.request = "5 3\n" + good, .output = "ready\n", .after = "old"};
        // A request for the row's own file, with the header given.
        const auto own = [&](const char* row, const char* header) {
            const QByteArray path = QFile::encodeName(m_dir.filePath(row) + "/hosts");
            return QString(header).arg(path.size()).toLatin1() + '\n' + path + "new";
        };
        QTest::newRow("a field too many") << Case{
            .request = own("a field too many", "1 %1 3 - 4"), .output = "ready\n", .after = "old"};
        QTest::newRow("a number of 20 digits")
            << Case{.request = own("a number of 20 digits", "18446744073709551615 %1 3 -"),
                    .output = "ready\n18446744073709551615 ok\n"};
    }

    void saves()
    {
        QFETCH(Case, c);
        const QString folder = m_dir.filePath(QTest::currentDataTag()), file = folder + "/hosts";
        QVERIFY(QDir().mkpath(folder));
        writeBytes(file, Old);
        shell(c.setup, file);
        const QByteArray fingerprint = shell(Keeps, file);
        const auto names = [&] {
            return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        QStringList before = names();
        const QByteArray target = c.path.startsWith('/') || c.path.startsWith("relative")
            ? c.path
            : QFile::encodeName(folder) + '/' + c.path;
        std::optional<Fingerprint> expected;
        if (c.expect != Expect::Nothing)
            expected = c.expect == Expect::AsSetUp ? Fingerprint::of(file) : Fingerprint{};
        const QByteArray request = c.request.isEmpty()
            ? protocol::encodeRequest(1, target, c.content, expected)
            : c.request;

        QByteArray output = shell(c.command, file, request, c.fault, target);
        // A save's answer gives the file as it was written: here, as it is.
        if (c.output.contains("\n1 ok\n") && c.after == "new" && c.path == "hosts")
            QVERIFY(output.contains(protocol::encodeAnswer(1, {}, Fingerprint::of(file))));
        output = QString::fromLatin1(output)
                     .replace(QRegularExpression(" ok [-0-9,]+\n"), " ok\n")
                     .toLatin1();
        QCOMPARE(output, c.output);
        if (c.after.isEmpty())
            return;
        QCOMPARE(readBytes(file), c.after == "old" ? Old : New);
        QCOMPARE(shell(Keeps, file), fingerprint);
        before.removeOne(c.removed);
        QCOMPARE(names(), before);
    }
};

QTEST_GUILESS_MAIN(TestWriting)
#include "test_writing.moc"
