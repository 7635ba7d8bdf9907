#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <string>
#include <thread>

#include "app/command_ids.h"
#include "app/main_run.h"
#include "app/main_window_event.h"
#include "app/vigil_cnr_object.h"
#include "app/vigil_tasks.h"
#include "app/window_services.h"
#include "core/program_settings.h"
#include "core/run_state.h"
#include "core/vigil_list.h"
#include "dialogs/stored_placement.h"
#include "support/listed_vigil.h"
#include "support/loopback_server.h"
#include "support/qt_test_app.h"
#include "support/scratch_dir.h"
#include "support/tervane_run.h"
#include "support/window_test_helpers.h"

namespace {

std::vector<std::string>& savedFiles() {
    static std::vector<std::string> saved;
    return saved;
}

void recordSaves() {
    windowServices().saveVigils = [](const std::string& name) {
        savedFiles().push_back(name);
        return VigilStore::SaveResult{};
    };
}

// Whether the process has its SIGTERM handler in place: by then it holds its
// data folder and a signal closes its window.
bool catchesTermination(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// The built program (offscreen) in folder, up and holding it. Its standard
// output and error go to the files given, or nowhere.
bool startWindow(ChildProcess& child, const TempDir& folder, std::vector<std::string> switches = {},
                 const std::string& outFile = "", const std::string& errFile = "/dev/null") {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ChildOptions options;
    options.workDir = folder.path();
    options.outFile = outFile;
    options.errFile = errFile;
    switches.insert(switches.begin(), TERVANE_BINARY);
    if (!child.start(switches, options)) return false;
    for (int i = 0; i < 1000 && child.running(); ++i) {
        if (catchesTermination(child.pid())) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void signalChild(ChildProcess& child, int signal) {
    if (child.pid() > 0) ::kill(child.pid(), signal);
}

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Every entry of the folder with its content.
std::map<std::string, std::string> folderState(const TempDir& folder) {
    std::map<std::string, std::string> state;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path()))
        state[entry.path().string()] = entry.is_directory() ? "<folder>" : readWholeFile(entry.path().string());
    return state;
}

std::string gopherRecord(const std::string& description) {
    return "|gopher|" + description + "|0|127.0.0.1|" + std::to_string(findFreePort()) + "|/n|0|0|0|1|9||";
}

void writeFolder(const TempDir& folder, const std::string& settings, const std::string& record) {
    writeWholeFile(folder.file("VGW.INI"), "[Vigil]\r\n" + settings);
    writeWholeFile(folder.file("vigil.dat"), "1\n" + record + "\n");
}

template <class Done>
bool waitUntil(Done done, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace

TEST(MainRun, FirstStartWithoutProfileTakesTheFirstRunClients) {
    ScratchDir dir;
    testApp();
    MainWindowParts parts = openMainWindow();
    const SettingsValues s = ProgramSettings::snapshot();
    EXPECT_TRUE(s.hasWebClient && s.hasFtpClient && s.hasGopherClient);
    EXPECT_FALSE(s.webClient.empty());
    EXPECT_EQ(s.webParams, "%URL");
    EXPECT_TRUE(parts.window->isVisible());
    EXPECT_EQ(parts.window->settingsFileName(), "VGW.INI");
    EXPECT_EQ(parts.window->dataFileName(), "vigil.dat");
    EXPECT_EQ(mainWindow, parts.window.get());

    // The status callback is in place for the Vigils the load will make.
    bool refreshed = false;
    auto vigil = addTestVigil(VigilKind::Web, "Fresh");
    parts.window->fillContainer();
    vigil->storeStatus(VigilStatus::Unavailable);
    vigil->reportStatus(VigilStatus::Unavailable);
    for (int i = 0; i < 500 && !refreshed; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        refreshed = parts.window->rowOf(vigil->id())->text(1) == "Host unavailable";
    }
    EXPECT_TRUE(refreshed);
}

TEST(MainRun, StartWithProfileLoadsItAndPlacesTheWindow) {
    // Two monitors side by side (in a process of its own, as under CTest).
    TempDir screens("tervane-screens");
    writeWholeFile(screens.file("two.json"), R"({"screens": [{"name": "a", "x": 0, "y": 0, "width": 1000, "height": 700},
                                             {"name": "b", "x": 1000, "y": 0, "width": 1000, "height": 700}]})");
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens.file("two.json")).c_str(), 1);
    ScratchDir dir;
    ScratchDir::write("vgw.ini", "[Vigil]\r\nmax conn=3\r\nmain x=40\r\nmain y=30\r\n"
                                 "main width=500\r\nmain height=260\r\nftp client=ncftp\r\nweb client=lynx\r\n");
    ScratchDir::write("vigil.cli", "lynx.exe=-dump %URL\r\n");
    testApp();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);  // programs started later read no file gone by then
    MainWindowParts parts = openMainWindow();
    EXPECT_EQ(ProgramSettings::maxConn(), 3);
    EXPECT_EQ(ProgramSettings::snapshot().webClient, "lynx");
    ASSERT_EQ(ProgramSettings::clientParams().size(), 1u);
    EXPECT_EQ(parts.window->pos(), QPoint(40, 30));
    EXPECT_EQ(parts.window->size(), QSize(500, 260));

    // The README's sample profile, written by hand, keeps the columns and the tool bar.
    const std::string readme = readWholeFile(TERVANE_SOURCE_DIR "/README.md");
    const size_t sample = readme.find("    [Vigil]\n");
    ASSERT_NE(sample, std::string::npos);
    ScratchDir::write("vgw.ini", readme.substr(sample, readme.find("\n\n", sample) - sample));
    MainWindowParts sampled = openMainWindow();
    EXPECT_EQ(ProgramSettings::snapshot().userEmail, "me@example.org");
    for (int c = VigilCnrObject::StatusColumn; c < VigilCnrObject::ColumnCount; ++c)
        EXPECT_FALSE(sampled.window->container()->isColumnHidden(c)) << c;
    EXPECT_TRUE(sampled.window->toolBar()->isVisible());

    if (QGuiApplication::screens().size() < 2) GTEST_SKIP() << "the application was made before";
    EXPECT_EQ(ProgramSettings::snapshot().desktopWidth, 2000);
    // A place over both monitors stays; only what lies outside the desktop is pulled in.
    for (const auto& [stored, placed] : {std::pair{QRect(600, 30, 900, 260), QRect(600, 30, 900, 260)},
                                         std::pair{QRect(1800, -40, 900, 260), QRect(1100, 0, 900, 260)}}) {
        parts.window->move(stored.topLeft());
        parts.window->resize(stored.size());
        pullOntoDesktop(*parts.window);
        EXPECT_EQ(QRect(parts.window->pos(), parts.window->size()), placed);
    }
}

TEST(MainRun, BatchWindowIsNeverShown) {
    ScratchDir dir;
    runState().batchMode = true;
    testApp();
    MainWindowParts parts = openMainWindow();
    EXPECT_FALSE(parts.window->isVisible());
}

TEST(MainRun, ClosingAnotherWindowDoesNotEndABatchRun) {
    ScratchDir dir;
    runState().batchMode = true;
    testApp();
    MainWindowParts parts = openMainWindow();
    // A box such as a mail error's, shown while the main window stays hidden.
    QTimer::singleShot(0, [] {
        auto* box = new QWidget;
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
        QTimer::singleShot(20, box, &QWidget::close);
    });
    bool ranOn = false;
    QTimer::singleShot(300, [&ranOn] {
        ranOn = true;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_TRUE(ranOn);
}

TEST(MainRun, LoadThreadFillsTheWindowAndTheRunSavesAtTheEnd) {
    ScratchDir dir;
    testApp();
    recordSaves();
    static std::string loadedFrom;
    windowServices().loadVigils = [](const std::string& name) {
        loadedFrom = name;
        addTestVigil(VigilKind::Web, "One");
        addTestVigil(VigilKind::Gopher, "Two");
        return VigilStore::LoadResult{};
    };
    MainWindowParts parts = openMainWindow();
    startLoadThread(*parts.window);
    for (int i = 0; i < 2000 && !parts.window->checkTimerRunning(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(loadedFrom, "vigil.dat");
    EXPECT_EQ(listLoaded.load(), 1);
    EXPECT_EQ(parts.window->container()->topLevelItemCount(), 2);
    EXPECT_TRUE(parts.window->checkTimerRunning());

    EXPECT_TRUE(finishRun(*parts.window, std::chrono::seconds(5)));
    EXPECT_EQ(savedFiles(), std::vector<std::string>{"vigil.dat"});
    for (const auto& vigil : vigilList().snapshot()) EXPECT_TRUE(vigil->stopRequested());
}

TEST(MainRun, EndOfRunWaitsForRunningChecksAndKeepsAnUnfinishedLoadUnsaved) {
    ScratchDir dir;
    testApp();
    recordSaves();
    MainWindow window;
    window.setDataFileName("vigil.dat");

    // The load has not finished: nothing is saved over the file.
    EXPECT_FALSE(finishRun(window, std::chrono::milliseconds(50)));
    EXPECT_TRUE(savedFiles().empty());

    listLoaded = 1;
    auto busy = addTestVigil(VigilKind::Ftp, "Busy");
    busy->enterBusy();
    EXPECT_FALSE(finishRun(window, std::chrono::milliseconds(100)));
    EXPECT_EQ(savedFiles().size(), 2u);  // before the wait and after it

    // A check that ends within the wait lets the run tear down.
    std::thread check([&busy] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        busy->leaveBusy();
    });
    EXPECT_TRUE(finishRun(window, std::chrono::seconds(20)));
    check.join();
    EXPECT_EQ(savedFiles().size(), 4u);
}

TEST(MainRun, CloseBoxStoresTheLayoutButExitDoesNot) {
    ScratchDir dir;
    testApp();
    {
        MainWindowParts parts = openMainWindow();
        parts.window->move(70, 50);
        parts.window->resize(420, 300);
        parts.window->close();
    }
    SettingsValues s = ProgramSettings::snapshot();
    EXPECT_TRUE(s.mainWindow.hasPosition && s.mainWindow.hasSize);
    EXPECT_EQ(s.mainWindow.x, 70);
    EXPECT_EQ(s.mainWindow.width, 420);
    EXPECT_NE(ScratchDir::read("VGW.INI").find("main width=420"), std::string::npos);

    MainWindowParts parts = openMainWindow();
    auto vigil = addTestVigil(VigilKind::Web, "Watched");
    parts.window->resize(480, 310);
    parts.handler->dispatchHandlerEvent(MainWindowEvent::Close, 0, 0);
    EXPECT_FALSE(parts.window->isVisible());
    EXPECT_EQ(ProgramSettings::snapshot().mainWindow.width, 420);
    EXPECT_FALSE(vigil->stopRequested());
}

TEST(MainRun, BatchRunWithoutDisplayEndsAndSaysSoUnlessQuiet) {
    ScratchDir dir;
    ScratchDir::write("vigil.dat", "");
    TervaneRun quiet = runTervane({"/batch", "/quiet"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out.find("finished checking"), std::string::npos) << quiet.out;

    TervaneRun told = runTervane({"/BATCH"});
    EXPECT_EQ(told.exitCode, 0);
    EXPECT_NE(told.out.find("Tervane has finished checking all sites."), std::string::npos) << told.out;
}

TEST(DataFolder, ServesOneTervaneAtATime) {
    TempDir folder("tervane-folder");
    writeFolder(folder, "", gopherRecord("Notes"));
    ChildProcess holder;
    ASSERT_TRUE(startWindow(holder, folder));
    std::filesystem::remove_all(folder.file("cache"));
    const auto before = folderState(folder);

    // A second window says so and ends without touching any file.
    ChildProcess second;
    TempDir logs("tervane-logs");
    const std::string told = logs.file("out");
    ASSERT_TRUE(startWindow(second, folder, {}, told) || !second.running());
    EXPECT_EQ(second.waitForExit(10000), 1);
    EXPECT_EQ(readWholeFile(told), "Tervane: Tervane is already running on the data folder " + folder.path() + ".\n");
    EXPECT_EQ(folderState(folder), before);

    // A batch run says so on standard error, checks nothing and saves nothing.
    TervaneRun batch = runTervane({"/batch", "/quiet", "/text", "report.txt"}, folder.path());
    EXPECT_EQ(batch.exitCode, 1);
    EXPECT_NE(batch.err.find("already running on the data folder " + folder.path()), std::string::npos) << batch.err;
    EXPECT_EQ(folderState(folder), before);
    // Nor does a lock file deleted, or put back so that it cannot be opened, let one in.
    std::filesystem::remove(folder.file("tervane.lock"));
    EXPECT_EQ(runTervane({"/batch", "/quiet"}, folder.path()).exitCode, 1);
    writeWholeFile(folder.file("tervane.lock"), "");
    std::filesystem::permissions(folder.file("tervane.lock"), std::filesystem::perms::none);
    EXPECT_EQ(runTervane({"/batch", "/quiet"}, folder.path()).exitCode, 1);

    // Killed outright, the holder still lets go of the folder; the next run clears
    // the temporary files of saves killed half-way, and nothing else.
    signalChild(holder, SIGKILL);
    holder.waitForExit(5000);
    for (const char* name : {"vigil.dat.tmp-a1B2c3", "VGW.INI.tmp-zzzzzz", "vigil.dat.backup", "vigil.dat.tmp-old"})
        writeWholeFile(folder.file(name), "x");
    TervaneRun after = runTervane({"/batch", "/quiet", "/text", "report.txt"}, folder.path());
    EXPECT_EQ(after.exitCode, 0) << after.err;
    EXPECT_TRUE(pathExists(folder.file("report.txt")));
    EXPECT_FALSE(pathExists(folder.file("vigil.dat.tmp-a1B2c3")));
    EXPECT_FALSE(pathExists(folder.file("VGW.INI.tmp-zzzzzz")));
    EXPECT_TRUE(pathExists(folder.file("vigil.dat.backup")));
    EXPECT_TRUE(pathExists(folder.file("vigil.dat.tmp-old")));

    // Those of a profile found under another case, by that name.
    std::filesystem::rename(folder.file("VGW.INI"), folder.file("Vgw.ini"));
    writeWholeFile(folder.file("Vgw.ini.tmp-q1W2e3"), "x");
    EXPECT_EQ(runTervane({"/batch", "/quiet", "/text", "report.txt"}, folder.path()).exitCode, 0);
    EXPECT_FALSE(pathExists(folder.file("Vgw.ini.tmp-q1W2e3")));
}

TEST(MainRun, ClosingSavesAtOnceAndAgainWhenTheChecksHaveEnded) {
    // The widest "time out" gives the longest wait, not a wrap into a negative one.
    ProgramSettings::update([](SettingsValues& s) { s.timeOutMs = std::numeric_limits<int>::max(); });
    EXPECT_EQ(shutdownWaitLimit().count(), std::numeric_limits<int>::max() + 5000LL);

    LoopbackServer server(LoopbackServer::silent());
    TempDir folder("tervane-closing");
    // A change not yet seen, with its reference copy.
    const std::string stood = "|0|1000|1|-1|0|0|8|cache\\00000003.mon|";
    writeFolder(folder, "startup=t\r\ntime out=8000\r\n",
                "|http|Slow|0|127.0.0.1|" + std::to_string(server.port()) + "|/|0" + stood + "|");
    std::filesystem::create_directory(folder.file("cache"));
    writeWholeFile(folder.file("cache/00000003.mon"), "HTTP/1.0 200 OK\r\n\r\nold");
    ChildProcess window;
    ASSERT_TRUE(startWindow(window, folder));
    ASSERT_TRUE(server.waitForConnections(1, 10000));

    const std::string data = folder.file("vigil.dat");
    const ino_t loaded = inodeOf(data);
    signalChild(window, SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return inodeOf(data) != loaded; }, 3000));
    const ino_t atClose = inodeOf(data);
    EXPECT_TRUE(window.running());  // the check still waits for its page
    EXPECT_NE(readWholeFile(data).find("|Slow|"), std::string::npos);
    // Saved mid-check as it stood before the check, not as "checking".
    EXPECT_NE(readWholeFile(data).find(stood), std::string::npos) << readWholeFile(data);
    EXPECT_TRUE(pathExists(folder.file("cache/00000003.mon")));

    // A second start meanwhile is refused rather than reading the file under it.
    ChildProcess second;
    ASSERT_TRUE(startWindow(second, folder) || !second.running());
    EXPECT_EQ(second.waitForExit(10000), 1);

    EXPECT_EQ(window.waitForExit(20000), 0);
    EXPECT_NE(inodeOf(data), atClose);
}

TEST(MainRun, TerminationSignalsEndTheRunAsTheCloseBoxDoes) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        TempDir folder("tervane-signal");
        writeFolder(folder, "", gopherRecord("Notes"));
        const std::string data = folder.file("vigil.dat");
        const ino_t loaded = inodeOf(data);
        ChildProcess window;
        ASSERT_TRUE(startWindow(window, folder));
        signalChild(window, signal);
        EXPECT_EQ(window.waitForExit(15000), 0) << signal;
        EXPECT_NE(inodeOf(data), loaded) << signal;  // saved on the way out
        EXPECT_NE(readWholeFile(data).find("|Notes|"), std::string::npos) << signal;
        EXPECT_NE(readWholeFile(folder.file("VGW.INI")).find("main width="), std::string::npos) << signal;
    }

    // A batch run so ended has not checked everything: it says so and ends with 1.
    LoopbackServer server(LoopbackServer::silent());
    TempDir folder("tervane-signal");
    writeFolder(folder, "time out=3000\r\n",
                "|http|Slow|0|127.0.0.1|" + std::to_string(server.port()) + "|/|0|0|0|1|-1|0|0|9|||");
    ChildProcess batch;
    TempDir logs("tervane-logs");
    ASSERT_TRUE(startWindow(batch, folder, {"/batch", "/quiet"}, "", logs.file("err")));
    ASSERT_TRUE(server.waitForConnections(1, 10000));
    signalChild(batch, SIGTERM);
    EXPECT_EQ(batch.waitForExit(15000), 1);
    EXPECT_NE(readWholeFile(logs.file("err")).find("ended by a signal"), std::string::npos);

    // With a long "time out" a second signal ends it at once; its report is not
    // out, so vigil.dat stays as it was.
    writeFolder(folder, "time out=60000\r\n",
                "|http|Slow|0|127.0.0.1|" + std::to_string(server.port()) + "|/|0|0|0|1|-1|0|0|9|||");
    const ino_t before = inodeOf(folder.file("vigil.dat"));
    ASSERT_TRUE(startWindow(batch, folder, {"/batch", "/quiet"}, "", logs.file("err")));
    ASSERT_TRUE(server.waitForConnections(2, 10000));
    signalChild(batch, SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    signalChild(batch, SIGINT);
    EXPECT_EQ(batch.waitForExit(3000), 1);
    EXPECT_NE(readWholeFile(logs.file("err")).find("second signal"), std::string::npos);
    EXPECT_EQ(inodeOf(folder.file("vigil.dat")), before);
}

TEST(MainRun, UserChangesReachVigilDatAtOnce) {
    ScratchDir dir;
    ScratchDir::write("vigil.dat", "1\n" + gopherRecord("Notes") + "\n");
    testApp();
    MainWindowParts parts = openMainWindow();
    startLoadThread(*parts.window);
    ASSERT_TRUE(waitUntil([&] { return parts.window->checkTimerRunning(); }));
    auto stored = [](const std::string& text, int withinMs = 2000) {
        return waitUntil([&text] { return ScratchDir::read("vigil.dat").find(text) != std::string::npos; },
                         withinMs);
    };
    auto select = [&parts](const std::string& description) {
        for (const auto& vigil : vigilList().snapshot()) {
            if (vigil->description() != description) continue;
            QTreeWidget* list = parts.window->container();
            list->clearSelection();
            list->setCurrentItem(parts.window->rowOf(vigil->id()));
            parts.window->rowOf(vigil->id())->setSelected(true);
        }
    };

    GopherSettingsRecord added;  // as the New dialog's OK hands it on
    added.description = "Added";
    added.host = "127.0.0.1";
    added.port = 7070;
    added.active = 1;
    VigilTasks::addGopherVigil(added);
    EXPECT_TRUE(stored("2\n"));
    EXPECT_TRUE(stored("|Added|"));

    select("Notes");
    parts.window->runCommand(CommandId::StopWatching);
    EXPECT_TRUE(stored("|Notes|0|127.0.0.1|"));
    EXPECT_TRUE(stored("|0|0|0|1|18|"));

    editDialogs().gopher = [](const GopherVigil&, GopherSettingsRecord& record) {
        record.description = "Renamed";
        return EditDialogs::Ok;
    };
    select("Added");
    parts.window->runCommand(CommandId::Edit);
    EXPECT_TRUE(stored("|Renamed|"));

    whenModal<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    parts.window->runCommand(CommandId::Delete);
    EXPECT_TRUE(stored("1\n|gopher|Notes|"));
    EXPECT_EQ(ScratchDir::read("vigil.dat").find("Renamed"), std::string::npos);

    // Reset, Reset All and View at once; a check's result (its port is closed: not
    // available) within the few seconds that gather results.
    ProgramSettings::update([](SettingsValues& s) { s.gopherClient = "true"; });
    select("Notes");
    for (int command : {CommandId::ResetSelected, CommandId::ResetAll, CommandId::ViewSelected}) {
        parts.window->runCommand(CommandId::CheckSelected);
        EXPECT_TRUE(stored("|1|11|", 7000)) << command;
        parts.window->runCommand(command);
        EXPECT_TRUE(stored("|1|9|")) << command;
    }

    // Saves that fail are told once, tried again at each change, and at close.
    TraceScratch trace;
    ScratchDir::write("blocked", "");
    auto add = [&](bool blocked) {
        std::filesystem::remove("vigil.dat");
        if (blocked) std::filesystem::create_symlink("blocked/vigil.dat", "vigil.dat");
        VigilTasks::addGopherVigil(added);
        waitUntil([] { return false; }, 300);
    };
    for (bool blocked : {true, true, false}) add(blocked);
    EXPECT_TRUE(stored("4\n|gopher|Notes|"));
    add(true);
    // Closing asks before the list is lost: Cancel keeps the window and its timer,
    // Retry once there is room saves and closes.
    whenModal<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Cancel)->click(); });
    EXPECT_FALSE(parts.window->close());
    EXPECT_TRUE(parts.window->isVisible());
    EXPECT_TRUE(parts.window->checkTimerRunning());
    whenModal<QMessageBox>([](QMessageBox& box) {
        std::filesystem::remove("vigil.dat");
        box.button(QMessageBox::Retry)->click();
    });
    EXPECT_TRUE(parts.window->close());
    EXPECT_TRUE(stored("5\n|gopher|Notes|"));
    std::vector<std::string> boxes;
    for (const std::string& line : trace.traceLines())
        if (line.rfind("message box: Tervane: vigil.dat could not be written (Not a directory)", 0) == 0)
            boxes.push_back(line);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_NE(boxes[2].find("is lost when Tervane ends."), std::string::npos);
}
