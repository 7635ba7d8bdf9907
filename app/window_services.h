#pragma once
#include <functional>
#include <string>

#include "core/vigil_store.h"

// The work that the main window hands to other parts of the program: reading
// and writing vigil.dat, the check-all task and one scheduler pass. Each is
// reached only through here, so tests can put recording functions in place
// (set them before any thread starts).
struct WindowServices {
    // Reads the data file into vigilList.
    std::function<VigilStore::LoadResult(const std::string& fileName)> loadVigils;
    // Writes vigilList; status 0 on success, -1 when the file was not written.
    std::function<VigilStore::SaveResult(const std::string& fileName)> saveVigils;
    // Check-all, on the calling thread (in batch mode it also ends the run).
    std::function<void()> checkAll;
    // One pass of the timer-driven scheduler, on the calling thread.
    std::function<void()> schedulerPass;
};

WindowServices& windowServices();
