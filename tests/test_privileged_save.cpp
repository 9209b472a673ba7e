// SPDX-License-Identifier: GPL-3.0-or-later
// Run by polkit_save.sh as nobody while polkit answers ZARVELLO_RIGHTS (YES or NO): three autosaves
// into ZARVELLO_TARGET, a root-owned 0644 file, through the real pkexec and helper.
#include "privileged_writer.h"
#include "support.h"

class TestPrivilegedSave : public QObject {
    Q_OBJECT
private slots:
    void threeAutosaves()
    {
        const bool given = qEnvironmentVariable("ZARVELLO_RIGHTS") == "YES";
        PkexecWriter writer({"pkexec", qEnvironmentVariable("ZARVELLO_HELPER")}, 20000, 20000);
        EditorState state;
        ScriptedDialogs dialogs;
        state.setPrivilegedWriter(&writer);
        state.setCurrentPath(qEnvironmentVariable("ZARVELLO_TARGET"));
        state.setAutosaveValue(true);
        const QByteArray old = readBytes(state.currentPath());
        for (const char* name : {"ads.example", "tracker.example", "third.example"})
            AddEntry(state, dialogs, name);
        QCOMPARE(writer.launches(), given ? 1 : 3); // rights once given hold for the session
        QCOMPARE(readBytes(state.currentPath()), given ? joinLines(state.hostList().lines()) : old);
        QCOMPARE(dialogs.messages.filter("Права администратора не получены.").size(), given ? 0 : 3);
        struct stat file = {};
        QVERIFY(::stat(QFile::encodeName(state.currentPath()).constData(), &file) == 0 && file.st_uid == 0 && (file.st_mode & 07777) == 0644);
    }
};

QTEST_GUILESS_MAIN(TestPrivilegedSave)
#include "test_privileged_save.moc"
