#pragma once
#include <string>

// Every '|', line feed and carriage return becomes a blank, in place.
void blankSeparators(char* text);
void blankSeparators(std::string& text);

// Starts a program from a command line (split the Windows way, no shell).
// True when the process started.
bool runProgram(const char* commandLine);

// Sounds a tone through the installed tone hook; returns 1.
int playTone(int frequencyHz, int durationMs);
