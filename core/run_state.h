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
    bool holdsDataFolder = false;    // this process alone serves the data folder
};

RunState& runState();

// A failure the user must learn of even with no window, as in a run from cron:
// said on standard error and in the trace. A batch run then ends with status 1.
void reportRunFailure(const std::string& text);
bool runFailed();

// Something the user should learn of that is no failure of the run: in the trace,
// and in batch mode also on standard error.
void reportRunNote(const std::string& text);

// A failure of this computer's own, not of a site: a file Tervane must write
// cannot be written (a full disk, a folder it may not write in). Told once per
// kind: said as reportRunFailure says it (a batch run then ends with status 1),
// and given to the listener, which a window installs to show it in a box.
void reportLocalFailure(const std::string& kind, const std::string& text);
using LocalFailureListener = void (*)(const std::string& text);
void setLocalFailureListener(LocalFailureListener listener);
