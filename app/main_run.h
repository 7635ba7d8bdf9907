#pragma once
#include <atomic>
#include <chrono>
#include <memory>

#include "app/main_window.h"
#include "app/main_window_handler.h"

// What start-up builds between the process set-up and the message loop.
struct MainWindowParts {
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainWindowHandler> handler;
};

// 1 once the load thread has read vigil.dat.
extern std::atomic<int> listLoaded;

// The settings profile VGW.INI (or, without one, the first-run clients), the
// main window at its stored place (hidden in batch mode, shown otherwise),
// vigil.cli, the event handler, the two file names and the status callback.
MainWindowParts openMainWindow();

// Reads vigil.dat on a thread of its own, then posts LoadDone to the window.
// The sole user of the data folder first deletes the copies in cache that no
// Vigil of a list read whole names.
void startLoadThread(MainWindow& window);

// Writes vigil.dat, unless the load has not ended (the file would lose the
// Vigils not yet read) or a batch run has not written its reports yet. False
// when the file could not be written.
bool saveLoadedVigils(MainWindow& window);

// As the window closes after a save of vigil.dat failed: tries again, and while it
// still cannot be written asks whether to try once more (Retry), to keep the window
// open (Cancel: false) or to close and lose the list on screen (Discard).
bool saveAtClose(MainWindow& window);

// SIGTERM, SIGINT and SIGHUP close the window as its close box does (a batch
// run so ended reports a failure). Signals before the loop runs wait for it.
// One more signal during finishRun's wait ends the wait at once.
void closeOnSignals(MainWindow& window);

// "time out" plus five seconds: how long the end of the run waits for checks.
std::chrono::milliseconds shutdownWaitLimit();

// After the message loop: asks every Vigil to stop, saves vigil.dat when
// anything still runs, waits up to waitLimit (or until one more close signal)
// for the load, the check passes and the running checks to end, then saves
// vigil.dat (as saveLoadedVigils allows).
// True when nothing is left running, so the process may tear down; false when
// some thread may still use the Vigils and the process must end at once.
bool finishRun(MainWindow& window, std::chrono::milliseconds waitLimit);

// Deletes every Vigil; only when nothing runs any more.
void releaseVigils();
