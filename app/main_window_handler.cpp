#include "app/main_window_handler.h"

#include <QTreeWidget>
#include <algorithm>
#include <atomic>

#include "app/browser_launch.h"
#include "app/main_window.h"
#include "app/main_run.h"
#include "app/main_window_event.h"
#include "app/notifications.h"
#include "app/status_texts.h"
#include "app/vigil_cnr_object.h"
#include "app/vigil_tasks.h"
#include "app/window_services.h"
#include "core/os_wrappers.h"
#include "core/program_settings.h"
#include "core/run_state.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "core/web_vigil.h"
#include "platform/message_box.h"
#include "platform/thread.h"

namespace {

constexpr int kTicksBetweenSaves = 6;  // two minutes

// Check results are gathered: at most one save in this time while they arrive.
// A kill in between may report a change twice, never miss one (a replaced copy
// goes only once a saved list no longer names it).
constexpr int kResultSaveGapMs = 5000;

// A check that posted a moved page releases the Vigil's lock right after; a
// longer wait means another check has begun, which reports the page again.
constexpr int kMovedPageLockWaitMs = 1000;

// Set while a SaveVigils event waits in the queue: one save serves every
// change made before it runs.
std::atomic<bool> savePosted{false};

// Statuses whose event only refreshes the row.
bool refreshesOnly(int id) {
    using namespace VigilStatus;
    switch (id) {
        case NoChange: case Checking: case Unavailable: case UnknownError: case HostNotResolved:
        case Inactive: case StructureChanged: case NotFound: case BadRequest: case ProxyAuthRequired:
        case NotAuthorized: case ProxyError: case ServerError:
            return true;
        default:
            return false;
    }
}

}  // namespace

StartupHooks& startupHooks() {
    static StartupHooks hooks;
    return hooks;
}

void vigilStatusCallback(int status, int identifier) {
    postWindowEvent(status, identifier, 0);
}

void announceVigilAdded(long position) {
    postWindowEvent(MainWindowEvent::VigilAdded, position, 0);
}

void requestVigilSave() {
    if (!savePosted.exchange(true) && !postWindowEvent(MainWindowEvent::SaveVigils)) savePosted = false;
}

MainWindowHandler::MainWindowHandler() {
    resultSave_.setSingleShot(true);
    // A coarse timer may fire up to 5% early: the gap between saves is a promise.
    resultSave_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&resultSave_, &QTimer::timeout, this, [this] {
        if (resultsUnsaved_ && window_) saveNow();
    });
}

void MainWindowHandler::saveNow() {
    resultsUnsaved_ = false;
    lastSave_.start();
    saveLoadedVigils(*window_);
}

void MainWindowHandler::resultArrived() {
    resultsUnsaved_ = true;
    if (resultSave_.isActive()) return;
    const qint64 since = lastSave_.isValid() ? lastSave_.elapsed() : kResultSaveGapMs;
    resultSave_.start(static_cast<int>(std::max<qint64>(0, kResultSaveGapMs - since)));
}

MainWindowHandler& MainWindowHandler::handleEventsFor(MainWindow* window) {
    window_ = window;
    return *this;
}

MainWindowHandler& MainWindowHandler::stopHandlingEventsFor(MainWindow* window) {
    if (window_ == window) window_ = nullptr;
    return *this;
}

void MainWindowHandler::handleWindowEvent(int id, long param1, long param2) {
    dispatchHandlerEvent(id, param1, param2);
}

bool MainWindowHandler::dispatchHandlerEvent(int id, long param1, long /*param2*/) {
    if (!window_) return false;
    switch (id) {
        case MainWindowEvent::Close:
            window_->closeWithoutSaving();
            return true;
        case MainWindowEvent::TimerTick:
            timerTick();
            return true;
        case MainWindowEvent::LoadDone:
            window_->fillContainer();
            reportLoadProblem();
            return true;
        case MainWindowEvent::StartupComplete:
            startupComplete();
            return true;
        case MainWindowEvent::StatusLineText:
            if (param1 >= 0 && param1 < kStatusTextCount)
                window_->setStatusText(QString::fromLatin1(statusTexts[param1]));
            return true;
        case MainWindowEvent::VigilAdded:
            addRow(param1);
            return true;
        case MainWindowEvent::SaveVigils:
            savePosted = false;
            saveNow();
            return true;
        case MainWindowEvent::ReleaseVigilLock:
            // The window thread took this lock before it started the task.
            if (std::shared_ptr<Vigil> vigil = VigilTasks::takeLockToRelease(static_cast<int>(param1)))
                vigil->checkLock().unlock();
            return true;
        case MainWindowEvent::View:
            viewCursoredRow();
            return true;
        case VigilStatus::MovedPermanently:
        case VigilStatus::MovedTemporarily:
            movedPage(static_cast<int>(param1));
            return false;
        default:
            break;
    }
    if (id == VigilStatus::Changed || id == VigilStatus::FileFound || refreshesOnly(id) ||
        Notifications::isFtpFailure(id)) {
        // Reset and View ask for their own save; this one gathers check results.
        if (id != VigilStatus::Checking) resultArrived();
        statusChanged(id, static_cast<int>(param1));
        return true;
    }
    return false;
}

void MainWindowHandler::reportLoadProblem() {
    const bool batch = runState().batchMode;
    if (const std::optional<std::string> kept =
            VigilStore::keptLinesNote(window_->dataFileName(), vigilList().keptLines())) {
        if (batch) reportRunNote(*kept);
        else showMessageBox("Tervane", *kept);
    }
    std::optional<std::string> problem = window_->loadProblem();
    if (!problem) return;
    const bool readOnly = VigilStore::readOnly(window_->dataFileName(), vigilList());
    // The file may be no Vigil list at all: nothing is checked against it.
    if (readOnly) *problem += " Nothing is checked.";
    if (batch) {
        reportRunFailure(*problem);
        return;
    }
    showMessageBox("Tervane", *problem);
    if (readOnly) window_->setWindowTitle(QStringLiteral("Tervane - read-only list"));
}

void MainWindowHandler::startupComplete() {
    // Checks of a list that cannot be saved would report the same changes at
    // every run; reportLoadProblem has said why none run.
    const bool readOnly = VigilStore::readOnly(window_->dataFileName(), vigilList());
    if (runState().batchMode) {
        if (readOnly) {
            postWindowEvent(MainWindowEvent::Close, 0, 0);
            return;
        }
        // One check at a time, run in place by check-all, which ends the run.
        ProgramSettings::update([](SettingsValues& s) { s.maxConn = 1; });
        startDetachedThread([] { windowServices().checkAll(); });
        return;
    }
    const StartupHooks& hooks = startupHooks();
    if (hooks.enableCommands) hooks.enableCommands();
    window_->setStatusText(QString::fromLatin1(statusTexts[StatusTextIndex::Blank]));
    if (readOnly) return;  // and a list that could not be read is no first run
    window_->startCheckTimer();
    if (ProgramSettings::snapshot().startup) startDetachedThread([] { windowServices().checkAll(); });
    if (vigilList().snapshot().empty() && vigilList().keptLines().empty() && !window_->loadProblem() &&
        hooks.welcome)
        hooks.welcome();
}

void MainWindowHandler::timerTick() {
    if (++ticksSinceSave_ >= kTicksBetweenSaves) {
        resultsUnsaved_ = false;
        lastSave_.start();
        window_->noteSave(windowServices().saveVigils(window_->dataFileName()));
        if (!window_->settingsFileName().empty()) ProgramSettings::save(window_->settingsFileName());
        ticksSinceSave_ = 0;
    }
    startDetachedThread([] { windowServices().schedulerPass(); });
}

void MainWindowHandler::statusChanged(int status, int identifier) {
    std::shared_ptr<Vigil> vigil = vigilList().find(identifier);
    if (!vigil) return;  // deleted after the event was posted
    window_->refreshVigilRecord(identifier);
    if (status == VigilStatus::Changed || status == VigilStatus::FileFound) {
        Notifications::run(vigil, status);
    } else if (Notifications::isFtpFailure(status)) {
        Notifications::showFtpError(*vigil, status, window_);
    }
}

void MainWindowHandler::movedPage(int identifier) {
    std::shared_ptr<Vigil> vigil = vigilList().find(identifier);
    if (!vigil) return;
    OwnedMutex& lock = vigil->checkLock();
    if (lock.lock(kMovedPageLockWaitMs) != 0) return;
    if (auto* web = dynamic_cast<WebVigil*>(vigil.get())) web->applyRedirect();
    lock.unlock();
    resultArrived();
    window_->refreshVigilRecord(identifier);
}

void MainWindowHandler::addRow(long position) {
    requestVigilSave();  // a new or an imported Vigil
    const std::shared_ptr<Vigil> added = vigilList().at(position);
    if (!added) return;
    if (!window_->rowOf(added->id())) {
        window_->addVigilObject(added->id());
        return;
    }
    // A sort or a delete moved the list after the position was posted: the new
    // Vigil is the one without a row.
    for (const std::shared_ptr<Vigil>& vigil : vigilList().snapshot())
        if (vigil && !window_->rowOf(vigil->id())) window_->addVigilObject(vigil->id());
}

void MainWindowHandler::viewCursoredRow() {
    QTreeWidget* container = window_->container();
    if (container->selectedItems().size() > 1) {
        playTone(50, 50);
        return;
    }
    auto* row = static_cast<VigilCnrObject*>(container->currentItem());
    if (!row) return;
    const std::shared_ptr<Vigil> vigil = row->vigil();
    viewVigil(*vigil);
    requestVigilSave();
}
