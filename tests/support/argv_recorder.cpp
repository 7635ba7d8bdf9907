// Started by the process tests: writes its arguments (each ended by NUL) to the
// file named by ARGV_RECORD and its open descriptors above 2 to ARGV_RECORD.fds.
// Each file appears whole (written aside, then renamed).
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

static void writeWhole(const std::string& path, const std::string& content) {
    const std::string part = path + ".part";
    FILE* f = std::fopen(part.c_str(), "wb");
    if (!f) return;
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    std::rename(part.c_str(), path.c_str());
}

int main(int argc, char** argv) {
    std::vector<int> fds;
    if (DIR* d = opendir("/proc/self/fd")) {
        const int own = dirfd(d);
        while (dirent* e = readdir(d)) {
            const int fd = std::atoi(e->d_name);
            if (e->d_name[0] != '.' && fd > 2 && fd != own) fds.push_back(fd);
        }
        closedir(d);
    }
    const char* out = std::getenv("ARGV_RECORD");
    if (!out) return 2;
    std::string fdText;
    for (int fd : fds) fdText += std::to_string(fd) + "\n";
    writeWhole(std::string(out) + ".fds", fdText);
    std::string args;
    for (int i = 0; i < argc; ++i) {
        args += argv[i];
        args += '\0';
    }
    writeWhole(out, args);
    return 0;
}
