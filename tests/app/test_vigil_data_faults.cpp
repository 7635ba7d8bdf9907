#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <atomic>
#include <chrono>
#include <climits>
#include <filesystem>
#include <set>
#include <string>

#include "app/command_ids.h"
#include "app/command_services.h"
#include "app/main_run.h"
#include "app/main_window_event.h"
#include "app/vigil_tasks.h"
#include "app/window_services.h"
#include "core/gopher_vigil.h"
#include "core/program_settings.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "core/web_vigil.h"
#include "import/import_lists.h"
#include "support/loopback_server.h"
#include "support/scratch_dir.h"
#include "support/tervane_run.h"
#include "support/window_test_helpers.h"

namespace {

const std::string kRecord = "|gopher|Kept|0|g.example|70|/sel|3600|0|0|1|9|cache\\00000001.mon|\n";

size_t listSize() {
    return vigilList().size();
}

size_t countOf(const std::vector<std::string>& lines, const std::string& part) {
    size_t n = 0;
    for (const std::string& line : lines) n += line.find(part) != std::string::npos;
    return n;
}

}  // namespace

TEST(VigilDataFaults, FileThatLoadsNothingIsNeverSavedOver) {
    ScratchDir dir;
    // A batch run says why on standard error, ends with 1 and leaves the file.
    const std::string noCount = "vigil.dat does not begin with the number of its records";
    const std::string stopped = "|gopher|Stopped|0|127.0.0.1|1||0|0|0|1|18||\n";
    const std::pair<std::string, std::string> unread[] = {
        {"\n" + kRecord, noCount},
        {"Vigils\n" + kRecord, noCount},
        {"12 items total\n" + stopped, noCount},
        {"1" + stopped, noCount},
    };
    for (const auto& [text, told] : unread) {
        ScratchDir::write("vigil.dat", text);
        const TervaneRun run = runTervane({"/batch", "/quiet"});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find(told), std::string::npos) << run.err;
        EXPECT_EQ(ScratchDir::read("vigil.dat"), text);
    }
    std::filesystem::remove("vigil.dat");
    std::filesystem::create_directory("vigil.dat");  // exists, cannot be read
    const TervaneRun unreadable = runTervane({"/batch", "/quiet"});
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_NE(unreadable.err.find("vigil.dat could not be read (Is a directory)"), std::string::npos)
        << unreadable.err;
    std::filesystem::remove("vigil.dat");
    // A missing file is a new, empty list.
    const TervaneRun fresh = runTervane({"/batch", "/quiet"});
    EXPECT_EQ(fresh.exitCode, 0) << fresh.err;
    EXPECT_EQ(ScratchDir::read("vigil.dat"), "0\n");

    // The window tells the user once; no save of the run replaces the file.
    TraceScratch trace;
    const std::string text = "\n" + kRecord;
    ScratchDir::write("vigil.dat", text);
    testApp();
    MainWindowParts parts = openMainWindow();
    bool welcomed = false;  // an unread list is no first run
    startupHooks().welcome = [&welcomed] { welcomed = true; };
    bool started = false;
    startupHooks().enableCommands = [&started, enable = startupHooks().enableCommands] {
        started = true;
        if (enable) enable();
    };
    startLoadThread(*parts.window);
    ASSERT_TRUE(pumpUntil([&] { return started; }));
    // The file may be no list at all: nothing is checked, by timer or command.
    EXPECT_FALSE(parts.window->checkTimerRunning());
    // Nothing done to such a list would reach its file: what adds, changes or
    // deletes is refused with the reason, and the title shows it.
    int reached = 0;
    CommandServices& s = commandServices();
    s.newWebVigil = s.newFtpVigil = s.newGopherVigil = s.openImport = [&reached](MainWindow&) { ++reached; };
    s.pasteUrl = [&reached](MainWindow&, const QString&) { ++reached; };
    QGuiApplication::clipboard()->setText(QStringLiteral("http://www.example/"));
    static std::atomic<int> checks{0};
    windowServices().checkAll = [] { ++checks; };
    for (int id : {CommandId::NewWeb, CommandId::ButtonNewFtp, CommandId::NewGopher, CommandId::Edit,
                   CommandId::Delete, CommandId::Import, CommandId::PasteUrl, CommandId::CheckAll,
                   CommandId::ButtonCheckAll, CommandId::CheckSelected})
        parts.window->runCommand(id);
    EXPECT_EQ(reached, 0);
    EXPECT_EQ(checks, 0);
    EXPECT_TRUE(parts.window->windowTitle().contains(QStringLiteral("read-only")));
    for (int tick = 0; tick < 12; ++tick) parts.handler->dispatchHandlerEvent(MainWindowEvent::TimerTick, 0, 0);
    EXPECT_TRUE(finishRun(*parts.window, std::chrono::seconds(5)));
    EXPECT_EQ(ScratchDir::read("vigil.dat"), text);
    const std::vector<std::string> lines = trace.traceLines();
    EXPECT_EQ(countOf(lines, "message box: Tervane: vigil.dat does not begin with the number"), 1u);
    EXPECT_EQ(countOf(lines, "message box: Tervane: The list on screen is read-only: vigil.dat"), 10u);
    EXPECT_FALSE(welcomed);
}

TEST(VigilDataFaults, LinesThatMakeNoVigilAreKeptAndTheRestWorks) {
    ScratchDir dir;
    LoopbackServer gopher([](LoopbackServer::Connection& c) { c.readUntil("\r\n") && c.send("0a\r\n.\r\n"); });
    const std::string upper = "|HTTP|Upper|0|w.example|80|/|0|0|0|1|-1|0|0|9||";
    const std::string later = "|finger|Later|0|f.example|79|/|0|0|0|1|9|cache\\00000007.mon|";
    const std::string noHost = "|http|No host|0||80|/|";
    std::filesystem::create_directory("cache");
    ScratchDir::write("cache/00000007.mon", "a later version's copy");
    ScratchDir::write("vigil.dat", "4\n" + upper + "\n|gopher|Notes|0|127.0.0.1|" + std::to_string(gopher.port()) +
                                       "|/n|0|0|0|1|9||\n\n" + later + "\n" + noHost + "\n");
    // Each run checks and saves the rest, says which lines it kept, and keeps
    // them in their places; a copy one of them names stays.
    for (int run = 0; run < 2; ++run) {
        const TervaneRun batch = runTervane({"/batch", "/quiet"});
        EXPECT_EQ(batch.exitCode, 0) << batch.err;
        // The blank line goes at the first save.
        const std::string lines = run == 0 ? "lines 2 and 5-6" : "lines 2 and 4-5";
        EXPECT_NE(batch.err.find("vigil.dat: " + lines + " make no Vigil (line 2 is a record of no known kind "
                                 "(\"HTTP\"))"),
                  std::string::npos)
            << batch.err;
        const std::string saved = ScratchDir::read("vigil.dat");
        EXPECT_EQ(saved.rfind("4\n" + upper + "\n|gopher|Notes|", 0), 0u) << saved;
        EXPECT_NE(saved.find(".mon|\n" + later + "\n" + noHost + "\n"), std::string::npos) << saved;
        EXPECT_TRUE(std::filesystem::exists("cache/00000007.mon"));
    }
    EXPECT_EQ(gopher.connections(), 2);

    // The window says it once, in a box, and works as usual.
    TraceScratch trace;
    testApp();
    MainWindowParts parts = openMainWindow();
    startLoadThread(*parts.window);
    ASSERT_TRUE(pumpUntil([&] { return parts.window->checkTimerRunning(); }));
    EXPECT_EQ(countOf(trace.traceLines(), "message box: Tervane: vigil.dat: lines 2 and 4-5 make no Vigil"), 1u);
    EXPECT_FALSE(parts.window->windowTitle().contains(QStringLiteral("read-only")));
    EXPECT_TRUE(finishRun(*parts.window, std::chrono::seconds(5)));
    EXPECT_NE(ScratchDir::read("vigil.dat").find(later + "\n" + noHost + "\n"), std::string::npos);
}

TEST(VigilDataFaults, StartCleansOnlyThisListsOwnCacheFolder) {
    ScratchDir dir;
    auto copies = [](const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    };
    const std::set<std::string> three{"00000005.mon", "00000006.mon", "00000009.mon"};
    std::filesystem::create_directory("cache");
    for (const std::string& name : three) ScratchDir::write("cache/" + name, "copy");
    // No list, or an empty one, says nothing of the copies.
    EXPECT_EQ(runTervane({"/batch", "/quiet"}).exitCode, 0);
    EXPECT_EQ(copies("cache"), three);
    EXPECT_EQ(runTervane({"/batch", "/quiet"}).exitCode, 0);
    EXPECT_EQ(copies("cache"), three);

    // A copy is known by its number, however the name reaches this folder's cache; it is saved in one form.
    const std::string stopped = "|0|127.0.0.1|1||0|0|0|1|18|";
    const std::vector<std::string> forms{"CACHE\\00000005.MON", "cache/00000006.mon", "./cache/00000010.mon",
                                         ".\\cache\\00000011.mon", "cache\\\\00000012.mon", "cache//00000013.mon",
                                         "cache\\14.mon", "cache\\00000015.mon ",
                                         (dir.path() / "cache/00000016.mon").string(), "elsewhere\\00000017.mon"};
    std::set<std::string> named{"00000005.mon", "00000006.mon"};
    for (int n = 10; n <= 17; ++n) named.insert("000000" + std::to_string(n) + ".mon");
    std::string list = std::to_string(forms.size()) + "\n";
    for (size_t i = 0; i < forms.size(); ++i) list += "|gopher|" + std::to_string(i) + stopped + forms[i] + "|\n";
    ScratchDir::write("vigil.dat", list);
    for (const std::string& name : named) ScratchDir::write("cache/" + name, "copy");
    const TervaneRun run = runTervane({"/batch", "/quiet"});
    EXPECT_EQ(run.exitCode, 0);
    // A name that means no copy here is said as a lost copy; the file it may mean is not cleaned away.
    EXPECT_NE(run.err.find("9: its copy elsewhere\\00000017.mon is missing from the cache folder"), std::string::npos)
        << run.err;
    EXPECT_EQ(copies("cache"), named);
    const std::string saved = ScratchDir::read("vigil.dat");
    for (const std::string& name : named)
        EXPECT_EQ(saved.find("|cache\\" + name + "|") == std::string::npos, name == "00000017.mon") << saved;

    // Through a link the folder may be another list's.
    std::filesystem::rename("cache", "shared");
    ScratchDir::write("shared/00000009.mon", "another list's copy");
    std::filesystem::create_directory_symlink("shared", "cache");
    EXPECT_EQ(runTervane({"/batch", "/quiet"}).exitCode, 0);
    named.insert("00000009.mon");
    EXPECT_EQ(copies("shared"), named);
}

TEST(VigilDataFaults, ByteOrderMarksAreSkipped) {
    ScratchDir dir;
    const std::string bom = "\xEF\xBB\xBF";
    ScratchDir::write("vigil.dat", bom + "1\n" + kRecord);
    EXPECT_FALSE(VigilStore::load("vigil.dat", vigilList()).problem);
    ASSERT_EQ(listSize(), 1u);
    ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    EXPECT_EQ(ScratchDir::read("vigil.dat"), "1\n" + kRecord);
    // Old Macintosh line ends are line ends too; blank lines are no records.
    const std::string stopped = "|gopher|Stopped|0|127.0.0.1|1||0|0|0|1|18|";
    ScratchDir::write("mac.dat", " 2 \r" + stopped + "\r\r" + stopped + "\r");
    EXPECT_FALSE(VigilStore::load("mac.dat", vigilList()).problem);
    EXPECT_EQ(listSize(), 3u);
    // Nor is the Ctrl-Z that DOS editors end a file with.
    ScratchDir::write("dos.dat", "1\r\n" + stopped + "\r\n\x1a");
    EXPECT_FALSE(VigilStore::load("dos.dat", vigilList()).problem);

    ScratchDir::write("other.dat", bom + bom + "1\n" + kRecord);
    ImportList imported;
    EXPECT_EQ(importVigilFile("other.dat", imported), 1);
    ASSERT_EQ(imported.size(), 1u);
    EXPECT_STREQ(imported[0].displayText.text(), "Kept");

    ScratchDir::write("vigil.cli", bom + bom + "firefox=-new-tab %URL\n");
    ProgramSettings::loadClientList("vigil.cli");
    ASSERT_EQ(ProgramSettings::clientParams().size(), 1u);
    EXPECT_EQ(ProgramSettings::clientParams()[0].first, "firefox");

    // A profile with them is no first run, and keeps its one section.
    ScratchDir::write("VGW.INI", bom + bom + bom + "[Vigil]\r\nmax conn=3\r\n");
    testApp();
    MainWindowParts parts = openMainWindow();
    EXPECT_EQ(ProgramSettings::snapshot().maxConn, 3);
    ASSERT_TRUE(ProgramSettings::save("VGW.INI"));
    const std::string saved = ScratchDir::read("VGW.INI");
    EXPECT_EQ(saved.find("[Vigil]"), 0u) << saved;
    EXPECT_EQ(saved.find("[Vigil]", 1), std::string::npos) << saved;
}

TEST(VigilDataFaults, NumbersTooLargeForTheirFieldKeepTheirDefaults) {
    ScratchDir dir;
    ScratchDir::write("vigil.dat",
                      "3\n"
                      "|gopher|Interval|0|g.example|70||4294967297|0|0|1|9||\n"
                      "|gopher|Flags|0|g.example|70||3600|0|0|65553|8||\n"
                      "|http|Status|4294967298|w.example|80|/|3600|0|0|1|4294967296|0|0|9223372036854775807||\n");
    VigilStore::load("vigil.dat", vigilList());
    const std::vector<std::shared_ptr<Vigil>> vigils = vigilList().snapshot();
    ASSERT_EQ(vigils.size(), 3u);
    EXPECT_EQ(vigils[0]->interval(), 0);
    EXPECT_EQ(vigils[0]->intervalMode(), IntervalMode::Off);
    EXPECT_EQ(vigils[1]->flags(), 1);
    EXPECT_FALSE(vigils[1]->commandLine());  // no program field read ...
    EXPECT_EQ(vigils[1]->status(), VigilStatus::Changed);  // ... so the status is where it was written
    EXPECT_EQ(vigils[2]->options(), WebOptions::AlwaysCompare);
    EXPECT_EQ(vigils[2]->status(), VigilStatus::NoChange);

    // The longest "time out" still leaves a wait at the end of the run.
    ProgramSettings::update([](SettingsValues& s) { s.timeOutMs = INT_MAX; });
    EXPECT_GE(shutdownWaitLimit(), std::chrono::milliseconds(INT_MAX));
}

TEST(VigilDataFaults, VigilsBeyondTheLastIdentifierAreRefused) {
    ScratchDir dir;
    const int count = 70000;
    std::string text = std::to_string(count) + "\n";
    for (int i = 0; i < count; ++i)
        text += "|gopher|G" + std::to_string(i) + "|0|g.example|70||0|0|0|1|9|cache\\" +
                std::string(8 - std::to_string(i).size(), '0') + std::to_string(i) + ".mon|\n";
    ScratchDir::write("vigil.dat", text);
    const std::optional<std::string> problem = VigilStore::load("vigil.dat", vigilList()).problem;
    ASSERT_EQ(listSize(), 65536u);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("vigil.dat holds more Vigils than Tervane can keep"), std::string::npos) << *problem;
    // Each identifier names its own Vigil.
    std::vector<std::shared_ptr<Vigil>> vigils = vigilList().snapshot();
    for (const auto& vigil : {vigils.front(), vigils[40000], vigils.back()})
        EXPECT_EQ(vigilList().find(vigil->id()), vigil);
    EXPECT_EQ(VigilStore::save("vigil.dat", vigilList()).status, -1);
    EXPECT_EQ(ScratchDir::read("vigil.dat"), text);

    // A new one is refused with a message; a freed identifier serves again.
    TraceScratch trace;
    GopherSettingsRecord record;
    record.host = "new.example";
    EXPECT_FALSE(VigilTasks::addGopherVigil(record));
    EXPECT_EQ(countOf(trace.traceLines(), "message box: Tervane: Tervane keeps at most 65,536 Vigils"), 1u);
    const int freed = vigils[7]->id();
    {
        VigilList::Hold hold(vigilList());
        hold.vigils().erase(hold.vigils().begin() + 7);
    }
    vigils.erase(vigils.begin() + 7);
    const std::shared_ptr<Vigil> added = VigilTasks::addGopherVigil(record);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->id(), freed);
}
