// SPDX-License-Identifier: GPL-3.0-or-later
// What the window's tests share besides: the window with scripted dialogs, and answers to the real
// modal dialogs.
#pragma once

#include "main_window.h"
#include "support.h"
#include "translations.h"

#include <QtWidgets>

namespace zarvello {

struct WindowFixture : Fixture<MainWindow> {
    MainWindow& window = home;

    template <typename T> T* get(const char* name) { return window.findChild<T*>(name); }
    // Shown, and with the keyboard: keys sent before that would go nowhere.
    bool showActive() { return window.show(), QTest::qWaitForWindowActive(&window); }
    // Clicks a menu item, as a person can: only one that is there and enabled.
    bool trigger(const char* name)
    {
        return get<QAction>(name) && get<QAction>(name)->isEnabled()
            && (get<QAction>(name)->trigger(), true);
    }
};

// Hands the modal dialog of type Dialog to answer as soon as it shows; one that never shows, or
// stays open after the answer, is closed, so that a test fails instead of hanging.
template <typename Dialog> void whenModal(std::function<void(Dialog*)> answer)
{
    QTimer::singleShot(0, [answer] {
        Dialog* dialog = nullptr;
        if (!QTest::qWaitFor(
                [&] { return (dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())); },
                5000))
            return;
        answer(dialog);
        // Only this dialog, and only if the answer left it open: a later one is another row's.
        QTimer::singleShot(3000, [stuck = QPointer<Dialog>(dialog)] {
            if (stuck)
                stuck->close();
        });
    });
}

} // namespace zarvello
