#include "app/startup.h"

#include <ctime>

#include "core/command_line.h"
#include "core/locks.h"
#include "platform/files.h"
#include "platform/signals.h"

namespace {
// Sockets need no start-up here beyond keeping a write to a closed peer from
// ending the process.
bool startNetworking() {
    ignoreBrokenPipe();
    return true;
}
}  // namespace

int prepareProcess(int argc, const char* const argv[]) {
    createDirectory("cache");  // an existing folder is fine; failures show later
    tzset();
    createProcessLocks();
    if (!startNetworking()) return -1;
    setCurrentYear();
    readSwitches(argc, argv);
    return 0;
}
