#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

std::string localPath(std::string_view path) {
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

FILE* openFile(const std::string& path, const char* mode) {
    std::string m = mode ? mode : "r";
    m += 'e';  // close-on-exec
    return std::fopen(localPath(path).c_str(), m.c_str());
}

int openDescriptor(const std::string& path, int flags, mode_t mode) {
    return ::open(localPath(path).c_str(), flags | O_CLOEXEC, mode);
}

bool removeFile(const std::string& path) {
    return std::remove(localPath(path).c_str()) == 0;
}

bool fileExists(const std::string& path) {
    return ::access(localPath(path).c_str(), F_OK) == 0;
}

bool fileReadable(const std::string& path) {
    return ::access(localPath(path).c_str(), R_OK) == 0;
}

namespace {

// The owner and group of like where this process may set them, else the group
// alone; then the mode, which a change of owner may clear bits of.
void takeOwnerAndMode(int fd, const struct stat& like, mode_t mode) {
    if (::fchown(fd, like.st_uid, like.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), like.st_gid);
    ::fchmod(fd, mode);
}

}  // namespace

bool createDirectory(const std::string& path, const std::string& model) {
    const std::string p = localPath(path);
    if (::mkdir(p.c_str(), 0777) == 0) {
        struct stat like;
        const int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 && !model.empty() && ::stat(localPath(model).c_str(), &like) == 0) {
            const mode_t rw = like.st_mode & 0666;
            takeOwnerAndMode(fd, like, rw | (rw & 0444) >> 2 | 0700);
        }
        if (fd >= 0) ::close(fd);
        return true;
    }
    struct stat st;
    return errno == EEXIST && ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ownerModelFor(const std::string& listFile) {
    if (fileExists(listFile)) return listFile;
    const std::string local = localPath(listFile);
    const size_t slash = local.rfind('/');
    return slash == std::string::npos ? std::string(".") : local.substr(0, slash + 1);
}

namespace {

// The folder part of a path with its final '/'; empty for a bare name.
std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// An exclusive flock on fd, kept open with the lock for the rest of the process.
ProcessLock holdLock(int fd) {
    if (fd < 0) return ProcessLock::Unavailable;
    int rc;
    do rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc == 0) return ProcessLock::Taken;
    const bool inUse = errno == EWOULDBLOCK;
    ::close(fd);
    return inUse ? ProcessLock::InUse : ProcessLock::Unavailable;
}

}  // namespace

ProcessLock lockForProcess(const std::string& path) {
    // The folder itself is the lock: a lock file can be deleted (or replaced)
    // under its holder, and the next process would lock the new one.
    const std::string folder = folderOf(localPath(path));
    const ProcessLock onFolder =
        holdLock(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (onFolder == ProcessLock::InUse) return onFolder;
    // The lock file keeps out earlier versions, which lock only it, and serves
    // where the folder cannot be locked (flock on a folder of a network mount).
    int fd = openDescriptor(path, O_RDWR | O_CREAT);
    // A folder the user may only read still has its lock file from earlier runs.
    if (fd < 0) fd = openDescriptor(path, O_RDONLY);
    const ProcessLock onFile = holdLock(fd);
    if (onFile == ProcessLock::InUse) return onFile;
    return onFolder == ProcessLock::Taken ? onFolder : onFile;
}

namespace {
void dropLineEnd(std::string& line) {
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
}
}  // namespace

bool readLine(FILE* file, std::string& line) {
    line.clear();
    if (!file) return false;
    char* buffer = nullptr;
    size_t capacity = 0;
    const ssize_t n = ::getline(&buffer, &capacity, file);
    if (n > 0) line.assign(buffer, static_cast<size_t>(n));
    std::free(buffer);
    if (n <= 0) return false;
    dropLineEnd(line);
    return true;
}

bool readLine(std::istream& in, std::string& line) {
    line.clear();
    if (!std::getline(in, line)) return false;
    dropLineEnd(line);
    return true;
}

bool dropByteOrderMark(std::string& firstLine) {
    // Editors that add a mark to a file that has one already leave a run of them.
    size_t marks = 0;
    while (firstLine.compare(marks, 3, "\xEF\xBB\xBF") == 0) marks += 3;
    firstLine.erase(0, marks);
    return marks > 0;
}

namespace {

// Between a file's name and the six characters that make its temporary name unique.
const char* const kTemporaryInfix = ".tmp-";

// The file a chain of symbolic links ends at (which need not exist yet).
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) break;
        const std::string next(target, static_cast<size_t>(n));
        path = next.front() == '/' ? next : folderOf(path) + next;
    }
    return path;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void removeLeftoverTemporaries(const std::string& path) {
    const std::string target = followLinks(localPath(path));
    const std::string folder = folderOf(target);
    const std::string prefix = target.substr(folder.size()) + kTemporaryInfix;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
            ::unlink((folder + name).c_str());
    }
    ::closedir(dir);
}

bool replaceFile(const std::string& path, const std::function<bool(FILE*)>& write, const std::string& newFileModel) {
    const std::string target = followLinks(localPath(path));
    std::string temporary = target + kTemporaryInfix + "XXXXXX";
    // A name of its own: another process saving the same file at once must not
    // write into this one's temporary file.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    struct stat old;
    // The replaced file's owner and group, as far as this process may set them
    // (root may: a run by root must not take a user's file).
    if (::stat(target.c_str(), &old) == 0) takeOwnerAndMode(fd, old, old.st_mode & 07777);
    else if (!newFileModel.empty() && ::stat(localPath(newFileModel).c_str(), &old) == 0)
        takeOwnerAndMode(fd, old, old.st_mode & 0666);
    FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    bool ok = write(file) && std::fflush(file) == 0 && std::ferror(file) == 0;
    ok = ok && ::fsync(fd) == 0;
    int error = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    syncFolder(folderOf(target));
    return true;
}

FileContent probeFile(const std::string& path, int* error) {
    const int fd = openDescriptor(path, O_RDONLY | O_NONBLOCK);
    int why = 0;
    FileContent content;
    if (fd < 0) {
        why = errno;
        content = why == ENOENT || why == ENOTDIR ? FileContent::Missing : FileContent::Unreadable;
    } else {
        char byte;
        ssize_t got;
        do got = ::read(fd, &byte, 1);
        while (got < 0 && errno == EINTR);
        why = got < 0 ? errno : 0;
        content = got < 0 ? FileContent::Unreadable : got == 0 ? FileContent::Empty : FileContent::Readable;
        ::close(fd);
    }
    if (error) *error = why;
    return content;
}

void matchOwnerAndMode(const std::string& path, const std::string& model) {
    struct stat like;
    if (::stat(localPath(model).c_str(), &like) != 0) return;
    const std::string p = localPath(path);
    // As replaceFile: the owner where this process may set it, else the group;
    // the mode after, which a change of owner may clear bits of.
    if (::chown(p.c_str(), like.st_uid, like.st_gid) != 0) (void)::chown(p.c_str(), static_cast<uid_t>(-1), like.st_gid);
    ::chmod(p.c_str(), like.st_mode & 0666);
}

bool flushFileSystem(const std::string& path) {
    const int fd = openDescriptor(path, O_RDONLY);
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}
