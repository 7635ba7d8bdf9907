#include <cstring>
#include <ctime>

#include "core/cache_files.h"
#include "core/change_mail.h"
#include "core/check_slots.h"
#include "core/run_state.h"
#include "core/vigil.h"
#include "net/tcp_client.h"
#include "platform/files.h"

bool Vigil::isFirstFetch() const {
    const std::string current = cacheFileName();
    const std::string previous = previousCacheFileName();
    return current.empty() || previous.empty() || !fileReadable(previous);
}

std::string Vigil::takeNewCacheName() {
    return CacheFiles::newName();
}

void Vigil::adoptCopy(const std::string& fresh) {
    const std::string previous = previousCacheFileName();
    const std::string current = cacheFileName();
    setCacheFileName(fresh);
    setPreviousCacheFileName(fresh);
    if (runState().keepOldCacheFiles) return;
    // The vigil.dat on disk names the old copy until the next save: it goes then.
    if (!previous.empty() && previous != fresh) CacheFiles::retire(previous);
    if (!current.empty() && current != previous && current != fresh) CacheFiles::retire(current);
}

void Vigil::reportCopyNotStored() {
    const int error = lastReplyFileError();
    reportLocalFailure("cache " + std::to_string(error),
                       std::string("A copy of a checked site could not be written to the cache folder (") +
                           std::strerror(error) + "); such a check does not count, and the item keeps its status.");
}

void Vigil::runCheckFrame() {
    const bool batch = runState().batchMode;
    enterBusy();
    checkLock().lock(-1);
    if (stopRequested()) {
        // Deleted, or the window closed, while this check waited: the Vigil keeps
        // its status and times, so a "Changed!" is not lost at the final save.
        checkSlots().giveBack();
        checkLock().unlock();
        leaveBusy();
        return;
    }
    const int before = status();
    storeStatus(VigilStatus::Checking);
    if (!batch) reportStatus(VigilStatus::Checking);

    const int result = fetchAndCompare();
    const bool copyStored = result != VigilStatus::CopyNotStored;

    checkSlots().giveBack();
    setLastChecked(time(nullptr));
    storeStatus(copyStored ? result : before);
    if (!copyStored) {
        reportCopyNotStored();
        // Nothing new is known of the site: its row is refreshed, and the status
        // it keeps notifies no one again.
        if (!batch) reportStatus(VigilStatus::Checking);
    } else if (batch) {
        if ((result == VigilStatus::Changed || result == VigilStatus::FileFound) &&
            (flags() & NotifyFlags::Email))
            sendChangeMail(*this);
    } else {
        reportStatus(result);
    }
    checkLock().unlock();
    leaveBusy();
}
