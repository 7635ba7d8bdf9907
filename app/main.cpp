#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_run.h"
#include "app/startup.h"
#include "core/run_state.h"
#include "platform/qt/app_setup.h"

namespace {

// A batch run that could not do all it was asked ends with 1, so cron can tell.
int exitStatus() {
    return runState().batchMode && runFailed() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    // QApplication takes its own options out of argv; the switches are read from
    // the untouched copy.
    const std::vector<std::string> args(argv, argv + argc);
    std::vector<const char*> argPointers;
    for (const std::string& a : args) argPointers.push_back(a.c_str());

    const int argCount = static_cast<int>(argPointers.size());

    prepareQtPlatform(argCount, argPointers.data());
    QApplication app(argc, argv);
    installQtServices();

    const int rc = prepareProcess(argCount, argPointers.data());
    if (rc != 0) return rc;

    MainWindowParts parts = openMainWindow();
    closeOnSignals(*parts.window);
    startLoadThread(*parts.window);
    QApplication::exec();

    if (!finishRun(*parts.window, shutdownWaitLimit())) {
        // A check still holds Vigils and locks: tearing them down under it
        // would crash it, so end here with what was saved.
        std::fflush(nullptr);
        std::quick_exit(exitStatus());
    }
    parts.handler->stopHandlingEventsFor(parts.window.get());
    parts.handler.reset();
    parts.window.reset();
    releaseVigils();
    return exitStatus();
}
