#pragma once
#include "platform/owned_mutex.h"

// Handles of the program's locks.
using MutexHandle = OwnedMutex*;

// Creates an unowned lock (the name is unused: every lock of the program is unnamed)
// and stores it in *handle; returns it.
MutexHandle createMutex(const char* name, MutexHandle* handle);
// 0 when taken, 1 when the wait timed out. -1 waits forever, 0 is a try-lock.
int lockMutex(MutexHandle handle, int timeoutMs);
// 1 when released, 0 when the caller does not own the lock (nothing changes then).
int unlockMutex(MutexHandle handle);

void createProcessLocks();
