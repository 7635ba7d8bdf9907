#include "core/locks.h"

MutexHandle createMutex(const char* /*name*/, MutexHandle* handle) {
    MutexHandle m = new OwnedMutex();
    if (handle) *handle = m;
    return m;
}

int lockMutex(MutexHandle handle, int timeoutMs) {
    if (!handle) return 1;
    return handle->lock(timeoutMs);
}

int unlockMutex(MutexHandle handle) {
    return (handle && handle->unlock()) ? 1 : 0;
}

namespace {
OwnedMutex processLocks[12];
}

MutexHandle timeLock = &processLocks[0];
MutexHandle cacheNameLock = &processLocks[2];
MutexHandle vigilListLock = &processLocks[3];
MutexHandle gopherPoolLock = &processLocks[4];
MutexHandle webPoolLock = &processLocks[5];
MutexHandle ftpPoolLock = &processLocks[6];
MutexHandle proxyLock = &processLocks[7];
MutexHandle slotLock = &processLocks[10];
MutexHandle dispatchLock = &processLocks[11];

void createProcessLocks() {
    // The locks are static objects made in table order before main runs;
    // nothing is left to create. Kept so start-up reads as the steps it follows.
}
