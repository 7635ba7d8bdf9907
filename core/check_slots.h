#pragma once
#include "platform/owned_mutex.h"

// The limit on checks running at once ("max conn"): the number of running
// checks, read and changed only under the slots' own lock.
class CheckSlots {
public:
    // Takes one slot, trying every pollMs milliseconds until one is free.
    void take(int pollMs);
    // Gives one slot back (a check does this itself when it ends).
    void giveBack();
    // The slots in use now.
    int inUse();

private:
    OwnedMutex lock_;
    int running_ = 0;
};

// Never destroyed: detached checks give their slots back while the process ends.
CheckSlots& checkSlots();
