#pragma once
#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

// Splits a command line the way Windows programs read theirs: blanks and tabs
// separate words, double quotes group (and are removed), "" inside quotes is one
// quote, and backslashes escape a quote (2n backslashes before a quote give n and
// the quote groups; 2n+1 give n and a literal quote). Backslashes elsewhere are
// plain characters. The first word, the program, takes quotes only.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// The word quoted so that splitCommandLine reads it back unchanged.
std::string quoteArgument(std::string_view word);

// Starts args[0] (looked up on PATH) with args as its argument vector. No shell
// is involved. The child gets standard input, output and error and none of our
// other descriptors, default signal handling and an empty signal mask. A detached
// waiter reaps it when it ends, so no zombie remains. The process id, or -1.
pid_t startProcess(const std::vector<std::string>& args);

// How a child run by runProcessAndWait ended. code: the exit status for Exited,
// the signal for Signalled.
struct ProcessOutcome {
    enum Kind { NotStarted, Exited, Signalled, TimedOut, Lost } kind;
    int code;
};

// Starts args[0] (looked up on PATH, no shell, the same child set-up as
// startProcess) and waits for it to end, at most timeoutMs; a child still running
// then is killed. Lost: someone else reaped it.
ProcessOutcome runProcessAndWait(const std::vector<std::string>& args, int timeoutMs);

// The path of an executable file called name in a directory of PATH (searched in
// order), or empty.
std::string findProgram(std::string_view name);
