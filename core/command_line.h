#pragma once
#include <ctime>

// The year that asctime shows for the moment now in local time, or 1999 when it
// shows none. FTP listings leave out the year of recent files.
int yearFromClock(std::time_t now);
// Sets runState().currentYear from the clock.
void setCurrentYear();

// Reads the switches argv[1] .. argv[argc-1], without regard to case:
// "/debug", "/text" F, "/html" F, "/batch", "/quiet", "/wav" F into runState();
// "/hproxy:"host[:port], "/huser:"user, "/hpass:"password into the proxy settings.
// Anything else is ignored. When user and password are then both set, the proxy
// needs authorization and its Base64 "user:password" text is made.
void readSwitches(int argc, const char* const argv[]);
