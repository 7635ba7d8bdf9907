#pragma once
#include <atomic>
#include <string>

// Process-wide state that start-up fills from the clock and the command line.
// Written once on the main thread before any worker starts; read everywhere after.
struct RunState {
    int currentYear = 1900;          // year for FTP listing dates without a year
    bool keepOldCacheFiles = false;  // "/debug"
    bool batchMode = false;          // "/batch"
    bool quietMode = false;          // "/quiet"
    std::string textReportName;      // "/text" F
    std::string htmlReportName;      // "/html" F
    std::string batchSoundName;      // "/wav" F
    bool batchSoundExists = false;
};

RunState& runState();

// A failure the user must learn of even with no window, as in a run from cron:
// said on standard error and in the trace. A batch run then ends with status 1.
void reportRunFailure(const std::string& text);
bool runFailed();
