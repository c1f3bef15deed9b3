// Answers the next modal dialog of a given type from the event loop, so that a
// test can call a function that shows one and waits for it.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Polls (from the event loop, without any time limit of its own) for a
// visible top-level widget of type T and hands it to `act` once. Delete the
// returned poller to give up waiting.
template <typename T>
QTimer *WhenDialogShows(std::function<void(T *)> act) {
    auto *timer = new QTimer(qApp);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<T *>(widget);
            if (dialog && dialog->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(dialog);
                return;
            }
        }
    });
    timer->start();
    return timer;
}
