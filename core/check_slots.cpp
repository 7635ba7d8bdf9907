#include "core/check_slots.h"

#include <chrono>
#include <thread>

#include "core/program_settings.h"

void CheckSlots::take(int pollMs) {
    for (;;) {
        {
            // Only tried: a pass that finds the count busy waits a poll, as for a full one.
            const OwnedTryLock hold(lock_);
            if (hold.owns() && running_ < ProgramSettings::maxConn()) {
                ++running_;
                return;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
}

void CheckSlots::giveBack() {
    const OwnedLock hold(lock_);
    --running_;
}

int CheckSlots::inUse() {
    const OwnedLock hold(lock_);
    return running_;
}

CheckSlots& checkSlots() {
    static CheckSlots& slots = *new CheckSlots;
    return slots;
}
