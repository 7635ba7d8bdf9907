#pragma once

// The process set-up that comes before any window: the "cache" folder, the time
// zone, the process-wide locks, networking, the current year, the command-line
// switches and the proxy authorization. 0, or -1 when networking cannot start.
int prepareProcess(int argc, const char* const argv[]);
