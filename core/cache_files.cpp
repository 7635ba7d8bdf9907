#include "core/cache_files.h"

#include "platform/files.h"
#include "platform/owned_mutex.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>

namespace {

// The names handed out, under their own lock: the counter only moves forward,
// the set only grows during a run. Never destroyed: detached checks take names
// while the process ends.
struct CacheNames {
    OwnedMutex lock;
    int32_t counter = 0;
    std::set<int32_t> used;
};
CacheNames& cacheNames() {
    static CacheNames& names = *new CacheNames;
    return names;
}

// Copies waiting for a save; never destroyed, as checks still running at exit
// retire theirs.
struct RetiredCopies {
    std::mutex lock;
    std::vector<std::string> names;
};
RetiredCopies& retiredCopies() {
    static RetiredCopies& copies = *new RetiredCopies;
    return copies;
}

// The list file and whether copies settled since the last flush wait for one.
struct SettledCopies {
    std::mutex lock;
    std::string listFile;
    bool pending = false;
};
SettledCopies& settledCopies() {
    static SettledCopies& copies = *new SettledCopies;
    return copies;
}

std::string nameOf(int32_t number) {
    char text[32];
    std::snprintf(text, sizeof text, "cache\\%08d.mon", number);
    return text;
}

}  // namespace

namespace CacheFiles {

std::string newName() {
    CacheNames& names = cacheNames();
    const OwnedLock hold(names.lock);
    for (;;) {
        if (names.used.count(names.counter) == 0 && !fileExists(nameOf(names.counter))) break;
        ++names.counter;
    }
    names.used.insert(names.counter);
    return nameOf(names.counter);
}

int addNumber(int32_t number) {
    CacheNames& names = cacheNames();
    const OwnedLock hold(names.lock);
    return names.used.insert(number).second ? 1 : 0;
}

int remove(const std::string& name) {
    if (!name.empty()) removeFile(name);
    return 0;
}

void retire(const std::string& name) {
    if (name.empty()) return;
    RetiredCopies& r = retiredCopies();
    std::lock_guard<std::mutex> g(r.lock);
    r.names.push_back(name);
}

std::vector<std::string> takeRetired() {
    RetiredCopies& r = retiredCopies();
    std::lock_guard<std::mutex> g(r.lock);
    std::vector<std::string> taken;
    taken.swap(r.names);
    return taken;
}

void setListFile(const std::string& name) {
    SettledCopies& s = settledCopies();
    std::lock_guard<std::mutex> g(s.lock);
    s.listFile = name;
}

void settle(const std::string& name) {
    SettledCopies& s = settledCopies();
    std::lock_guard<std::mutex> g(s.lock);
    if (!s.listFile.empty()) matchOwnerAndMode(name, s.listFile);
    s.pending = true;
}

bool flushSettled() {
    SettledCopies& s = settledCopies();
    {
        std::lock_guard<std::mutex> g(s.lock);
        if (!s.pending) return true;
        s.pending = false;  // a copy settled during the flush waits for the next one
    }
    // One flush of the file system costs less than a flush of each copy (and of
    // the folder's entry for it) as it is closed.
    if (flushFileSystem("cache")) return true;
    const int error = errno;
    std::lock_guard<std::mutex> g(s.lock);
    s.pending = true;
    errno = error;
    return false;
}

int removeAllExcept(const std::vector<std::string>& kept) {
    const std::set<std::string> keep(kept.begin(), kept.end());
    DIR* folder = ::opendir("cache");
    if (!folder) return 0;
    std::vector<std::string> unnamed;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = std::string("cache\\") + entry->d_name;
        if (numberFromName(name) && keep.count(name) == 0) unnamed.push_back(name);
    }
    ::closedir(folder);
    for (const std::string& name : unnamed) removeFile(name);
    return static_cast<int>(unnamed.size());
}

std::optional<int32_t> numberFromName(std::string_view name) {
    static constexpr std::string_view prefix = "cache\\";
    static constexpr std::string_view suffix = ".mon";
    if (name.size() != prefix.size() + 8 + suffix.size()) return std::nullopt;
    if (name.substr(0, prefix.size()) != prefix || name.substr(prefix.size() + 8) != suffix) return std::nullopt;
    int32_t number = 0;
    for (char c : name.substr(prefix.size(), 8)) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace CacheFiles
