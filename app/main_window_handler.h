#pragma once
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

#include "platform/qt/window_event.h"

class MainWindow;

// Dispatches the events posted to the main window, on the window thread.
class MainWindowHandler : public WindowEventReceiver {
public:
    MainWindowHandler();

    MainWindowHandler& handleEventsFor(MainWindow* window);
    MainWindowHandler& stopHandlingEventsFor(MainWindow* window);

    void handleWindowEvent(int id, long param1, long param2) override;
    // True when the event was one of the window's (consumed).
    bool dispatchHandlerEvent(int id, long param1, long param2);

private:
    // Tells the user once why vigil.dat was not (wholly) read and will not be saved.
    void reportLoadProblem();
    void startupComplete();
    void timerTick();
    // A status event: the Vigil's row, then what the status asks for.
    void statusChanged(int status, int identifier);
    void movedPage(int identifier);
    void addRow(long position);
    void viewCursoredRow();

    // Writes vigil.dat now (a user's change, or the gathered check results).
    void saveNow();
    // A check's result: saved with the others of the next few seconds.
    void resultArrived();

    MainWindow* window_ = nullptr;
    int ticksSinceSave_ = 0;
    QTimer resultSave_;
    QElapsedTimer lastSave_;
    bool resultsUnsaved_ = false;
};

// The status callback every Vigil gets: posts the status to the main window
// with the identifier as first parameter. Any thread; never waits.
void vigilStatusCallback(int status, int identifier);

// Tells the main window that the Vigil at this list position is new (it adds
// the Vigil's row). Any thread; never waits.
void announceVigilAdded(long position);

// After a user's change to the list (add, import, edit, delete, Start or Stop
// Watching, Reset, View): vigil.dat is written on the window thread soon after,
// once for a burst of changes. Any thread. Check results are saved by the handler,
// gathered over a few seconds.
void requestVigilSave();

// What start-up complete (event 1081) turns on, built elsewhere. Unset slots
// do nothing.
struct StartupHooks {
    // Enables the menus and the tool-bar buttons, disabled while loading.
    std::function<void()> enableCommands;
    // With an empty list: the Welcome window, modal, which on Yes opens the
    // import window at its stored place.
    std::function<void()> welcome;
};
StartupHooks& startupHooks();
