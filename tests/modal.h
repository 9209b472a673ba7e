// SPDX-License-Identifier: GPL-3.0-or-later
// Answering a real modal dialog from a test, once it is on screen.
#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <functional>

namespace zarvello {

// Hands the modal dialog of type Dialog to answer as soon as it shows; one that never shows, or
// stays open after the answer, is closed, so that a test fails instead of hanging.
template <typename Dialog>
void whenModal(std::function<void(Dialog*)> answer)
{
    QTimer::singleShot(0, [answer] {
        Dialog* dialog = nullptr;
        if (QTest::qWaitFor([&] { return (dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())); }, 5000))
            answer(dialog);
        QTimer::singleShot(3000, [] {
            while (QWidget* stuck = QApplication::activeModalWidget())
                stuck->close();
        });
    });
}

} // namespace zarvello
