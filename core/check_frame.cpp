#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/cache_files.h"
#include "core/change_mail.h"
#include "core/check_slots.h"
#include "core/run_state.h"
#include "core/vigil.h"
#include "net/tcp_client.h"
#include "platform/files.h"

Vigil::Reference Vigil::examineReference() {
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
    // Said once: should this fetch fail too, the next run finds no copy named
    // rather than the same loss again.
    setCacheFileName(std::string());
    setPreviousCacheFileName(std::string());
    retireReplaced({previous, current});
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
    retireReplaced({previous, current}, fresh);
}

void Vigil::retireReplaced(const std::vector<std::string>& names, const std::string& kept) {
    if (runState().keepOldCacheFiles) return;
    std::vector<std::string> replaced;
    for (const std::string& name : names)
        if (!name.empty() && name != kept && std::find(replaced.begin(), replaced.end(), name) == replaced.end())
            replaced.push_back(name);
    {
        // Saves made while the check runs still name the old copy.
        std::lock_guard<std::mutex> g(recordMutex_);
        if (recordBeforeCheck_) {
            replacedInCheck_.insert(replacedInCheck_.end(), replaced.begin(), replaced.end());
            return;
        }
    }
    // The vigil.dat on disk names the old copy until the next save: it goes then.
    for (const std::string& name : replaced) CacheFiles::retire(name);
}

void Vigil::writeRecord(FILE* file) const {
    std::lock_guard<std::mutex> g(recordMutex_);
    if (!recordBeforeCheck_) {
        write(file);
        return;
    }
    std::fwrite(recordBeforeCheck_->data(), 1, recordBeforeCheck_->size(), file);
}

void Vigil::holdRecordForCheck() {
    char* text = nullptr;
    size_t size = 0;
    FILE* memory = open_memstream(&text, &size);
    std::lock_guard<std::mutex> g(recordMutex_);
    if (!memory) return;
    write(memory);
    if (std::fclose(memory) == 0) recordBeforeCheck_ = std::string(text, size);
    std::free(text);
}

void Vigil::releaseRecordAfterCheck() {
    std::vector<std::string> replaced;
    {
        std::lock_guard<std::mutex> g(recordMutex_);
        recordBeforeCheck_.reset();
        replaced.swap(replacedInCheck_);
    }
    // Only now: a save that still wrote the old record took its retired copies
    // before these joined them.
    for (const std::string& name : replaced) CacheFiles::retire(name);
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
    holdRecordForCheck();
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
    releaseRecordAfterCheck();
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
    checkLock().unlock();
    leaveBusy();
}
