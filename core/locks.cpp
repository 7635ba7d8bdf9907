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

void createProcessLocks() {
    // Each process-wide lock is a member of what it guards, made when first
    // used; nothing is left to create. Kept so start-up reads as its steps.
}
