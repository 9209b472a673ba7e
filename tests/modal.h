// Answering a real modal dialog from a test: the answer runs once the dialog is up.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace zarvello {

// Waits (up to five seconds) for a modal dialog of type Dialog, then hands it to answer.
template <typename Dialog>
void whenModal(std::function<void(Dialog*)> answer)
{
    auto* poll = new QTimer;
    auto deadline = std::make_shared<int>(500);
    QObject::connect(poll, &QTimer::timeout, [poll, answer, deadline] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            // An answer the dialog did not take (or a second dialog it raised inside the answer)
            // must not hang the test: whatever is still modal a while later is closed.
            QTimer::singleShot(3000, [] {
                while (QWidget* stuck = QApplication::activeModalWidget()) {
                    qWarning("closing a dialog the test left open: %s %s", stuck->metaObject()->className(),
                             qPrintable(stuck->property("text").toString()));
                    stuck->close();
                    QCoreApplication::processEvents();
                }
            });
            answer(dialog);
        } else if (--*deadline == 0) {
            poll->stop();
            poll->deleteLater();
            if (QWidget* other = QApplication::activeModalWidget())
                other->close(); // a test that waits for the wrong dialog must not hang
        }
    });
    poll->start(10);
}

} // namespace zarvello
