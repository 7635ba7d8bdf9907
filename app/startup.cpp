#include "app/startup.h"

#include <ctime>
#include <filesystem>
#include <string>

#include "core/command_line.h"
#include "core/ini_file.h"
#include "core/run_state.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/signals.h"

namespace {
// One Tervane per data folder: two would write vigil.dat over each other.
const char* const kFolderLockFile = "tervane.lock";

void refuseFolderInUse() {
    std::error_code error;
    const std::string folder = std::filesystem::current_path(error).string();
    if (runState().batchMode) {
        reportRunFailure("another Tervane is already running on the data folder " + folder +
                         "; nothing was checked or saved.");
    } else {
        showMessageBox("Tervane", "Tervane is already running on the data folder " + folder + ".");
    }
}

// Sockets need no start-up here beyond keeping a write to a closed peer from
// ending the process.
bool startNetworking() {
    ignoreBrokenPipe();
    return true;
}
}  // namespace

int prepareProcess(int argc, const char* const argv[]) {
    ignoreFileSizeLimit();
    tzset();
    if (!startNetworking()) return -1;
    setCurrentYear();
    readSwitches(argc, argv);
    // Before any file of the folder is touched. A folder that cannot be locked
    // may be in use all the same: it is not used.
    if (lockForProcess(kFolderLockFile) != ProcessLock::Taken) {
        refuseFolderInUse();
        return 1;
    }
    runState().holdsDataFolder = true;
    // A save killed half-way leaves its temporary file; only the folder's
    // sole user may tell such a file from another process's save in progress.
    // The profile is saved under the name it was found by ("Vgw.ini").
    for (const std::string& saved : {std::string("vigil.dat"), IniFile::resolveName("VGW.INI")})
        removeLeftoverTemporaries(saved);
    // An existing folder is fine; failures show later. One made by a run as root
    // is the list owner's, who must write copies into it at the next run.
    createDirectory("cache", ownerModelFor("vigil.dat"));
    return 0;
}
