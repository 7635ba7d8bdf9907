#include "platform/sound.h"

#include "platform/files.h"
#include "platform/process.h"
#include "platform/trace.h"

namespace {

const char* const players[] = {"pw-play", "paplay", "aplay"};

std::string outcomeText(const std::string& player, const ProcessOutcome& outcome) {
    switch (outcome.kind) {
    case ProcessOutcome::NotStarted:
        return player + " did not start";
    case ProcessOutcome::Exited:
        return outcome.code == 0 ? "played by " + player
                                 : player + " failed with exit status " + std::to_string(outcome.code);
    case ProcessOutcome::Signalled:
        return player + " ended by signal " + std::to_string(outcome.code);
    case ProcessOutcome::TimedOut:
        return player + " stopped after the time limit";
    case ProcessOutcome::Lost:
        break;
    }
    return player + " ended unobserved";
}

}  // namespace

bool playSoundFile(const std::string& file, int timeoutMs) {
    if (file.empty()) {
        traceLine("sound: (no file)");
        return false;
    }
    const std::string path = localPath(file);
    if (!fileReadable(path)) {
        traceLine("sound: " + file + " (no such file)");
        return false;
    }
    std::string player;
    for (const char* name : players) {
        player = findProgram(name);
        if (!player.empty()) break;
    }
    if (player.empty()) {
        traceLine("sound: " + file + " (no player)");
        return false;
    }
    const std::string name = player.substr(player.rfind('/') + 1);
    // A name starting with '-' would be read as an option.
    const std::string argument = path.front() == '-' ? "./" + path : path;
    const ProcessOutcome outcome = runProcessAndWait({player, argument}, timeoutMs);
    traceLine("sound: " + file + " (" + outcomeText(name, outcome) + ")");
    return outcome.kind == ProcessOutcome::Exited && outcome.code == 0;
}
