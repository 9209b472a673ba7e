// SPDX-License-Identifier: GPL-3.0-or-later
// The window over a scripted dialogs seam, as the window and file command tests use it.
#pragma once

#include "main_window.h"
#include "scripted_dialogs.h"

#include <QAction>
#include <QTest>

namespace zarvello {

struct WindowFixture {
    ScriptedDialogs dialogs;
    MainWindow window{dialogs};
    EditorState& state = window.state();

    template <typename T>
    T* get(const char* name)
    {
        T* found = window.findChild<T*>(name);
        if (!found)
            QTest::qFail(name, __FILE__, __LINE__);
        return found;
    }
    // Clicks a menu item, as a person can: only one that is there and enabled.
    bool trigger(const char* name)
    {
        auto* action = window.findChild<QAction*>(name);
        if (!action || !action->isEnabled())
            return false;
        action->trigger();
        return true;
    }
};

} // namespace zarvello
