#pragma once
#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/qt/window_event.h"
#include "support/qt_test_app.h"
#include "support/server_process.h"

// Delivers posted window events until done() holds or about ten seconds pass.
inline bool pumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 2000; ++i) {
        if (done()) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
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

// Takes the posted window events in place of the main window's handler.
class EventRecorder : public WindowEventReceiver {
public:
    struct Event {
        int id;
        long param1;
        bool operator==(const Event& o) const { return id == o.id && param1 == o.param1; }
    };
    EventRecorder() { testApp(); }
    void handleWindowEvent(int id, long param1, long) override { events.push_back({id, param1}); }
    // Delivers what is queued so far.
    std::vector<Event> take() {
        QCoreApplication::processEvents();
        std::vector<Event> out;
        out.swap(events);
        return out;
    }
    std::vector<Event> events;
};

// A scratch folder for the test: the trace file (TERVANE_TRACE) and the record of
// the argv recorder (ARGV_RECORD) live in it.
class TraceScratch {
public:
    TraceScratch() {
        setenv("TERVANE_TRACE", dir.file("trace").c_str(), 1);
        setenv("ARGV_RECORD", dir.file("argv").c_str(), 1);
    }
    ~TraceScratch() {
        unsetenv("TERVANE_TRACE");
        unsetenv("ARGV_RECORD");
    }
    // The whole trace lines written since the last call, one entry per line. The
    // file stays: removing it would lose a line that another thread writes between
    // the read and the removal.
    std::vector<std::string> traceLines() {
        const std::string all = readWholeFile(dir.file("trace"));
        const size_t whole = all.rfind('\n');
        if (whole == std::string::npos || whole + 1 <= traceTaken_) return {};
        const std::string text = all.substr(traceTaken_, whole + 1 - traceTaken_);
        traceTaken_ = whole + 1;
        std::vector<std::string> lines;
        for (size_t start = 0; start < text.size();) {
            const size_t end = text.find('\n', start);
            lines.push_back(text.substr(start, end - start));
            start = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    }
    // The arguments the argv recorder got, once it has written them.
    std::vector<std::string> recordedArgs() {
        const std::string path = dir.file("argv");
        pumpUntil([&] { return pathExists(path); });
        const std::string all = readWholeFile(path);
        std::remove(path.c_str());
        std::vector<std::string> words;
        for (size_t start = 0; start < all.size();) {
            const size_t end = all.find('\0', start);
            words.push_back(all.substr(start, end - start));
            start = end + 1;
        }
        return words;
    }
    TempDir dir;

private:
    size_t traceTaken_ = 0;
};
