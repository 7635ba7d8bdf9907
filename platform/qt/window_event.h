#pragma once
#include <QEvent>
#include <QObject>

// Worker threads hand results to the main window only by posting events: an id
// and two numbers, queued and delivered later, in posting order, on the window
// thread. Posting never waits for the window.

class WindowEvent : public QEvent {
public:
    WindowEvent(int id, long param1, long param2);
    static QEvent::Type eventType();

    int id() const { return id_; }
    long param1() const { return param1_; }
    long param2() const { return param2_; }

private:
    int id_;
    long param1_;
    long param2_;
};

// The one object that receives posted window events. Creating it makes it the
// target of postWindowEvent; destroying it (on its own thread) ends that, and
// events still queued for it are dropped.
class WindowEventReceiver : public QObject {
public:
    explicit WindowEventReceiver(QObject* parent = nullptr);
    ~WindowEventReceiver() override;

    virtual void handleWindowEvent(int id, long param1, long param2) = 0;

protected:
    bool event(QEvent* e) override;
};

// Posts from any thread. False (and nothing happens) when no receiver exists.
bool postWindowEvent(int id, long param1 = 0, long param2 = 0);
