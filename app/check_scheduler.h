#pragma once
#include <ctime>
#include <functional>
#include <memory>

#include "platform/owned_mutex.h"

class Vigil;

// The three dispatching tasks. Each runs one pass on the thread that calls it
// (the caller starts that thread); only one pass dispatches at a time (the
// dispatcher's turn), and at most "max conn" checks run at once (check slots).
// Passes walk a copy of the Vigil list; a Vigil whose stop flag is set is never
// started.

// Lets one pass dispatch at a time. A pass takes check slots during its turn
// (the turn before the slots, never the other way round).
class Dispatcher {
public:
    // A pass's turn, held until the end of its scope: waited for, or only
    // tried (then owns() tells whether another pass was dispatching).
    class Turn {
    public:
        Turn(Dispatcher& dispatcher, bool tryOnly) : hold_(dispatcher.lock_, tryOnly ? 0 : -1) {}
        bool owns() const { return hold_.owns(); }

    private:
        OwnedTryLock hold_;
    };

    // Whether no pass of another thread is dispatching now.
    bool idle() { return Turn(*this, true).owns(); }

private:
    OwnedMutex lock_;
};

// Never destroyed: a batch run's pass may still be ending while the process ends.
Dispatcher& dispatcher();

namespace CheckScheduler {

// Whether the timer pass takes the Vigil at time now: watched, idle, last check
// plus interval passed (0 is never due), and a status that is checked again
// ("No change", "Host unavailable", page structure differs), any status with
// "check changed" on.
bool isDue(const Vigil& vigil, time_t now, bool checkChanged);

// One timer pass (every tick, on a thread of its own). False when another pass
// was dispatching, so this tick did nothing.
bool tick();

}  // namespace CheckScheduler

namespace VigilTasks {

// Check All, the start-up check and the batch run: every idle Vigil that is
// watched, neither stopped nor unresolved. In batch mode the checks run here,
// one after another; then come the reports, the sound or the closing message,
// and the window's close event (16).
void checkAll();

// True once a batch run has written its reports (or failed to): only then may
// its results be saved. Saved earlier, a change found would be the reference of
// the next run and never reported, should this run end before its report.
bool batchReportsDone();

// Check Selected (one task per Vigil): the Vigil with this identifier, whatever
// its state. Nothing when there is none.
void checkOne(int identifier);

}  // namespace VigilTasks

// Starts the Vigil's check on a detached thread that holds the Vigil until the
// check ends. False when no thread could be started (the caller still holds the
// slot it took for it).
bool startCheckThread(const std::shared_ptr<Vigil>& vigil);

// For tests: how check threads are started (null: startDetachedThread).
using CheckThreadStarter = bool (*)(std::function<void()> run);
void setCheckThreadStarter(CheckThreadStarter starter);
