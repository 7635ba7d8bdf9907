#include <gtest/gtest.h>

#include <QTreeWidget>

#include "app/browser_launch.h"
#include "app/main_window.h"
#include "app/main_window_event.h"
#include "app/main_window_handler.h"
#include "app/vigil_cnr_object.h"
#include "core/program_settings.h"
#include "core/web_vigil.h"
#include "support/probe_vigil.h"
#include "support/window_test_helpers.h"

namespace {

using Lines = std::vector<std::string>;

std::shared_ptr<WebVigil> webVigil(const std::string& description) {
    VigilParams p = probeParams(description, VigilStatus::Changed);
    p.host = "news.test";
    p.port = 80;
    auto v = std::make_shared<WebVigil>(p, SimpleString("/today"), ChangeMethod::Detect, 0, 0,
                                        std::vector<std::string>{}, std::nullopt);
    appendToVigilList(v);
    return v;
}

void useWebClient(const std::string& program, const std::string& params) {
    ProgramSettings::update([&](SettingsValues& s) {
        s.webClient = program;
        s.hasWebClient = true;
        s.webParams = params;
        s.hasWebParams = true;
    });
}

}  // namespace

TEST(BrowserLaunch, ViewStartsTheClientWithItsPlaceholdersAndResetsTheStatus) {
    TraceScratch scratch;
    testApp();
    MainWindow window;
    MainWindowHandler handler;
    handler.handleEventsFor(&window);
    setVigilStatusCallback(vigilStatusCallback);
    // The description could come from someone else's bookmark file.
    auto news = webVigil("Weekly \"news\" --evil");
    auto other = webVigil("Other");
    window.fillContainer();
    useWebClient(TERVANE_ARGV_RECORDER, "--new %URL  %desc");

    // Two rows selected: a short beep and nothing else.
    window.container()->selectAll();
    EXPECT_TRUE(handler.dispatchHandlerEvent(MainWindowEvent::View, 0, 0));
    EXPECT_EQ(scratch.traceLines(), Lines{"tone: 50 Hz 50 ms"});

    window.container()->clearSelection();
    window.container()->setCurrentItem(window.rowOf(news->id()));
    EXPECT_TRUE(handler.dispatchHandlerEvent(MainWindowEvent::View, 0, 0));
    EXPECT_EQ(scratch.recordedArgs(),
              (Lines{TERVANE_ARGV_RECORDER, "--new", "http://news.test/today", "Weekly \"news\" --evil"}));
    EXPECT_EQ(news->status(), VigilStatus::NoChange);
    EXPECT_EQ(other->status(), VigilStatus::Changed);
    pumpUntil([&] { return window.rowOf(news->id())->text(VigilCnrObject::StatusColumn) == "No change"; });
    EXPECT_EQ(window.rowOf(news->id())->text(VigilCnrObject::StatusColumn), "No change");
}

TEST(BrowserLaunch, AClientThatCannotStartIsNamedInABoxAndTheChangeStaysShown) {
    TraceScratch scratch;
    testApp();
    MainWindow window;
    MainWindowHandler handler;
    handler.handleEventsFor(&window);
    setVigilStatusCallback(vigilStatusCallback);
    auto news = webVigil("News");
    window.fillContainer();
    window.container()->setCurrentItem(window.rowOf(news->id()));

    // A double-click with the Windows program no Linux machine has.
    useWebClient("netscape.exe", "%URL");
    EXPECT_TRUE(handler.dispatchHandlerEvent(MainWindowEvent::View, 0, 0));
    const Lines lines = scratch.traceLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "message box: Tervane: The client program \"netscape.exe\" could not be started. "
                            "Choose one in Settings > Program Settings.");
    EXPECT_EQ(news->status(), VigilStatus::Changed);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.rowOf(news->id())->text(VigilCnrObject::StatusColumn), "Changed!");

    // No client program at all: nothing starts, the box says so.
    ProbeVigil gopher(probeParams("Hole", VigilStatus::Changed), "gopher://hole.test:70/1", VigilKind::Gopher);
    EXPECT_FALSE(runClientProgram(gopher));
    EXPECT_EQ(scratch.traceLines().back(),
              "message box: Tervane: No client program is set. Choose one in Settings > Program Settings.");
    EXPECT_EQ(gopher.status(), VigilStatus::Changed);
    // The home page says so in the same box.
    openUrlInBrowser("http://home.test/");
    EXPECT_EQ(scratch.traceLines().back(), lines.back());

    // The home page: the URL takes the placeholder's place, or follows a blank.
    EXPECT_EQ(browserCommandLine("prog", "-new %URL", "http://home.test/"), "prog -new     http://home.test/");
    EXPECT_EQ(browserCommandLine("prog", "-remote", "http://h/"), "prog -remote http://h/");
}
