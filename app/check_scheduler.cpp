#include "app/check_scheduler.h"

#include <algorithm>
#include <atomic>

#include "app/main_window_event.h"
#include "app/notify_sound.h"
#include "app/results_report.h"
#include "app/status_texts.h"
#include "core/check_slots.h"
#include "core/program_settings.h"
#include "core/run_state.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "platform/message_box.h"
#include "platform/qt/window_event.h"
#include "platform/thread.h"
#include "platform/trace.h"

namespace {

constexpr int slotPollMs = 500;
constexpr int batchSlotPollMs = 100;

std::atomic<CheckThreadStarter> threadStarter{nullptr};
std::atomic<bool> reportsDone{false};

bool takenByCheckAll(const Vigil& vigil) {
    const int status = vigil.status();
    return vigil.active() == 1 && status != VigilStatus::Inactive &&
           status != VigilStatus::HostNotResolved && !vigil.stopRequested();
}

// A check started or run here gives its slot back itself; one that never
// starts must give it back now.
void startOrGiveBack(const std::shared_ptr<Vigil>& vigil) {
    if (!startCheckThread(vigil)) {
        traceLine("check not started: " + vigil->description());
        checkSlots().giveBack();
    }
}

void runCheckInPlace(Vigil& vigil) {
    vigil.check();
}

void finishBatchRun(const std::vector<std::shared_ptr<Vigil>>& checked) {
    const RunState& state = runState();
    if (!state.textReportName.empty()) ResultsReport::writeText(checked);
    if (!state.htmlReportName.empty()) ResultsReport::writeHtml(checked);
    reportsDone = true;
    if (state.batchSoundExists) {
        playNotifySound(nullptr);
    } else if (!state.quietMode) {
        showMessageBox("Tervane", "Tervane has finished checking all sites.");
    }
    postWindowEvent(MainWindowEvent::Close, 0, 0);
}

}  // namespace

bool startCheckThread(const std::shared_ptr<Vigil>& vigil) {
    // The thread owns a reference: a Vigil deleted meanwhile lives until its check ends.
    auto run = [vigil] { runCheckInPlace(*vigil); };
    const CheckThreadStarter starter = threadStarter.load();
    return starter ? starter(std::move(run)) : startDetachedThread(std::move(run));
}

void setCheckThreadStarter(CheckThreadStarter starter) {
    threadStarter = starter;
}

Dispatcher& dispatcher() {
    static Dispatcher& one = *new Dispatcher;
    return one;
}

namespace CheckScheduler {

bool isDue(const Vigil& vigil, time_t now, bool checkChanged) {
    if (vigil.active() != 1 || vigil.busyCount() != 0) return false;
    const int status = vigil.status();
    // Stopped by the user: only Check Selected checks it, whatever "check changed" says.
    if (status == VigilStatus::Inactive) return false;
    // Whatever the list shows as "No change" (a page whose structure differs, a
    // moved page followed to its new address) is checked as one: the user has
    // nothing to act on, and it would never be checked again.
    const bool checkedAgain = status == VigilStatus::Unavailable || showsNoChange(status);
    if (!checkChanged && !checkedAgain) return false;
    const time_t next = vigil.nextCheckTime();
    if (next < 1) return false;
    // Further ahead than one interval, the last check cannot have been made by
    // this clock (it was set back, or the list came from another machine): the
    // item would wait for that time, perhaps for ever. It is due now.
    const time_t interval = std::max<time_t>(vigil.interval(), 0);
    return next < now || next - now > interval;
}

bool tick() {
    const Dispatcher::Turn turn(dispatcher(), true);
    if (!turn.owns()) return false;
    const bool checkChanged = ProgramSettings::snapshot().checkChanged;
    for (const std::shared_ptr<Vigil>& vigil : vigilList().snapshot()) {
        if (!vigil || vigil->stopRequested() || !isDue(*vigil, time(nullptr), checkChanged)) continue;
        checkSlots().take(slotPollMs);
        // The wait may have been long: the user or another check may have changed it.
        if (vigil->stopRequested() || !isDue(*vigil, time(nullptr), checkChanged)) {
            checkSlots().giveBack();
            continue;
        }
        startOrGiveBack(vigil);
    }
    return true;
}

}  // namespace CheckScheduler

namespace VigilTasks {

void checkAll() {
    const bool batch = runState().batchMode;
    const Dispatcher::Turn turn(dispatcher(), false);
    const std::vector<std::shared_ptr<Vigil>> vigils = vigilList().snapshot();
    for (const std::shared_ptr<Vigil>& vigil : vigils) {
        if (!vigil || vigil->busyCount() != 0 || !takenByCheckAll(*vigil)) continue;
        checkSlots().take(batch ? batchSlotPollMs : slotPollMs);
        if (!takenByCheckAll(*vigil)) {
            checkSlots().giveBack();
            continue;
        }
        if (batch) {
            runCheckInPlace(*vigil);
        } else {
            startOrGiveBack(vigil);
        }
    }
    if (batch) finishBatchRun(vigils);  // the report names what this pass walked
}

bool batchReportsDone() {
    return reportsDone.load();
}

void checkOne(int identifier) {
    const Dispatcher::Turn turn(dispatcher(), false);
    const std::shared_ptr<Vigil> vigil = vigilList().find(identifier);
    if (vigil && !vigil->stopRequested()) {
        checkSlots().take(slotPollMs);
        startOrGiveBack(vigil);
    }
}

}  // namespace VigilTasks
