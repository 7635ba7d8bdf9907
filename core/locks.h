#pragma once
#include "platform/owned_mutex.h"

// Handles of the program's locks. The process-wide ones live for the whole run.
using MutexHandle = OwnedMutex*;

// Creates an unowned lock (the name is unused: every lock of the program is unnamed)
// and stores it in *handle; returns it.
MutexHandle createMutex(const char* name, MutexHandle* handle);
// 0 when taken, 1 when the wait timed out. -1 waits forever, 0 is a try-lock.
int lockMutex(MutexHandle handle, int timeoutMs);
// 1 when released, 0 when the caller does not own the lock (nothing changes then).
int unlockMutex(MutexHandle handle);

// The process-wide locks, created by createProcessLocks() in this order:
// timeLock, spare, cacheNameLock, four spares (the Vigil list and the endpoint
// pools hold their own locks), proxyLock, spare, spare, slotLock, dispatchLock.
// They exist from static initialisation on, so tests need no set-up.
extern MutexHandle timeLock;
extern MutexHandle cacheNameLock;
extern MutexHandle proxyLock;
extern MutexHandle slotLock;
extern MutexHandle dispatchLock;

void createProcessLocks();
