#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "app/main_run.h"
#include "app/main_window.h"
#include "app/main_window_event.h"
#include "app/main_window_handler.h"
#include "app/status_texts.h"
#include "app/vigil_cnr_object.h"
#include "app/window_services.h"
#include "core/program_settings.h"
#include "core/run_state.h"
#include "platform/time_convert.h"
#include "support/listed_vigil.h"
#include "support/qt_test_app.h"
#include "support/window_test_helpers.h"

using namespace std::chrono_literals;

namespace {

QString asctimeText(time_t when) {
    std::tm record{};
    localTime(when, record);
    std::string s = ascTime(record);
    s.pop_back();  // the line end
    return QString::fromStdString(s);
}

struct AppFirst {
    AppFirst() { testApp(); }
};

// A window with its handler attached, as start-up leaves them.
struct WindowFixture : AppFirst {
    WindowFixture() { handler.handleEventsFor(&window); }
    QTreeWidget& list() { return *window.container(); }
    MainWindow window;
    MainWindowHandler handler;
};

}  // namespace

TEST(MainWindowEvents, LoadDoneFillsTheListThenStartsTheTimer) {
    WindowFixture f;
    auto web = addTestVigil(VigilKind::Web, "News");
    appendToVigilList(nullptr);  // passed over
    auto ftp = addTestVigil(VigilKind::Ftp, "Mirror", VigilStatus::Inactive);
    ftp->setLastChecked(86400 * 365 * 30);
    ftp->setLastChanged(86400 * 365 * 29);

    EXPECT_EQ(f.window.statusLineText(), "Initializing...");
    EXPECT_TRUE(f.handler.dispatchHandlerEvent(MainWindowEvent::LoadDone, 0, 0));
    ASSERT_EQ(f.list().topLevelItemCount(), 2);

    auto* first = static_cast<VigilCnrObject*>(f.list().topLevelItem(0));
    EXPECT_EQ(first->text(VigilCnrObject::DescriptionColumn), "News");
    EXPECT_EQ(first->text(VigilCnrObject::StatusColumn), "No change");
    EXPECT_EQ(first->text(VigilCnrObject::CheckedColumn), "Not checked yet");
    EXPECT_EQ(first->text(VigilCnrObject::ChangedColumn), "No changes yet");
    EXPECT_EQ(first->iconId(), IconId::Web);
    EXPECT_EQ(f.window.rowOf(web->id()), first);

    auto* second = static_cast<VigilCnrObject*>(f.list().topLevelItem(1));
    EXPECT_EQ(second->position(), 2);
    EXPECT_EQ(second->text(VigilCnrObject::StatusColumn), "Inactive");
    EXPECT_EQ(second->text(VigilCnrObject::CheckedColumn), asctimeText(ftp->lastChecked()));
    EXPECT_EQ(second->text(VigilCnrObject::ChangedColumn), asctimeText(ftp->lastChanged()));
    EXPECT_EQ(second->text(VigilCnrObject::CheckedColumn).size(), 24);

    // The fill posts StartupComplete, which (interactive) starts the timer.
    EXPECT_FALSE(f.window.checkTimerRunning());
    pumpUntil([&] { return f.window.checkTimerRunning(); });
    EXPECT_TRUE(f.window.checkTimerRunning());
}

TEST(MainWindowEvents, StatusIconsSettingPicksTheRowIcon) {
    ProgramSettings::update([](SettingsValues& s) { s.statusIcons = true; });
    WindowFixture f;
    auto vigil = addTestVigil(VigilKind::Gopher, "Hole", VigilStatus::Unavailable);
    f.window.fillContainer();
    auto* row = f.window.rowOf(vigil->id());
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->iconId(), IconId::SiteProblem);
    vigil->storeStatus(VigilStatus::Changed);
    row->refresh();
    EXPECT_EQ(row->iconId(), IconId::Changed);
}

TEST(MainWindowEvents, BatchStartupRunsCheckAllOnAnotherThreadWithOneConnection) {
    runState().batchMode = true;
    std::promise<std::thread::id> ran;
    windowServices().checkAll = [&ran] { ran.set_value(std::this_thread::get_id()); };
    WindowFixture f;
    EXPECT_TRUE(f.handler.dispatchHandlerEvent(MainWindowEvent::StartupComplete, 0, 0));
    auto done = ran.get_future();
    ASSERT_EQ(done.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_NE(done.get(), std::this_thread::get_id());
    EXPECT_EQ(ProgramSettings::maxConn(), 1);
    EXPECT_FALSE(f.window.checkTimerRunning());
}

TEST(MainWindowEvents, StatusEventsRefreshTheirRowOnly) {
    WindowFixture f;
    auto news = addTestVigil(VigilKind::Web, "News");
    auto mirror = addTestVigil(VigilKind::Ftp, "Mirror");
    f.window.fillContainer();
    VigilCnrObject* newsRow = f.window.rowOf(news->id());
    VigilCnrObject* mirrorRow = f.window.rowOf(mirror->id());

    news->storeStatus(VigilStatus::Changed);
    news->setLastChecked(1000000000);
    news->setDescription(std::string("News (renamed)"));
    mirror->storeStatus(VigilStatus::Checking);
    EXPECT_TRUE(f.handler.dispatchHandlerEvent(VigilStatus::Changed, news->id(), 0));
    EXPECT_EQ(newsRow->text(VigilCnrObject::StatusColumn), "Changed!");
    EXPECT_EQ(newsRow->text(VigilCnrObject::CheckedColumn), asctimeText(1000000000));
    EXPECT_EQ(newsRow->text(VigilCnrObject::DescriptionColumn), "News (renamed)");
    EXPECT_EQ(mirrorRow->text(VigilCnrObject::StatusColumn), "No change");

    // An FTP failure refreshes too; an identifier without a Vigil changes nothing.
    mirror->storeStatus(VigilStatus::FtpReplyBase + 530);
    EXPECT_TRUE(f.handler.dispatchHandlerEvent(VigilStatus::FtpReplyBase + 530, mirror->id(), 0));
    EXPECT_EQ(mirrorRow->text(VigilCnrObject::StatusColumn), "Error");
    EXPECT_TRUE(f.handler.dispatchHandlerEvent(VigilStatus::NoChange, 4242, 0));
    EXPECT_FALSE(f.handler.dispatchHandlerEvent(5000, news->id(), 0));
    EXPECT_FALSE(f.handler.dispatchHandlerEvent(VigilStatus::FtpReplyBase + 600, news->id(), 0));

    // Statuses reported by a check thread arrive through the callback.
    setVigilStatusCallback(vigilStatusCallback);
    auto late = addTestVigil(VigilKind::Gopher, "Late");
    f.window.addVigilObject(late->id());
    std::thread([&late] {
        late->storeStatus(VigilStatus::NotFound);
        late->reportStatus(VigilStatus::NotFound);
    }).join();
    pumpUntil([&] { return f.window.rowOf(late->id())->text(VigilCnrObject::StatusColumn) == "Doc not found"; });
    EXPECT_EQ(f.window.rowOf(late->id())->text(VigilCnrObject::StatusColumn), "Doc not found");

    // And a task may ask for a refresh from its own thread.
    std::thread([&news] {
        news->storeStatus(VigilStatus::NoChange);
        refreshVigilRecord(news->id());
    }).join();
    pumpUntil([&] { return newsRow->text(VigilCnrObject::StatusColumn) == "No change"; });
    EXPECT_EQ(newsRow->text(VigilCnrObject::StatusColumn), "No change");
}

TEST(MainWindowEvents, StatusLineAndAddedRows) {
    WindowFixture f;
    f.handler.dispatchHandlerEvent(MainWindowEvent::StatusLineText, StatusTextIndex::AddingWeb, 0);
    EXPECT_EQ(f.window.statusLineText(), "Adding a new Web site...");
    f.handler.dispatchHandlerEvent(MainWindowEvent::StatusLineText, kStatusTextCount, 0);
    f.handler.dispatchHandlerEvent(MainWindowEvent::StatusLineText, -1, 0);
    EXPECT_EQ(f.window.statusLineText(), "Adding a new Web site...");

    addTestVigil(VigilKind::Web, "First");
    auto added = addTestVigil(VigilKind::Ftp, "Added");
    f.handler.dispatchHandlerEvent(MainWindowEvent::VigilAdded, 2, 0);  // one past the end
    f.handler.dispatchHandlerEvent(MainWindowEvent::VigilAdded, -1, 0);
    EXPECT_EQ(f.list().topLevelItemCount(), 0);
    f.handler.dispatchHandlerEvent(MainWindowEvent::VigilAdded, 1, 0);
    ASSERT_EQ(f.list().topLevelItemCount(), 1);
    EXPECT_EQ(f.window.rowOf(added->id())->text(VigilCnrObject::DescriptionColumn), "Added");
    EXPECT_EQ(f.window.rowOf(added->id())->iconId(), IconId::Ftp);
}

TEST(MainWindowEvents, EverySixthTickSavesBeforeItsPass) {
    std::atomic<int> passes{0};
    std::vector<int> savedAtPass;
    windowServices().schedulerPass = [&passes] { ++passes; };
    windowServices().saveVigils = [&](const std::string& name) {
        EXPECT_EQ(name, "vigil.dat");
        savedAtPass.push_back(passes.load());
        return VigilStore::SaveResult{};
    };
    WindowFixture f;
    f.window.setDataFileName("vigil.dat");
    for (int tick = 1; tick <= 12; ++tick) {
        f.handler.dispatchHandlerEvent(MainWindowEvent::TimerTick, 1, 0);
        pumpUntil([&] { return passes.load() == tick; });
    }
    EXPECT_EQ(passes.load(), 12);
    ASSERT_EQ(savedAtPass.size(), 2u);
    EXPECT_EQ(savedAtPass[0], 5);
    EXPECT_EQ(savedAtPass[1], 11);
}

// Check results reach vigil.dat gathered, at most one save in five seconds; a
// user's change is saved at once.
TEST(MainWindowEvents, CheckResultsAreSavedTogetherAndUserChangesAtOnce) {
    std::vector<std::chrono::steady_clock::time_point> saves;
    windowServices().saveVigils = [&saves](const std::string&) {
        saves.push_back(std::chrono::steady_clock::now());
        return VigilStore::SaveResult{};
    };
    WindowFixture f;
    listLoaded = 1;
    auto news = addTestVigil(VigilKind::Web, "News");
    f.window.fillContainer();
    auto pumpFor = [&saves](std::chrono::milliseconds span, size_t untilSaves = SIZE_MAX) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end && saves.size() != untilSaves)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) {  // a result every 100 ms
        f.handler.dispatchHandlerEvent(i % 2 ? VigilStatus::NoChange : VigilStatus::Checking, news->id(), 0);
        pumpFor(100ms);
    }
    EXPECT_EQ(saves.size(), 1u);  // the first result after a quiet spell at once
    pumpFor(8000ms, 2);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_GE(saves[1] - start, 4900ms);
    requestVigilSave();  // a user's change
    pumpFor(200ms);
    EXPECT_EQ(saves.size(), 3u);
    pumpFor(5500ms);  // nothing left to gather
    EXPECT_EQ(saves.size(), 3u);
}
