#pragma once

// The limit on checks running at once ("max conn"). runningChecks is read and
// changed only under slotLock.
extern int runningChecks;

// Takes one slot, trying every pollMs milliseconds until one is free.
void takeCheckSlot(int pollMs);
// Gives one slot back (a check does this itself when it ends).
void giveBackCheckSlot();
