#pragma once

// The process set-up that comes before any window: the time zone, the
// process-wide locks, networking, the current year, the command-line switches and
// the proxy authorization, the data folder's lock, the "cache" folder. 0; -1 when
// networking cannot start; 1 when another Tervane holds the data folder (said in
// a message box, or on standard error in batch mode, and no file was touched).
int prepareProcess(int argc, const char* const argv[]);
