#include "core/os_wrappers.h"

#include <string>

#include "platform/process.h"
#include "platform/tone.h"
#include "platform/trace.h"

namespace {
void blankIfSeparator(char& c) {
    if (c == '|' || c == '\n' || c == '\r') c = ' ';
}
}  // namespace

void blankSeparators(char* text) {
    if (!text) return;
    for (; *text; ++text) blankIfSeparator(*text);
}

void blankSeparators(std::string& text) {
    for (char& c : text) blankIfSeparator(c);
}

bool runProgram(const char* commandLine) {
    if (!commandLine) return false;
    const std::vector<std::string> args = splitCommandLine(commandLine);
    std::string shown;
    for (const std::string& a : args) {
        if (!shown.empty()) shown += ' ';
        shown += quoteArgument(a);
    }
    const bool started = startProcess(args) > 0;
    traceLine((started ? "run program: " : "run program failed: ") + shown);
    return started;
}

int playTone(int frequencyHz, int durationMs) {
    traceLine("tone: " + std::to_string(frequencyHz) + " Hz " + std::to_string(durationMs) + " ms");
    soundTone(frequencyHz, durationMs);
    return 1;
}
