#pragma once
#include <string>

// When the environment variable TERVANE_TRACE names a file, appends one line per
// outward action that a black-box test could not otherwise see (a tone, a program
// started, a sound played, a message box, ...). Without the variable: nothing.
void traceLine(const std::string& line);
