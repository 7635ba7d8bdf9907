#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "app/check_scheduler.h"
#include "core/check_slots.h"
#include "core/gopher_vigil.h"
#include "core/web_vigil.h"
#include "net/tcp_client.h"
#include "core/program_settings.h"
#include "core/run_state.h"
#include "platform/qt/window_event.h"
#include "platform/thread.h"
#include "support/loopback_server.h"
#include "support/probe_vigil.h"
#include "support/qt_test_app.h"
#include "support/scratch_dir.h"

using namespace std::chrono_literals;

namespace {

// What the checks of this test program did; each check can be held until released.
struct CheckLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> started;               // identifiers, in start order
    std::vector<std::thread::id> threads;
    int running = 0, mostRunning = 0, ended = 0;
    bool hold = false;
    int releases = 0;

    template <class Pred>
    bool waitFor(Pred pred, std::chrono::milliseconds limit = 5000ms) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, pred);
    }
    void release(int n) {
        std::lock_guard<std::mutex> g(mutex);
        releases += n;
        changed.notify_all();
    }
    void releaseAll() {
        std::lock_guard<std::mutex> g(mutex);
        hold = false;
        changed.notify_all();
    }
};
CheckLog checks;

// Runs the frame's bookkeeping around a check that only logs (and may be held).
class CheckingVigil : public ProbeVigil {
public:
    CheckingVigil(const VigilParams& p, int result) : ProbeVigil(p, "http://probe/"), result_(result) {}
    std::function<void()> duringCheck;

    void check() override {
        enterBusy();
        checkLock().lock(-1);
        storeStatus(VigilStatus::Checking);
        if (duringCheck) duringCheck();
        {
            std::unique_lock<std::mutex> lock(checks.mutex);
            checks.started.push_back(id());
            checks.threads.push_back(std::this_thread::get_id());
            checks.mostRunning = std::max(checks.mostRunning, ++checks.running);
            checks.changed.notify_all();
            checks.changed.wait(lock, [] { return !checks.hold || checks.releases > 0; });
            if (checks.hold) --checks.releases;
            --checks.running;
        }
        checkSlots().giveBack();
        setLastChecked(time(nullptr));
        storeCheckResult(result_);
        storeStatus(result_);
        checkLock().unlock();
        leaveBusy();
        std::lock_guard<std::mutex> g(checks.mutex);
        ++checks.ended;
        checks.changed.notify_all();
    }

private:
    int result_;
};

std::atomic<int> launched{0};
bool countingStarter(std::function<void()> run) {
    ++launched;
    return startDetachedThread(std::move(run));
}
bool failingStarter(std::function<void()>) {
    ++launched;
    return false;
}

struct Shape {
    int status = VigilStatus::NoChange;
    bool due = true;  // last check plus interval in the past
    int active = 1;
    int result = VigilStatus::NoChange;
};

std::shared_ptr<CheckingVigil> addVigil(const std::string& description, const Shape& shape = {}) {
    VigilParams p = probeParams(description, shape.status);
    p.active = shape.active;
    p.interval = 60;
    p.lastChecked = time(nullptr) + (shape.due ? -100 : 0);
    auto v = std::make_shared<CheckingVigil>(p, shape.result);
    appendToVigilList(v);
    return v;
}

int slotsInUse() {
    return checkSlots().inUse();
}

std::vector<int> startedIds() {
    std::lock_guard<std::mutex> g(checks.mutex);
    return checks.started;
}

// Checks on threads of their own start in any order.
std::vector<int> startedSet() {
    std::vector<int> ids = startedIds();
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Waits until every launched check has ended and given its slot back.
void waitForLaunchedChecks() {
    EXPECT_TRUE(checks.waitFor([] { return checks.ended == launched; }));
    EXPECT_EQ(slotsInUse(), 0);
}

void setMaxConn(int n) {
    ProgramSettings::update([n](SettingsValues& s) { s.maxConn = n; });
}

void setCheckChanged(bool on) {
    ProgramSettings::update([on](SettingsValues& s) { s.checkChanged = on; });
}

}  // namespace

TEST(CheckScheduler, DueTest) {
    const time_t now = time(nullptr);
    auto make = [&](int status, time_t lastChecked, int32_t interval, int active = 1) {
        VigilParams p = probeParams("v", status);
        p.lastChecked = lastChecked;
        p.interval = interval;
        p.active = active;
        return std::make_unique<ProbeVigil>(p, "http://v/");
    };
    using CheckScheduler::isDue;
    // Statuses checked again: host unavailable, and all shown as "No change" (a
    // page whose structure differs, a moved one followed to its new address).
    for (int status : {1033, 1035, 1044, 1074, 1076}) {
        EXPECT_TRUE(isDue(*make(status, now - 100, 60), now, false)) << status;
    }
    // The others wait for the user, unless "check changed" is on.
    for (int status : {1032, 1041, 1039, 1075, 1077, 1083, 1549}) {
        EXPECT_FALSE(isDue(*make(status, now - 100, 60), now, false)) << status;
        EXPECT_TRUE(isDue(*make(status, now - 100, 60), now, true)) << status;
    }
    // Stopped watching: never, whatever "check changed" says.
    EXPECT_FALSE(isDue(*make(1042, now - 100, 60), now, false));
    EXPECT_FALSE(isDue(*make(1042, now - 100, 60), now, true));
    // The time: strictly past; 0 (never checked, no interval) is never due.
    EXPECT_FALSE(isDue(*make(1033, now - 60, 60), now, false));
    EXPECT_TRUE(isDue(*make(1033, now - 61, 60), now, false));
    EXPECT_FALSE(isDue(*make(1033, now, 60), now, true));
    EXPECT_FALSE(isDue(*make(1033, 0, 0), now, true));
    EXPECT_TRUE(isDue(*make(1033, 1, 0), now, false));
    // A last check ahead of this clock (set back, or a list from elsewhere) would
    // keep the item waiting: due now. Within one interval from now it waits.
    EXPECT_TRUE(isDue(*make(1033, now + 30 * 86400, 86400), now, false));
    EXPECT_TRUE(isDue(*make(1033, now + 5, 0), now, false));
    EXPECT_FALSE(isDue(*make(1033, now - 10, 60), now, false));
    // Not watched, or a check under way.
    EXPECT_FALSE(isDue(*make(1033, now - 100, 60, 0), now, true));
    auto busy = make(1033, now - 100, 60);
    busy->enterBusy();
    EXPECT_FALSE(isDue(*busy, now, true));
    busy->leaveBusy();
    EXPECT_TRUE(isDue(*busy, now, true));
}

TEST(CheckScheduler, TickStartsTheDueOnes) {
    setCheckThreadStarter(countingStarter);
    const auto same = addVigil("same");
    const auto down = addVigil("down", {VigilStatus::Unavailable});
    const auto shape = addVigil("shape", {VigilStatus::StructureChanged});
    const auto changed = addVigil("changed", {VigilStatus::Changed});
    const auto stopped = addVigil("stopped", {VigilStatus::Inactive});
    addVigil("later", {VigilStatus::NoChange, false});
    addVigil("off", {VigilStatus::NoChange, true, 0});
    const auto closing = addVigil("closing");
    closing->requestStop();  // deleted, or the window is closing
    const auto busy = addVigil("busy");
    busy->enterBusy();

    EXPECT_TRUE(CheckScheduler::tick());
    waitForLaunchedChecks();
    EXPECT_EQ(startedSet(), (std::vector<int>{same->id(), down->id(), shape->id()}));
    for (std::thread::id t : checks.threads) EXPECT_NE(t, std::this_thread::get_id());

    // "check changed" takes any status but a stopped one; the ones just checked
    // are no longer due.
    setCheckChanged(true);
    EXPECT_TRUE(CheckScheduler::tick());
    waitForLaunchedChecks();
    EXPECT_EQ(startedSet(), (std::vector<int>{same->id(), down->id(), shape->id(), changed->id()}));
    EXPECT_EQ(stopped->status(), VigilStatus::Inactive);
    busy->leaveBusy();
}

// A Web server that says nothing holds up its own requests only: the check of
// another Web host, and then a Gopher item, run while it is silent, though a second
// page of the silent server waits for its turn.
TEST(CheckScheduler, ASilentWebServerHoldsUpNoOtherCheck) {
    ScratchDir dir;
    mkdir("cache", 0755);
    setCheckThreadStarter(countingStarter);
    setMaxConn(2);
    ProgramSettings::update([](SettingsValues& s) { s.timeOutMs = 6000; });
    LoopbackServer silent(LoopbackServer::silent());
    LoopbackServer web(LoopbackServer::reply("HTTP/1.0 200 OK\r\n\r\npage"));
    LoopbackServer gopher(LoopbackServer::reply("notes\r\n.\r\n", "\r\n"));
    // The silent server's endpoint is known from an earlier check.
    pooledTcpRequest(webPool(), "127.0.0.1", silent.port(), "GET / HTTP/1.0\r\n\r\n", "cache/first",
                     ReplyEnd::HttpLength, 50);
    auto due = [](uint16_t port) {
        VigilParams p;
        p.host = "127.0.0.1";
        p.port = port;
        p.interval = 60;
        p.lastChecked = time(nullptr) - 100;
        return p;
    };
    auto page = [&](uint16_t port) {
        return std::make_shared<WebVigil>(due(port), SimpleString("/"), ChangeMethod::Content, 0, 0,
                                          std::vector<std::string>{}, std::nullopt);
    };
    const auto quiet = page(silent.port()), alsoQuiet = page(silent.port()), other = page(web.port());
    const auto notes = std::make_shared<GopherVigil>(due(gopher.port()), std::string("/n"));
    for (const std::shared_ptr<Vigil>& v : std::vector<std::shared_ptr<Vigil>>{quiet, alsoQuiet, other, notes})
        appendToVigilList(v);

    const auto start = std::chrono::steady_clock::now();
    std::thread pass([] { CheckScheduler::tick(); });
    while (notes->lastChecked() < time(nullptr) - 50 && std::chrono::steady_clock::now() - start < 8s)
        std::this_thread::sleep_for(10ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);  // well before the 6 s "time out"
    EXPECT_EQ(other->status(), VigilStatus::NoChange);
    EXPECT_EQ(notes->status(), VigilStatus::NoChange);
    pass.join();
    while (slotsInUse() > 0) std::this_thread::sleep_for(10ms);
}

TEST(CheckScheduler, TickDoesNothingWhileAnotherPassDispatches) {
    setCheckThreadStarter(countingStarter);
    addVigil("due");
    std::atomic<bool> release{false}, holding{false};
    std::thread other([&] {
        const Dispatcher::Turn turn(dispatcher(), false);
        holding = true;
        while (!release) std::this_thread::sleep_for(1ms);
    });
    while (!holding) std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(CheckScheduler::tick());
    EXPECT_FALSE(dispatcher().idle());
    release = true;
    other.join();
    EXPECT_TRUE(dispatcher().idle());
    EXPECT_EQ(launched, 0);
    EXPECT_TRUE(CheckScheduler::tick());
    waitForLaunchedChecks();
    EXPECT_EQ(launched, 1);
}

TEST(CheckScheduler, MaxConnLimitsRunningChecks) {
    setMaxConn(5);
    checks.hold = true;
    for (int i = 0; i < 7; ++i) addVigil("v" + std::to_string(i));
    std::thread pass([] { CheckScheduler::tick(); });

    ASSERT_TRUE(checks.waitFor([] { return checks.started.size() == 5; }));
    std::this_thread::sleep_for(800ms);  // more than one slot poll
    EXPECT_EQ(startedIds().size(), 5u);
    EXPECT_EQ(slotsInUse(), 5);

    checks.release(1);
    const auto freed = std::chrono::steady_clock::now();
    ASSERT_TRUE(checks.waitFor([] { return checks.started.size() == 6; }));
    // The pass polls every 500 ms; allow for a slow machine.
    EXPECT_LT(std::chrono::steady_clock::now() - freed, 2000ms);
    EXPECT_EQ(startedIds().size(), 6u);

    checks.releaseAll();
    pass.join();
    EXPECT_TRUE(checks.waitFor([] { return checks.ended == 7; }));
    EXPECT_EQ(checks.mostRunning, 5);
    EXPECT_EQ(slotsInUse(), 0);
}

TEST(CheckScheduler, SlotComesBackWhenNoThreadStarts) {
    setCheckThreadStarter(failingStarter);
    const auto a = addVigil("a");
    addVigil("b");
    EXPECT_TRUE(CheckScheduler::tick());
    EXPECT_EQ(launched, 2);
    EXPECT_EQ(slotsInUse(), 0);
    VigilTasks::checkAll();
    EXPECT_EQ(launched, 4);
    EXPECT_EQ(slotsInUse(), 0);
    VigilTasks::checkOne(a->id());
    EXPECT_EQ(launched, 5);
    EXPECT_EQ(slotsInUse(), 0);
    EXPECT_TRUE(startedIds().empty());
}

TEST(CheckAll, TakesEveryIdleWatchedVigilThatIsNotStoppedOrUnresolved) {
    setCheckThreadStarter(countingStarter);
    const auto later = addVigil("later", {VigilStatus::NoChange, false});
    const auto changed = addVigil("changed", {VigilStatus::Changed, false});
    addVigil("stopped", {VigilStatus::Inactive});
    addVigil("unresolved", {VigilStatus::HostNotResolved});
    addVigil("off", {VigilStatus::NoChange, true, 0});
    const auto error = addVigil("error", {VigilStatus::ServerError, false});
    const auto busy = addVigil("busy");
    busy->enterBusy();
    addVigil("closing")->requestStop();

    VigilTasks::checkAll();
    waitForLaunchedChecks();
    EXPECT_EQ(startedSet(), (std::vector<int>{later->id(), changed->id(), error->id()}));
    busy->leaveBusy();
}

TEST(CheckOne, ChecksTheVigilWhateverItsState) {
    setCheckThreadStarter(countingStarter);
    const auto stopped = addVigil("stopped", {VigilStatus::Inactive, false, 0});
    const auto closing = addVigil("closing");
    closing->requestStop();

    VigilTasks::checkOne(stopped->id());
    VigilTasks::checkOne(closing->id());
    VigilTasks::checkOne(stopped->id() + 1000);  // no such Vigil
    waitForLaunchedChecks();
    EXPECT_EQ(startedIds(), std::vector<int>{stopped->id()});
    EXPECT_EQ(stopped->status(), VigilStatus::NoChange);
}

TEST(CheckOne, ARemovedVigilLivesUntilItsCheckEnds) {
    checks.hold = true;
    std::weak_ptr<Vigil> watch;
    int id = 0;
    {
        const auto v = addVigil("doomed");
        watch = v;
        id = v->id();
    }
    VigilTasks::checkOne(id);
    ASSERT_TRUE(checks.waitFor([] { return checks.started.size() == 1; }));
    vigilList().clear();
    EXPECT_FALSE(watch.expired());
    checks.releaseAll();
    ASSERT_TRUE(checks.waitFor([] { return checks.ended == 1; }));
    for (int i = 0; i < 500 && !watch.expired(); ++i) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(watch.expired());
}

TEST(CheckAll, WalksACopyOfTheListWhileItChanges) {
    setMaxConn(1);
    const auto first = addVigil("first");
    const auto second = addVigil("second");
    std::weak_ptr<Vigil> third = addVigil("third");
    // The first check deletes the third Vigil and adds a new one, as the user would.
    first->duringCheck = [third] {
        VigilList::Hold hold(vigilList());
        if (auto doomed = third.lock()) doomed->requestStop();
        hold.vigils().erase(hold.vigils().begin() + 2);
        for (int i = 0; i < 100; ++i) hold.vigils().push_back(std::make_shared<ProbeVigil>(
                                           probeParams("new", VigilStatus::NoChange), "http://new/"));
    };
    VigilTasks::checkAll();
    EXPECT_TRUE(checks.waitFor([] { return checks.ended == 2; }));
    EXPECT_EQ(startedIds(), (std::vector<int>{first->id(), second->id()}));
    EXPECT_EQ(slotsInUse(), 0);
}

namespace {

class CloseRecorder : public WindowEventReceiver {
public:
    void handleWindowEvent(int id, long p1, long p2) override { events.push_back({id, p1, p2}); }
    std::vector<std::vector<long>> events;
};

// A batch run over a changed, an unchanged and a stopped Vigil, with a trace.
class BatchRun : public ::testing::Test {
protected:
    void SetUp() override {
        testApp();
        setenv("TERVANE_TRACE", (dir_.path() / "trace").c_str(), 1);
        setCheckThreadStarter(countingStarter);
        setMaxConn(1);
        RunState& state = runState();
        state.batchMode = true;
        changed_ = addVigil("Changed site", {VigilStatus::NoChange, false, 1, VigilStatus::Changed});
        addVigil("Stopped site", {VigilStatus::Inactive});
        same_ = addVigil("Same site", {VigilStatus::Changed, false, 1, VigilStatus::NoChange});
    }
    void TearDown() override { unsetenv("TERVANE_TRACE"); }

    // Runs the batch check-all and collects what reached the window.
    std::string run() {
        VigilTasks::checkAll();
        for (int i = 0; i < 100 && window_.events.empty(); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        EXPECT_EQ(window_.events, (std::vector<std::vector<long>>{{16, 0, 0}}));
        EXPECT_EQ(launched, 0);  // in place, not on threads
        EXPECT_EQ(checks.mostRunning, 1);
        for (std::thread::id t : checks.threads) EXPECT_EQ(t, std::this_thread::get_id());
        EXPECT_EQ(startedIds(), (std::vector<int>{changed_->id(), same_->id()}));
        return ScratchDir::read("trace");
    }

    ScratchDir dir_;
    CloseRecorder window_;
    std::shared_ptr<CheckingVigil> changed_, same_;
};

}  // namespace

TEST_F(BatchRun, ReportsThenTheClosingMessage) {
    runState().htmlReportName = "results.html";
    runState().textReportName = "results.txt";
    EXPECT_EQ(run(),
              "text report: results.txt\n"
              "html report: results.html\n"
              "message box: Tervane: Tervane has finished checking all sites.\n");
    EXPECT_NE(ScratchDir::read("results.txt").find("changed:\n---------------------------------\n"
                                                   "  Changed site\n\n"),
              std::string::npos);
    EXPECT_NE(ScratchDir::read("results.html").find("<A HREF=\"http://probe/\">Same site</A><BR></BODY>"),
              std::string::npos);
}

TEST_F(BatchRun, TheSoundReplacesTheMessage) {
    mkdir("bin", 0755);
    ScratchDir::write("bin/aplay", "#!/bin/sh\nexit 0\n");
    chmod("bin/aplay", 0755);
    ScratchDir::write("done.wav", "RIFF");
    setenv("PATH", (dir_.path() / "bin").c_str(), 1);
    runState().batchSoundName = "done.wav";
    runState().batchSoundExists = true;
    EXPECT_EQ(run(), "sound: done.wav (played by aplay)\n");
}

TEST_F(BatchRun, QuietShowsNothingAndStillCloses) {
    runState().quietMode = true;
    runState().batchSoundName = "missing.wav";  // named but not there
    EXPECT_EQ(run(), "");
}
