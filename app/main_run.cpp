#include "app/main_run.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QMessageBox>
#include <QRect>
#include <QScreen>
#include <QSocketNotifier>
#include <algorithm>
#include <optional>
#include <thread>
#include <unistd.h>

#include "app/check_scheduler.h"
#include "app/command_wiring.h"
#include "app/main_window_event.h"
#include "app/window_services.h"
#include "core/cache_files.h"
#include "core/check_slots.h"
#include "core/program_settings.h"
#include "core/run_state.h"
#include "core/text_utils.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "dialogs/stored_placement.h"
#include "platform/message_box.h"
#include "platform/signals.h"
#include "platform/thread.h"
#include "platform/qt/plain_message_box.h"
#include "platform/trace.h"

std::atomic<int> listLoaded{0};

namespace {

const char* const kSettingsFile = "VGW.INI";
const char* const kDataFile = "vigil.dat";
const char* const kClientFile = "vigil.cli";

constexpr int kShutdownGraceMs = 5000;

// A file Tervane cannot write: a box on the window thread, once the caller
// (a check, perhaps) has gone on, and only while the window is up.
void showLocalFailure(const std::string& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app, [text] { if (mainWindow && mainWindow->isVisible()) showMessageBox("Tervane", text); },
        Qt::QueuedConnection);
}

// Whether the message loop ended on a close signal; a signal after that one
// hurries the end of the run.
std::atomic<bool> closedBySignal{false};

bool hurriedBySignal() {
    return closeSignalCount() > (closedBySignal.load() ? 1 : 0);
}

// Copies that no Vigil names: left by a run killed before the save that would
// have named or dropped them. Only a list read whole tells them apart, and only
// the folder's sole user may delete them; "/debug" keeps every copy.
void removeUnnamedCopies(const VigilStore::LoadResult& loaded) {
    const RunState& state = runState();
    if (!state.holdsDataFolder || state.keepOldCacheFiles || loaded.problem) return;
    const VigilList::Vigils vigils = vigilList().snapshot();
    const VigilList::KeptLines kept = vigilList().keptLines();
    // A missing or emptied list says nothing of the copies: they may be all the
    // user has left of it.
    if (vigils.empty() && kept.empty()) return;
    std::vector<std::string> named = loaded.strayCopyNames;
    for (const std::shared_ptr<Vigil>& vigil : vigils)
        if (vigil) named.push_back(vigil->cacheFileName());
    // A line kept unread may name a copy too, in any of its fields.
    for (const VigilList::KeptLine& line : kept)
        if (!line.text.empty())
            for (const std::string& field : splitString(std::string_view(line.text).substr(1), line.text[0], false))
                named.push_back(field);
    CacheFiles::removeAllExcept(named);
}

std::unique_ptr<MainWindow> createWindow(bool hadProfile) {
    if (runState().batchMode) {
        // Never shown: its size only tells the two starts apart.
        const int side = hadProfile ? 8 : 6;
        return std::make_unique<MainWindow>(QRect(0, 0, side, side));
    }
    const WindowPlacement placement = ProgramSettings::snapshot().mainWindow;
    if (hadProfile && placement.hasPosition && placement.hasSize && placement.width > 0 && placement.height > 0) {
        auto window = std::make_unique<MainWindow>(QRect(placement.x, placement.y, placement.width, placement.height));
        pullOntoDesktop(*window);
        return window;
    }
    return std::make_unique<MainWindow>();
}

// Whether the load, every check pass and every check have ended.
bool workersDone() {
    if (!listLoaded.load()) return false;
    if (checkSlots().inUse() > 0) return false;
    for (const std::shared_ptr<Vigil>& vigil : vigilList().snapshot())
        if (vigil && vigil->busyCount() > 0) return false;
    return dispatcher().idle();
}

}  // namespace

MainWindowParts openMainWindow() {
    MainWindowParts parts;
    // Only the main window ends the run (its close quits the loop). A box closed
    // while it is hidden, as in a batch run, would otherwise be the last window.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // All monitors: where the desktop ends, for places stored on any of them.
        const QRect desktop = screen->virtualGeometry();
        ProgramSettings::update([&desktop](SettingsValues& s) {
            s.desktopWidth = desktop.right() + 1;
            s.desktopHeight = desktop.bottom() + 1;
        });
    }
    const bool hadProfile = ProgramSettings::profileExists(kSettingsFile);
    if (hadProfile) ProgramSettings::load(kSettingsFile);
    else ProgramSettings::applyFirstRunClients();
    parts.window = createWindow(hadProfile);
    ProgramSettings::loadClientList(kClientFile);
    if (runState().batchMode) parts.window->hide();
    else parts.window->show();

    parts.handler = std::make_unique<MainWindowHandler>();
    parts.handler->handleEventsFor(parts.window.get());
    parts.window->setSettingsFileName(kSettingsFile);
    parts.window->setDataFileName(kDataFile);
    setVigilStatusCallback(vigilStatusCallback);
    if (!runState().batchMode) setLocalFailureListener(showLocalFailure);
    installCommandServices();
    return parts;
}

void startLoadThread(MainWindow& window) {
    const std::string fileName = window.dataFileName();
    const QPointer<MainWindow> target(&window);
    auto load = [fileName, target] {
        CacheFiles::setListFile(fileName);
        const VigilStore::LoadResult loaded = windowServices().loadVigils(fileName);
        // Handed over on the window thread, ahead of the event below; the window
        // may be gone by then.
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [target, problem = loaded.problem] { if (target) target->setLoadProblem(problem); },
                Qt::QueuedConnection);
        removeUnnamedCopies(loaded);  // before any check makes a copy
        listLoaded = 1;
        postWindowEvent(MainWindowEvent::LoadDone);
    };
    // Without a thread the list is read here: the window must still fill and start.
    if (!startDetachedThread(load)) load();
}

void closeOnSignals(MainWindow& window) {
    const int requests = catchCloseSignals();
    if (requests < 0) return;
    auto* notifier = new QSocketNotifier(requests, QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [requests, &window] {
        char pending[16];
        while (::read(requests, pending, sizeof pending) > 0) {
        }
        closedBySignal = true;
        // A batch run cut short has not checked everything: cron must learn of it.
        if (runState().batchMode) reportRunFailure("ended by a signal before the run was over.");
        window.close();
    });
}

std::chrono::milliseconds shutdownWaitLimit() {
    // Widened first: a "time out" near the top of its range must not wrap negative.
    const long long timeOut = std::max(ProgramSettings::timeOutMs(), 0);
    return std::chrono::milliseconds(timeOut + kShutdownGraceMs);
}

bool saveLoadedVigils(MainWindow& window) {
    if (!listLoaded.load()) return true;
    // Until its reports are out, a batch run leaves vigil.dat and the copies it
    // names as they were: the next run then finds and reports the same changes.
    if (runState().batchMode && !VigilTasks::batchReportsDone()) return true;
    const VigilStore::SaveResult saved = windowServices().saveVigils(window.dataFileName());
    window.noteSave(saved);
    return saved.status == 0;
}

bool saveAtClose(MainWindow& window) {
    // Changes are saved as they are made: after a save that worked, the end of the
    // run saves what checks add. After one that failed, the list is tried again
    // while the user can still keep the window open and make room for it.
    while (window.saveProblem() && !saveLoadedVigils(window)) {
        const std::optional<std::string> problem = window.saveProblem();
        if (!problem) break;
        const std::string text = *problem + " The list as it is on screen is lost when Tervane ends.";
        traceLine("message box: Tervane: " + text);
        PlainMessageBox box(QMessageBox::Warning, QStringLiteral("Tervane"), QString::fromStdString(text),
                        QMessageBox::Retry | QMessageBox::Cancel | QMessageBox::Discard, &window);
        box.setDefaultButton(QMessageBox::Retry);
        box.setEscapeButton(QMessageBox::Cancel);
        const int answer = box.exec();
        if (answer == QMessageBox::Discard) break;
        if (answer != QMessageBox::Retry) return false;
    }
    return true;
}

bool finishRun(MainWindow& window, std::chrono::milliseconds waitLimit) {
    for (const std::shared_ptr<Vigil>& vigil : vigilList().snapshot())
        if (vigil) vigil->requestStop();

    bool done = workersDone();
    // Saved before the wait too: what the user did must be on disk while
    // running checks run out, and a kill during the wait loses nothing of it.
    if (!done) saveLoadedVigils(window);
    const auto deadline = std::chrono::steady_clock::now() + waitLimit;
    while (!done && !hurriedBySignal() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        done = workersDone();
    }
    if (!done && hurriedBySignal() && runState().batchMode && !VigilTasks::batchReportsDone())
        reportRunFailure("ended at once by a second signal; vigil.dat is left as it was for the next run.");
    saveLoadedVigils(window);
    return done;
}

void releaseVigils() {
    vigilList().clear();
}
