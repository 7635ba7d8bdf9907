#include "app/window_services.h"

#include "app/main_window_event.h"
#include "core/run_state.h"
#include "platform/message_box.h"
#include "platform/qt/window_event.h"

namespace {

// Stand-ins until the data file, the scheduler and check-all join this build:
// nothing is read, a save reports that it wrote nothing (so vigil.dat stays as
// it was), and a batch check-all checks nothing but ends the run as the real
// one does.
void loadNothing(const std::string&, void*) {}

int saveNothing(const std::string&) { return -1; }

void finishBatchRun() {
    const RunState& run = runState();
    if (!run.batchMode) return;
    if (!run.batchSoundExists && !run.quietMode)
        showMessageBox("Tervane", "Tervane has finished checking all sites.");
    postWindowEvent(MainWindowEvent::Close);
}

void noPass() {}

WindowServices makeServices() {
    WindowServices s;
    s.loadVigils = loadNothing;
    s.saveVigils = saveNothing;
    s.checkAll = finishBatchRun;
    s.schedulerPass = noPass;
    return s;
}

}  // namespace

WindowServices& windowServices() {
    static WindowServices services = makeServices();
    return services;
}
