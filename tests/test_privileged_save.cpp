// SPDX-License-Identifier: GPL-3.0-or-later
// As the user nobody, autosave into a root-owned file through the real pkexec, polkitd and
// helper. Run by polkit_save.sh, which starts them in a namespace of their own with a rule that
// gives or refuses the rights.
#include "editor_state.h"
#include "entry_commands.h"
#include "file_bytes.h"
#include "hosts_file.h"
#include "privileged_writer.h"
#include "scripted_dialogs.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace zarvello;

class TestPrivilegedSave : public QObject {
    Q_OBJECT
    const QString m_target = qEnvironmentVariable("ZARVELLO_TARGET");
    const QString m_rights = qEnvironmentVariable("ZARVELLO_RIGHTS");
    PkexecWriter m_writer{{QStringLiteral("pkexec"), qEnvironmentVariable("ZARVELLO_HELPER")}, 20000, 20000};
    EditorState m_state;
    ScriptedDialogs m_dialogs;

private slots:
    void initTestCase()
    {
        if (m_target.isEmpty())
            QSKIP("run by polkit_save.sh");
        QVERIFY(::geteuid() != 0);
        m_state.setPrivilegedWriter(&m_writer);
        m_state.setCurrentPath(m_target);
        m_state.setAutosaveValue(true);
    }

    void autosavesAskOnce()
    {
        if (m_rights != "given")
            QSKIP("for the rule that gives the rights");
        for (const QString name : {"ads.example", "tracker.example", "third.example"}) {
            QVERIFY(AddEntry(m_state, m_dialogs, name));
            QCOMPARE(m_dialogs.messages.size(), 0);
            QCOMPARE(readBytes(m_target), joinLines(m_state.hostList().lines()));
        }
        QCOMPARE(m_writer.launches(), 1);
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(m_target).constData(), &info) == 0);
        QCOMPARE(info.st_uid, uid_t(0));
        QCOMPARE(info.st_mode & 07777, mode_t(0644));
    }

    void refusedRightsLeaveTheFile()
    {
        if (m_rights != "refused")
            QSKIP("for the rule that refuses the rights");
        const QByteArray before = readBytes(m_target);
        QVERIFY(AddEntry(m_state, m_dialogs, "ads.example"));
        QCOMPARE(m_dialogs.messages.size(), 1);
        const auto error = SaveHostsFile(m_state);
        QVERIFY(error && error->adminRefused);
        QCOMPARE(error->systemError, EACCES);
        QCOMPARE(readBytes(m_target), before);
        QCOMPARE(m_state.hostList().Count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPrivilegedSave)
#include "test_privileged_save.moc"
