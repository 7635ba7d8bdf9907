#include "platform/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <mutex>

#include "platform/thread.h"

extern char** environ;

std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    size_t i = 0;
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (true) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) break;
        std::string word;
        bool quoted = false;
        const bool program = words.empty();
        while (i < line.size() && (quoted || !isBlank(line[i]))) {
            const char c = line[i];
            if (c == '\\' && !program) {
                size_t n = 0;
                while (i < line.size() && line[i] == '\\') ++n, ++i;
                if (i < line.size() && line[i] == '"') {
                    word.append(n / 2, '\\');
                    if (n % 2 == 1) {
                        word += '"';
                        ++i;
                    }
                    // an even run leaves the quote to the next round
                } else {
                    word.append(n, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && !program && i + 1 < line.size() && line[i + 1] == '"') {
                    word += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            word += c;
            ++i;
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::string quoteArgument(std::string_view word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string_view::npos) return std::string(word);
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(2 * backslashes + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    out += '"';
    return out;
}

namespace {

// Children whose waiter thread could not start; reaped on the next start.
std::mutex unreapedMutex;
std::vector<pid_t> unreaped;

void reapLeftovers() {
    std::lock_guard<std::mutex> g(unreapedMutex);
    for (size_t i = 0; i < unreaped.size();) {
        const pid_t r = waitpid(unreaped[i], nullptr, WNOHANG);
        if (r == 0) {
            ++i;
        } else {
            unreaped.erase(unreaped.begin() + static_cast<long>(i));
        }
    }
}

void waitForChild(pid_t pid) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

pid_t startProcess(const std::vector<std::string>& args) {
    reapLeftovers();
    if (args.empty() || args[0].empty()) return -1;

    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    // Descriptors opened without close-on-exec (by us or a library) stay ours.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // SIGPIPE is ignored here for the sockets; the child starts with defaults.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;

    if (!startDetachedThread([pid] { waitForChild(pid); })) {
        std::lock_guard<std::mutex> g(unreapedMutex);
        unreaped.push_back(pid);
    }
    return pid;
}
