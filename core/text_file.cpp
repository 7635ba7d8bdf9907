#include "core/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

void foldLineEnds(std::string& text) {
    const size_t first = text.find("\r\n");
    if (first == std::string::npos) return;
    char* const data = &text[0];
    const size_t n = text.size();
    size_t out = first;
    size_t in = first;
    while (in < n) {
        // Copy up to the next CR in one go; only CR LF pairs lose their CR.
        const void* cr = std::memchr(data + in, '\r', n - in);
        const size_t stop = cr ? static_cast<size_t>(static_cast<const char*>(cr) - data) : n;
        if (out != in) std::memmove(data + out, data + in, stop - in);
        out += stop - in;
        in = stop;
        if (in == n) break;
        if (in + 1 < n && data[in + 1] == '\n') {
            ++in;  // drop the CR; the LF follows in the next copy
        } else {
            data[out++] = '\r';
            ++in;
        }
    }
    text.resize(out);
}

namespace {

// Reads fd to its end into out; false on a read error.
bool readAll(int fd, std::string& out) {
    struct stat st {};
    size_t capacity = 1 << 16;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) capacity = static_cast<size_t>(st.st_size) + 1;
    out.resize(capacity);
    size_t have = 0;
    for (;;) {
        if (have == out.size()) out.resize(out.size() * 2);  // the file grew meanwhile
        const ssize_t got = ::read(fd, &out[have], out.size() - have);
        if (got < 0) {
            if (errno == EINTR) continue;
            out.clear();
            return false;
        }
        if (got == 0) break;
        have += static_cast<size_t>(got);
    }
    out.resize(have);
    return true;
}

// The file's bytes as stored; false (and out empty) when it cannot be read.
bool readFileBytes(const char* path, std::string& out) {
    out.clear();
    if (!path) return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = readAll(fd, out);
    ::close(fd);
    return ok;
}

}  // namespace

bool readTextFile(const char* path, std::string& out) {
    const bool ok = readFileBytes(path, out);
    if (ok) foldLineEnds(out);
    return ok;
}

bool FileBytes::open(const char* path) {
    // Read, not mapped: a mapped copy that someone truncates meanwhile faults
    // (SIGBUS) on the next touch of its lost pages.
    return readFileBytes(path, read_);
}
