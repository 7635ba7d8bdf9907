#include "platform/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/ascii_text.h"
#include "platform/thread.h"

extern char** environ;

std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (true) {
        while (i < line.size() && isSpaceOrTab(line[i])) ++i;
        if (i >= line.size()) break;
        std::string word;
        bool quoted = false;
        const bool program = words.empty();
        while (i < line.size() && (quoted || !isSpaceOrTab(line[i]))) {
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

// posix_spawnp with our settings for children: only the standard descriptors,
// default signal handling, an empty signal mask. The child's id, or -1.
pid_t spawnChild(const std::vector<std::string>& args) {
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
    return rc == 0 ? pid : -1;
}

}  // namespace

pid_t startProcess(const std::vector<std::string>& args) {
    reapLeftovers();
    const pid_t pid = spawnChild(args);
    if (pid < 0) return -1;

    if (!startDetachedThread([pid] { waitForChild(pid); })) {
        std::lock_guard<std::mutex> g(unreapedMutex);
        unreaped.push_back(pid);
    }
    return pid;
}

ProcessOutcome runProcessAndWait(const std::vector<std::string>& args, int timeoutMs) {
    const pid_t pid = spawnChild(args);
    if (pid < 0) return {ProcessOutcome::NotStarted, 0};

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto pause = std::chrono::milliseconds(1);
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) break;
        if (r < 0 && errno != EINTR) return {ProcessOutcome::Lost, 0};
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitForChild(pid);
            return {ProcessOutcome::TimedOut, 0};
        }
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(20)) pause *= 2;
    }
    if (WIFEXITED(status)) return {ProcessOutcome::Exited, WEXITSTATUS(status)};
    return {ProcessOutcome::Signalled, WTERMSIG(status)};
}

std::string findProgram(std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos) return {};
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string_view dirs(path);
    while (true) {
        const size_t colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        if (dir.empty()) dir = ".";  // an empty entry is the working directory
        std::string candidate = dir + '/' + std::string(name);
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos) break;
        dirs.remove_prefix(colon + 1);
    }
    return {};
}
