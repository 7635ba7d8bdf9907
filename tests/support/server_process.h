#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// Helpers for tests that run real servers (nginx, lighttpd, tinyproxy,
// gophernicus, pyftpdlib, aiosmtpd, ...) on 127.0.0.1.

// A port on 127.0.0.1 that was free a moment ago (the kernel picked it).
uint16_t findFreePort();

// A fresh directory under the system's temporary directory, removed with all it
// holds when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "tervane-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// Whole-file helpers; readFile gives "" for a missing file.
std::string readWholeFile(const std::string& path);
bool writeWholeFile(const std::string& path, const std::string& content);
bool pathExists(const std::string& path);
// Names of the regular files in a directory, sorted.
std::vector<std::string> listFiles(const std::string& dir);

// Where a child's output goes, where it runs and what it does not inherit.
struct ChildOptions {
    std::string outFile;                // standard output; empty: /dev/null
    std::string errFile;                // standard error; empty: with standard output
    std::string workDir;                // empty: the current directory
    std::vector<std::string> unsetEnv;  // variables left out of its environment
};

// A child process in a process group of its own, ended (the whole group) when the
// object goes.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is looked up on PATH. Standard output and error go to logFile (or
    // /dev/null); workDir empty keeps the current directory. False when the
    // program could not be started.
    bool start(const std::vector<std::string>& argv, const std::string& logFile = "",
               const std::string& workDir = "");
    bool start(const std::vector<std::string>& argv, const ChildOptions& options);
    pid_t pid() const { return pid_; }
    // False once the child has exited (its status is then collected).
    bool running();
    // Waits up to timeoutMs for the child to end: its exit code, or -1 when a
    // signal ended it or it is still running.
    int waitForExit(int timeoutMs);
    // Whether any process of the child's group (the child or what it started and
    // left behind) is still there.
    bool groupAlive() const;
    // Waits until 127.0.0.1:port accepts a connection. False when the child exits
    // first or the time runs out.
    bool waitForPort(uint16_t port, int timeoutMs = 10000);
    // SIGTERM to the group, SIGKILL after graceMs, then collects the child.
    void stop(int graceMs = 3000);

private:
    pid_t pid_ = -1;
    pid_t group_ = -1;
    int exitStatus_ = -1;
};
