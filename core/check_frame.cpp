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

void Vigil::adoptCopy(const std::string& fresh) {
    const std::string previous = previousCacheFileName();
    const std::string current = cacheFileName();
    setCacheFileName(fresh);
    setPreviousCacheFileName(fresh);
    if (runState().keepOldCacheFiles) return;
    if (!previous.empty() && previous != fresh) CacheFiles::remove(previous);
    if (!current.empty() && current != previous && current != fresh) CacheFiles::remove(current);
}

void Vigil::runCheckFrame() {
    const bool batch = runState().batchMode;
    enterBusy();
    checkLock().lock(-1);
    if (stopRequested()) {
        // Deleted, or the window closed, while this check waited: the Vigil keeps
        // its status and times, so a "Changed!" is not lost at the final save.
        giveBackCheckSlot();
        setCheckThreadId(0);
        checkLock().unlock();
        leaveBusy();
        return;
    }
    storeStatus(VigilStatus::Checking);
    if (!batch) reportStatus(VigilStatus::Checking);

    const int result = fetchAndCompare();

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
