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
