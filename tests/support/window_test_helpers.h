#pragma once
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <thread>

// Runs the event loop until done() holds (or about ten seconds have passed).
inline void pumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Answers the next modal window of type T once it shows (a message box, a
// font dialog): act gets it and is expected to close it.
template <class T>
void whenModal(std::function<void(T&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!modal) return;
        timer->stop();
        timer->deleteLater();
        act(*modal);
    });
    timer->start();
}
