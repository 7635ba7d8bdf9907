#pragma once
#include <string>
#include <vector>

// One run of the built program the way cron starts it: without a display, in a
// working folder, with the switches given.
struct TervaneRun {
    int exitCode = -1;  // -1: a signal ended it, or it outlived the time given
    std::string out;    // standard output
    std::string err;    // standard error
    bool leftProcesses = false;  // something of its process group outlived it
};

// fileSizeLimit, when not 0: no file it writes may grow past this many bytes
// (ulimit -f; a full disk for one file, where root ignores permissions).
TervaneRun runTervane(const std::vector<std::string>& switches, const std::string& workDir = ".",
                      int timeoutMs = 60000, long fileSizeLimit = 0);
