#pragma once
#include "platform/qt/window_event.h"

class MainWindow;

// Dispatches the events posted to the main window, on the window thread.
class MainWindowHandler : public WindowEventReceiver {
public:
    MainWindowHandler() = default;

    MainWindowHandler& handleEventsFor(MainWindow* window);
    MainWindowHandler& stopHandlingEventsFor(MainWindow* window);

    void handleWindowEvent(int id, long param1, long param2) override;
    // True when the event was one of the window's (consumed).
    bool dispatchHandlerEvent(int id, long param1, long param2);

    int ticksSinceSave() const { return ticksSinceSave_; }

private:
    void startupComplete();
    void timerTick();
    void statusChanged(int status, int identifier);

    MainWindow* window_ = nullptr;
    int ticksSinceSave_ = 0;
};

// The status callback every Vigil gets: posts the status to the main window
// with the identifier as first parameter. Any thread; never waits.
void vigilStatusCallback(void* target, int status, int identifier);
