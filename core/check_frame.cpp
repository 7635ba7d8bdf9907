#include <ctime>

#include "core/cache_files.h"
#include "core/check_slots.h"
#include "core/locks.h"
#include "core/run_state.h"
#include "core/vigil.h"
#include "net/change_mail.h"
#include "platform/files.h"

bool Vigil::isFirstFetch() const {
    const std::string current = cacheFileName();
    const std::string previous = previousCacheFileName();
    return current.empty() || previous.empty() || !fileReadable(previous);
}

std::string Vigil::takeNewCacheName() {
    lockMutex(cacheNameLock, -1);
    std::string name = CacheFiles::newName();
    unlockMutex(cacheNameLock);
    return name;
}

void Vigil::runCheckFrame() {
    const bool batch = runState().batchMode;
    enterBusy();
    checkLock().lock(-1);
    storeStatus(VigilStatus::Checking);
    if (!batch) reportStatus(VigilStatus::Checking);

    // A Vigil deleted (or a window closed) while this check waited keeps what it had.
    const int result = stopRequested() ? VigilStatus::NoChange : fetchAndCompare();

    giveBackCheckSlot();
    setLastChecked(time(nullptr));
    storeStatus(result);
    if (batch) {
        if ((result == VigilStatus::Changed || result == VigilStatus::FileFound) &&
            (flags() & NotifyFlags::Email))
            sendChangeMail(*this);
    } else {
        reportStatus(result);
    }
    setCheckThreadId(0);
    checkLock().unlock();
    leaveBusy();
}
