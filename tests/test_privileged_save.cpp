// SPDX-License-Identifier: GPL-3.0-or-later
// Run by polkit_save.sh as nobody: three autosaves into ZARVELLO_TARGET through the real pkexec and
// helper; prints the launches of pkexec, the messages shown, and whether the file holds the list.
#include "entry_commands.h"
#include "hosts_file.h"
#include "privileged_writer.h"
#include "support.h"

using namespace zarvello;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    PkexecWriter writer({"pkexec", qEnvironmentVariable("ZARVELLO_HELPER")}, 20000, 20000);
    EditorState state;
    ScriptedDialogs dialogs;
    state.setPrivilegedWriter(&writer);
    state.setCurrentPath(qEnvironmentVariable("ZARVELLO_TARGET"));
    state.setAutosaveValue(true);
    for (const char* name : {"ads.example", "tracker.example", "third.example"})
        AddEntry(state, dialogs, name);
    QFile file(state.currentPath());
    const bool holdsTheList = file.open(QIODevice::ReadOnly) && file.readAll() == joinLines(state.hostList().lines());
    std::printf("launches %d, messages %lld, %s\n", writer.launches(), qlonglong(dialogs.messages.size()),
                holdsTheList ? "saved" : "not saved");
    for (const QString& message : dialogs.messages)
        std::printf("%s\n", qPrintable(message));
}
