#include "core/cache_files.h"

#include "platform/ascii_text.h"
#include "platform/files.h"
#include "platform/owned_mutex.h"

#include <dirent.h>
#include <fcntl.h>
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
    std::set<int32_t> keep;
    for (const std::string& name : kept)
        if (const std::optional<int32_t> number = numberFromName(name)) keep.insert(*number);
    // Not through a link: the folder it leads to may be another data folder's,
    // whose copies this list does not name.
    const int folderFd = ::open("cache", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd < 0) return 0;
    DIR* folder = ::fdopendir(folderFd);
    if (!folder) {
        ::close(folderFd);
        return 0;
    }
    std::vector<std::string> unnamed;
    while (const dirent* entry = ::readdir(folder)) {
        // Only files this program names itself; numbers compared whatever form
        // vigil.dat gave them in.
        const std::string name = entry->d_name;
        const std::optional<int32_t> number = numberFromName(std::string("cache\\") + name);
        if (number && name == nameOf(*number).substr(6) && keep.count(*number) == 0) unnamed.push_back(name);
    }
    for (const std::string& name : unnamed) ::unlinkat(::dirfd(folder), name.c_str(), 0);
    ::closedir(folder);
    return static_cast<int>(unnamed.size());
}

std::string nameOfNumber(int32_t number) {
    return nameOf(number);
}

std::optional<int32_t> numberFromName(std::string_view name) {
    // Hand edits and lists from Windows write the folder with '/' or in capitals.
    static constexpr std::string_view folder = "cache";
    static constexpr std::string_view suffix = ".mon";
    const size_t digitsAt = folder.size() + 1;
    if (name.size() != digitsAt + 8 + suffix.size()) return std::nullopt;
    if (!equalsNoCase(name.substr(0, folder.size()), folder) || !equalsNoCase(name.substr(digitsAt + 8), suffix))
        return std::nullopt;
    if (name[folder.size()] != '\\' && name[folder.size()] != '/') return std::nullopt;
    int32_t number = 0;
    for (char c : name.substr(digitsAt, 8)) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace CacheFiles
