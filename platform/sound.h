#pragma once
#include <string>

// Plays a sound file and returns when it has ended: through the first of pw-play,
// paplay and aplay found on PATH, started without a shell with the file as its
// argument. A player still running after timeoutMs is stopped. Every attempt
// writes the trace line "sound: <file> (<outcome>)". Nothing is shown to the user:
// a missing file, no player or a failing player only give false.
bool playSoundFile(const std::string& file, int timeoutMs = 60000);
