#include "core/check_slots.h"

#include <chrono>
#include <thread>

#include "core/locks.h"
#include "core/program_settings.h"

int runningChecks = 0;

void takeCheckSlot(int pollMs) {
    for (;;) {
        if (lockMutex(slotLock, 0) == 0) {
            const bool taken = runningChecks < ProgramSettings::maxConn();
            if (taken) ++runningChecks;
            unlockMutex(slotLock);
            if (taken) return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
}

void giveBackCheckSlot() {
    lockMutex(slotLock, -1);
    --runningChecks;
    unlockMutex(slotLock);
}
