#include "support/tervane_run.h"

#include "support/server_process.h"

TervaneRun runTervane(const std::vector<std::string>& switches, const std::string& workDir, int timeoutMs,
                      long fileSizeLimit) {
    TempDir logs("tervane-run");
    ChildOptions options;
    options.outFile = logs.file("out");
    options.errFile = logs.file("err");
    options.workDir = workDir;
    options.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    std::vector<std::string> argv{TERVANE_BINARY};
    if (fileSizeLimit > 0)  // as cron's limit: SIGXFSZ left to the program
        argv = {"/bin/sh", "-c", "ulimit -f " + std::to_string((fileSizeLimit + 511) / 512) + " && exec \"$0\" \"$@\"",
                TERVANE_BINARY};
    argv.insert(argv.end(), switches.begin(), switches.end());

    TervaneRun run;
    ChildProcess child;
    if (!child.start(argv, options)) return run;
    run.exitCode = child.waitForExit(timeoutMs);
    run.leftProcesses = child.groupAlive();
    child.stop();
    run.out = readWholeFile(options.outFile);
    run.err = readWholeFile(options.errFile);
    return run;
}
