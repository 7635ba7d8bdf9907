#include "core/cache_files.h"

#include "platform/ascii_text.h"
#include "platform/files.h"
#include "platform/owned_mutex.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
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
        if (const std::optional<int32_t> number = numberNamed(name)) keep.insert(*number);
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
        // Only files this program names itself.
        const std::string name = entry->d_name;
        const std::optional<int32_t> number = numberNamed(name);
        if (number && name == nameOf(*number).substr(6) && keep.count(*number) == 0) unnamed.push_back(name);
    }
    for (const std::string& name : unnamed) ::unlinkat(::dirfd(folder), name.c_str(), 0);
    ::closedir(folder);
    return static_cast<int>(unnamed.size());
}

std::string nameOfNumber(int32_t number) {
    return nameOf(number);
}

namespace {

// A stored name taken apart: hand edits and lists from Windows write '\\' or '/',
// doubled at times, with "." parts and blanks around the whole.
struct NameParts {
    bool absolute = false;
    std::vector<std::string_view> folders;
    std::string_view file;
};

NameParts partsOf(std::string_view name) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!name.empty() && blank(name.front())) name.remove_prefix(1);
    while (!name.empty() && blank(name.back())) name.remove_suffix(1);
    NameParts parts;
    parts.absolute = !name.empty() && (name.front() == '/' || name.front() == '\\');
    while (!name.empty()) {
        const size_t end = name.find_first_of("/\\");
        const std::string_view part = name.substr(0, end);
        if (end == std::string_view::npos) {
            parts.file = part;
            break;
        }
        if (!part.empty() && part != ".") parts.folders.push_back(part);
        name.remove_prefix(end + 1);
    }
    return parts;
}

// Digits and ".mon": the number, when it fits the counter.
std::optional<int32_t> numberOfFile(std::string_view file) {
    static constexpr std::string_view suffix = ".mon";
    if (file.size() <= suffix.size() || !equalsNoCase(file.substr(file.size() - suffix.size()), suffix))
        return std::nullopt;
    int64_t number = 0;
    for (char c : file.substr(0, file.size() - suffix.size())) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
        if (number > INT32_MAX) return std::nullopt;
    }
    return static_cast<int32_t>(number);
}

bool sameFolder(const std::string& a, const char* b) {
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace

std::optional<int32_t> numberNamed(std::string_view name) {
    return numberOfFile(partsOf(name).file);
}

std::optional<int32_t> numberFromName(std::string_view name) {
    const NameParts parts = partsOf(name);
    const std::optional<int32_t> number = numberOfFile(parts.file);
    if (!number || parts.folders.empty() || !equalsNoCase(parts.folders.back(), "cache")) return std::nullopt;
    if (!parts.absolute && parts.folders.size() == 1) return number;
    // A path through some folder: the data folder itself, or it is another list's.
    std::string above = parts.absolute ? "/" : "";
    for (size_t i = 0; i + 1 < parts.folders.size(); ++i) above.append(parts.folders[i]).append("/");
    if (!sameFolder(above, ".")) return std::nullopt;
    return number;
}

}  // namespace CacheFiles
