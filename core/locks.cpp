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
// Never destroyed: a detached worker (a batch run's check-all) may still be
// letting go of one while the static destructors of the ending process run.
union ProcessLockStore {
    ProcessLockStore() : locks() {}
    ~ProcessLockStore() {}
    OwnedMutex locks[12];
};
ProcessLockStore store;
}  // namespace

MutexHandle timeLock = &store.locks[0];
MutexHandle cacheNameLock = &store.locks[2];
MutexHandle proxyLock = &store.locks[7];
MutexHandle slotLock = &store.locks[10];
MutexHandle dispatchLock = &store.locks[11];

void createProcessLocks() {
    // The locks are static objects made in table order before main runs;
    // nothing is left to create. Kept so start-up reads as the steps it follows.
}
