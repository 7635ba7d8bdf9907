#include <cstring>
#include <ctime>

#include "core/cache_files.h"
#include "core/change_mail.h"
#include "core/check_slots.h"
#include "core/run_state.h"
#include "core/vigil.h"
#include "net/tcp_client.h"
#include "platform/files.h"

Vigil::Reference Vigil::examineReference() const {
    const std::string current = cacheFileName();
    const std::string previous = previousCacheFileName();
    if (current.empty() || previous.empty()) return Reference::None;
    int error = 0;
    switch (probeFile(previous, &error)) {
        case FileContent::Readable:
            return Reference::Usable;
        case FileContent::Unreadable:
            reportLocalFailure("copy read " + std::to_string(error),
                               "A copy in the cache folder could not be read (" + previous + ": " +
                                   std::strerror(error) +
                                   "); such a check does not count, and the item keeps its status.");
            return Reference::Unreadable;
        case FileContent::Missing:
        case FileContent::Empty:
            break;
    }
    // Lost to a power cut or a hand: the fetch starts again from a first copy,
    // which cannot tell whether the site changed meanwhile.
    const bool missing = !fileExists(previous);
    reportRunNote(description() + ": its copy " + previous + (missing ? " is missing" : " is empty") +
                  "; what is fetched now becomes its copy, and a change since the last check is not "
                  "reported.");
    return Reference::None;
}

std::string Vigil::takeNewCacheName() {
    return CacheFiles::newName();
}

void Vigil::adoptCopy(const std::string& fresh) {
    const std::string previous = previousCacheFileName();
    const std::string current = cacheFileName();
    CacheFiles::settle(fresh);
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
        setCheckThreadId(0);
        checkLock().unlock();
        leaveBusy();
        return;
    }
    const int before = status();
    statusBeforeCheck_ = before;
    storeStatus(VigilStatus::Checking);
    if (!batch) reportStatus(VigilStatus::Checking);

    const int result = fetchAndCompare();
    storeCheckResult(result);
    const bool unreadable = result == VigilStatus::CopyUnreadable;
    const bool copyStored = result != VigilStatus::CopyNotStored && !unreadable;

    checkSlots().giveBack();
    setLastChecked(time(nullptr));
    storeStatus(copyStored ? result : before);
    if (!copyStored) {
        if (!unreadable) reportCopyNotStored();  // an unreadable copy was told as it was found
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
    setCheckThreadId(0);
    checkLock().unlock();
    leaveBusy();
}
