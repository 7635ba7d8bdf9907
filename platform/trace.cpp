#include "platform/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex traceMutex;
}

void traceLine(const std::string& line) {
    const char* path = std::getenv("TERVANE_TRACE");
    if (!path || !*path) return;
    // One write per line on an append descriptor keeps lines of several threads
    // and processes whole; a line break inside the text would split the entry.
    std::string out;
    out.reserve(line.size() + 1);
    for (char c : line) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    out += '\n';
    std::lock_guard<std::mutex> g(traceMutex);
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::write(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
}
