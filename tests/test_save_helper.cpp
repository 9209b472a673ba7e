// SPDX-License-Identifier: GPL-3.0-or-later
// The privileged helper driven directly: what it writes, and every request it refuses.
#include "file_bytes.h"
#include "save_protocol.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace zarvello;

namespace {

struct Run {
    QByteArray answers;
    int exitCode;
};

Run helper(const QByteArray& input)
{
    QProcess process;
    process.start(QStringLiteral(ZARVELLO_HELPER), {});
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished();
    return {process.readAllStandardOutput(), process.exitCode()};
}

QByteArray request(const QString& path, const QByteArray& content)
{
    return protocol::encodeRequest(QFile::encodeName(path), content);
}

} // namespace

class TestSaveHelper : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void writesAsTheEditorWould()
    {
        const QString hosts = m_dir.filePath("hosts");
        writeBytes(hosts, "old\r\n");
        const QByteArray native = QFile::encodeName(hosts);
        QVERIFY(::chmod(native.constData(), 0640) == 0);
        if (::geteuid() == 0)
            QVERIFY(::chown(native.constData(), 1000, 1000) == 0);
        struct stat before {};
        QVERIFY(::stat(native.constData(), &before) == 0);

        const Run run = helper(request(hosts, "new\r\n") + request(m_dir.filePath("fresh"), "x\r\n"));
        QCOMPARE(run.answers, QByteArray("ok\nok\n"));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(readBytes(hosts), QByteArray("new\r\n"));
        QCOMPARE(readBytes(m_dir.filePath("fresh")), QByteArray("x\r\n"));
        struct stat after {};
        QVERIFY(::stat(native.constData(), &after) == 0);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_mode, before.st_mode);
    }

    void refusesAndWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<int>("exitCode");
        const QString folder = m_dir.filePath("refusals");
        const QByteArray invalid = QByteArray("error ") + QByteArray::number(EINVAL) + " 0 0\n";
        QTest::newRow("relative path") << request("refusals/hosts", "x") << invalid << 0;
        QTest::newRow("dot-dot") << request(folder + "/../refusals/hosts", "x") << invalid << 0;
        QTest::newRow("a folder") << request(folder, "x") << QByteArray("error ") + QByteArray::number(EISDIR) + " 0 0\n" << 0;
        QTest::newRow("a device") << request("/dev/null", "x") << QByteArray("error 0 1 0\n") << 0;
        QTest::newRow("a planted link") << request(folder + "/shared/hosts", "x")
                                        << QByteArray("error ") + QByteArray::number(EACCES) + " 4 0\n" << 0;
        QTest::newRow("oversize") << QByteArray("5 134217729\n/tmp/") << invalid << 2;
        QTest::newRow("truncated frame") << request(folder + "/hosts", "content").chopped(3) << invalid << 2;
        QTest::newRow("not a header") << QByteArray("hello world\n") << invalid << 2;
        QTest::newRow("then nothing more") << QByteArray("x\n") + request(folder + "/hosts", "x") << invalid << 2;
    }

    void refusesAndWritesNothing()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, answers);
        QFETCH(int, exitCode);
        const QString folder = m_dir.filePath("refusals");
        QVERIFY(QDir().mkpath(folder + "/shared"));
        // Another user's link in a shared sticky folder, as in /tmp.
        QVERIFY(::chmod(QFile::encodeName(folder + "/shared").constData(), 01777) == 0);
        if (::geteuid() == 0 && !QFileInfo(folder + "/shared/hosts").isSymLink()) {
            QVERIFY(::symlink("../hosts", QFile::encodeName(folder + "/shared/hosts").constData()) == 0);
            QVERIFY(::lchown(QFile::encodeName(folder + "/shared/hosts").constData(), 65534, 65534) == 0);
        }
        const Run run = helper(input);
        QCOMPARE(run.answers, answers);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY(!QFileInfo::exists(folder + "/hosts"));
    }
};

QTEST_GUILESS_MAIN(TestSaveHelper)
#include "test_save_helper.moc"
