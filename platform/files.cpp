#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

bool createDirectory(const std::string& path) {
    const std::string p = localPath(path);
    if (::mkdir(p.c_str(), 0777) == 0) return true;
    struct stat st;
    return errno == EEXIST && ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

ProcessLock lockForProcess(const std::string& path) {
    int fd = openDescriptor(path, O_RDWR | O_CREAT);
    // A folder the user may only read still has its lock file from earlier runs.
    if (fd < 0) fd = openDescriptor(path, O_RDONLY);
    if (fd < 0) return ProcessLock::Unavailable;
    int rc;
    do rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc == 0) return ProcessLock::Taken;  // the descriptor stays open with the lock
    const bool inUse = errno == EWOULDBLOCK;
    ::close(fd);
    return inUse ? ProcessLock::InUse : ProcessLock::Unavailable;
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
