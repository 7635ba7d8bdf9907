#include "app/main_window_handler.h"

#include "app/main_window.h"
#include "app/main_window_event.h"
#include "app/status_texts.h"
#include "app/window_services.h"
#include "core/locks.h"
#include "core/program_settings.h"
#include "core/run_state.h"
#include "core/vigil.h"
#include "platform/thread.h"

namespace {

// Status codes that arrive as events run from "Changed!" to the last FTP reply.
constexpr int kFirstStatusEvent = VigilStatus::Changed;
constexpr int kLastStatusEvent = VigilStatus::FtpReplyBase + 599;

constexpr int kTicksBetweenSaves = 6;  // two minutes

bool isStatusEvent(int id) {
    return id >= kFirstStatusEvent && id <= kLastStatusEvent;
}

}  // namespace

void vigilStatusCallback(void*, int status, int identifier) {
    postWindowEvent(status, identifier, 0);
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
            return true;
        case MainWindowEvent::StartupComplete:
            startupComplete();
            return true;
        case MainWindowEvent::StatusLineText:
            if (param1 >= 0 && param1 < kStatusTextCount)
                window_->setStatusText(QString::fromLatin1(statusTexts[param1]));
            return true;
        case MainWindowEvent::VigilAdded: {
            std::shared_ptr<Vigil> added;
            lockMutex(vigilListLock, -1);
            if (param1 >= 0 && static_cast<size_t>(param1) < vigilList.size()) added = vigilList[param1];
            unlockMutex(vigilListLock);
            if (added) window_->addVigilObject(added->id());
            return true;
        }
        case MainWindowEvent::ReleaseVigilLock:
            // The window thread took this lock before it started the task.
            if (std::shared_ptr<Vigil> vigil = findVigil(static_cast<int>(param1))) vigil->checkLock().unlock();
            return true;
        default:
            break;
    }
    if (isStatusEvent(id)) {
        statusChanged(id, static_cast<int>(param1));
        return true;
    }
    return false;
}

void MainWindowHandler::startupComplete() {
    if (runState().batchMode) {
        // One check at a time, run in place by check-all, which ends the run.
        ProgramSettings::update([](SettingsValues& s) { s.maxConn = 1; });
        startDetachedThread([] { windowServices().checkAll(); });
        return;
    }
    // The menus and tool-bar buttons are enabled here once the window has them.
    window_->setStatusText(QString::fromLatin1(statusTexts[StatusTextIndex::Blank]));
    window_->startCheckTimer();
    if (ProgramSettings::snapshot().startup) startDetachedThread([] { windowServices().checkAll(); });
    // An empty list is the place to offer the Welcome window and the import.
}

void MainWindowHandler::timerTick() {
    if (++ticksSinceSave_ >= kTicksBetweenSaves) {
        windowServices().saveVigils(window_->dataFileName());
        if (!window_->settingsFileName().empty()) ProgramSettings::save(window_->settingsFileName());
        ticksSinceSave_ = 0;
    }
    startDetachedThread([] { windowServices().schedulerPass(); });
}

void MainWindowHandler::statusChanged(int status, int identifier) {
    std::shared_ptr<Vigil> vigil = findVigil(identifier);
    if (!vigil) return;  // deleted after the event was posted
    window_->refreshVigilRecord(identifier);
    // What follows a shown status goes here: the notifications of "Changed!" and
    // "This file has been found", the moved page's new location (1074, 1076)
    // and the FTP error box (1125 to 1723).
    (void)status;
}
