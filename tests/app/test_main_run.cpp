#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <string>
#include <thread>

#include "app/main_run.h"
#include "app/main_window_event.h"
#include "app/vigil_cnr_object.h"
#include "app/window_services.h"
#include "core/program_settings.h"
#include "core/run_state.h"
#include "support/listed_vigil.h"
#include "support/qt_test_app.h"
#include "support/scratch_dir.h"
#include "support/tervane_run.h"

namespace {

std::vector<std::string>& savedFiles() {
    static std::vector<std::string> saved;
    return saved;
}

void recordSaves() {
    windowServices().saveVigils = [](const std::string& name) {
        savedFiles().push_back(name);
        return 0;
    };
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
    ScratchDir dir;
    ScratchDir::write("vgw.ini", "[Vigil]\r\nmax conn=3\r\nmain x=40\r\nmain y=30\r\n"
                                 "main width=500\r\nmain height=260\r\nftp client=ncftp\r\nweb client=lynx\r\n");
    ScratchDir::write("vigil.cli", "lynx.exe=-dump %URL\r\n");
    testApp();
    MainWindowParts parts = openMainWindow();
    EXPECT_EQ(ProgramSettings::maxConn(), 3);
    EXPECT_EQ(ProgramSettings::snapshot().webClient, "lynx");
    ASSERT_EQ(ProgramSettings::clientParams().size(), 1u);
    EXPECT_EQ(parts.window->pos(), QPoint(40, 30));
    EXPECT_EQ(parts.window->size(), QSize(500, 260));
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
    windowServices().loadVigils = [](const std::string& name, void*) {
        loadedFrom = name;
        addTestVigil(VigilKind::Web, "One");
        addTestVigil(VigilKind::Gopher, "Two");
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
    for (const auto& vigil : vigilList) EXPECT_TRUE(vigil->stopRequested());
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
    EXPECT_EQ(savedFiles().size(), 1u);

    // A check that ends within the wait lets the run tear down.
    std::thread check([&busy] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        busy->leaveBusy();
    });
    EXPECT_TRUE(finishRun(window, std::chrono::seconds(20)));
    check.join();
    EXPECT_EQ(savedFiles().size(), 2u);
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
