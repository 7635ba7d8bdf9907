#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

#include "support/scratch_dir.h"
#include "app/main_window.h"
#include "app/main_window_event.h"
#include "app/main_window_handler.h"
#include "app/status_texts.h"
#include "app/vigil_cnr_object.h"
#include "app/vigil_tasks.h"
#include "core/ftp_vigil.h"
#include "core/gopher_vigil.h"
#include "core/program_settings.h"
#include "core/text_utils.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "core/web_vigil.h"
#include "dialogs/web_settings_dialog.h"
#include "net/tcp_client.h"
#include "platform/net_socket.h"
#include "support/dialog_driver.h"
#include "support/listed_vigil.h"
#include "support/window_test_helpers.h"

namespace {

using Event = EventRecorder::Event;

WebSettingsRecord webRecord(const char* user, const char* password) {
    WebSettingsRecord r;
    r.description = std::string("News");
    r.host = std::string("news.test");
    r.path = "/today";
    r.port = 8080;
    r.interval = 3600;
    r.program = std::string("notify %desc");
    r.ignoreTokens = {"ad", "counter"};
    r.user = user;
    r.password = password;
    r.emailList = "a@example.test  b@example.test";
    return r;
}

FtpSettingsRecord ftpRecord() {
    FtpSettingsRecord r;
    r.description = std::string("Mirror");
    r.host = std::string("ftp.test");
    r.directory = std::string("/pub");
    r.user = std::string("joe");
    r.password = std::string("secret");
    r.ignoreFiles = {"index.txt"};
    return r;
}

bool lockIsFree(Vigil& vigil) {
    return std::async(std::launch::async, [&vigil] {
               if (vigil.checkLock().lock(0) != 0) return false;
               vigil.checkLock().unlock();
               return true;
           }).get();
}

}  // namespace

TEST(AddTasks, BuildTheVigilAppendItAndAnnounceItsRow) {
    EventRecorder recorder;
    setVigilStatusCallback(vigilStatusCallback);
    addTestVigil(VigilKind::Gopher, "Already there");

    auto web = VigilTasks::addWebVigil(webRecord("joe", "pa:ss"));
    ASSERT_EQ(vigilList().size(), 2u);
    EXPECT_EQ(vigilList().at(1), web);
    EXPECT_EQ(recorder.take(), (std::vector<Event>{{MainWindowEvent::StatusLineText, StatusTextIndex::AddingWeb},
                                                   {MainWindowEvent::VigilAdded, 1},
                                                   {VigilStatus::NoChange, web->id()},
                                                   {MainWindowEvent::StatusLineText, StatusTextIndex::Blank}}));
    EXPECT_EQ(web->url(), "http://news.test:8080/today");
    EXPECT_EQ(web->intervalMode(), IntervalMode::On);
    EXPECT_EQ(web->emailList(), "a@example.test b@example.test ");
    EXPECT_EQ(web->basicCredentials(), base64Encode("joe:pa:ss"));

    // A password alone is a login too.
    EXPECT_EQ(VigilTasks::addWebVigil(webRecord("", "pw"))->basicCredentials(), base64Encode(":pw"));

    FtpSettingsRecord anonymous = ftpRecord();
    anonymous.user.reset();
    anonymous.password.reset();
    auto ftp = VigilTasks::addFtpVigil(anonymous);
    EXPECT_EQ(ftp->user(), "anonymous");
    EXPECT_EQ(ftp->password(), AnonymousFtpPassword);
    EXPECT_EQ(recorder.take()[4], (Event{MainWindowEvent::StatusLineText, StatusTextIndex::AddingFtp}));
}

// What the Web dialog fills reaches vigil.dat through the add task and comes back.
TEST(AddTasks, WebDialogsEmailListsAndLoginReachTheStore) {
    ScratchDir dir;
    testApp();
    ProgramSettings::reset();
    WebSettingsRecord record;
    WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &record, nullptr);
    type(dialog, "description", "Members");
    type(dialog, "url", "http://www.example.test/members");
    type(dialog, "user", "ann");
    type(dialog, "password", "secret");
    type(dialog, "email", "a@x.example;b@y.example, c@z.example,d@w.example");
    click(dialog, "ok");
    ASSERT_EQ(dialog.result(), DialogResult::Ok);
    VigilTasks::addWebVigil(record);
    ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    vigilList().clear();
    VigilStore::load("vigil.dat", vigilList());
    const auto web = std::dynamic_pointer_cast<WebVigil>(vigilList().snapshot().at(0));
    ASSERT_TRUE(web);
    EXPECT_EQ(web->emailAddresses(),
              (std::vector<std::string>{"a@x.example", "b@y.example", "c@z.example", "d@w.example"}));
    EXPECT_STREQ(web->user().text(), "ann");
    EXPECT_STREQ(web->password().text(), "secret");
}

TEST(AddTasks, RowAddedByTheWindowEvenAfterTheListMoved) {
    testApp();
    MainWindow window;
    MainWindowHandler handler;
    handler.handleEventsFor(&window);
    addTestVigil(VigilKind::Gopher, "Zebra");
    window.fillContainer();
    // An add whose 1038 arrives after a sort: its position now holds a Vigil with a row.
    auto apple = addTestVigil(VigilKind::Web, "Apple");
    postWindowEvent(MainWindowEvent::VigilAdded, 1);
    VigilTasks::sortVigils(942);
    pumpUntil([&] { return window.rowOf(apple->id()) != nullptr; });
    EXPECT_EQ(window.container()->topLevelItemCount(), 2);
}

TEST(EditTask, AppliesChangedFieldsAndReleasesTheWindowThreadsLock) {
    EventRecorder recorder;
    testApp();
    auto web = VigilTasks::addWebVigil(webRecord("joe", "old"));
    web->setSoundFile(std::string("ding.wav"));
    recorder.take();

    WebSettingsRecord seen;
    editDialogs().web = [&seen](const WebVigil&, WebSettingsRecord& r) {
        seen = r;
        r.description = std::string("News (edited)");
        r.path = "/today";
        r.interval = 0;  // kept
        r.password = "new";
        r.program.reset();
        r.emailList = "c@example.test";
        r.ignoreTokens = {"dropped"};  // tokensChanged stays 0
        return EditDialogs::Ok;
    };
    ASSERT_EQ(web->checkLock().lock(0), 0);  // as the Edit command does
    VigilTasks::editSettings(web);

    // The dialog found what it does not read from the Vigil.
    EXPECT_STREQ(seen.password.text(), "old");
    EXPECT_EQ(seen.program, "notify %desc");
    EXPECT_EQ(seen.soundFile, "ding.wav");
    EXPECT_EQ(seen.ignoreTokens.size(), 2u);

    EXPECT_EQ(web->description(), "News (edited)");
    EXPECT_EQ(web->basicCredentials(), base64Encode("joe:new"));
    EXPECT_EQ(web->interval(), 3600);
    EXPECT_FALSE(web->commandLine());
    EXPECT_EQ(web->emailList(), "c@example.test ");
    EXPECT_EQ(web->ignoreTokens().size(), 2u);

    // The edit is to be saved at once. Only the window thread, on event 1040,
    // gives the lock back.
    EXPECT_FALSE(lockIsFree(*web));
    const std::vector<Event> events = recorder.take();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], (Event{MainWindowEvent::SaveVigils, 0}));
    EXPECT_EQ(events[1], (Event{MainWindowEvent::ReleaseVigilLock, web->id()}));
    auto toRelease = VigilTasks::takeLockToRelease(web->id());
    ASSERT_EQ(toRelease, web);
    toRelease->checkLock().unlock();
    EXPECT_TRUE(lockIsFree(*web));

    // Clearing the user leaves the password's login.
    editDialogs().web = [](const WebVigil&, WebSettingsRecord& r) {
        r.user = "";
        return EditDialogs::Ok;
    };
    VigilTasks::editSettings(web);
    EXPECT_EQ(web->basicCredentials(), base64Encode(":new"));
    EXPECT_EQ(recorder.take().size(), 1u);

    // A Vigil deleted meanwhile: no dialog, no event.
    vigilList().remove(web->id());
    VigilTasks::editSettings(web);
    EXPECT_TRUE(recorder.take().empty());
}

TEST(EditTask, FtpListKeptUnlessTheMoreDialogChangedIt) {
    EventRecorder recorder;
    auto ftp = VigilTasks::addFtpVigil(ftpRecord());
    editDialogs().ftp = [](const FtpVigil&, FtpSettingsRecord& r) {
        EXPECT_EQ(r.ignoreFiles, std::vector<std::string>{"index.txt"});
        r.directory = std::string("/incoming");
        r.ignoreFiles.clear();
        return EditDialogs::Ok;
    };
    VigilTasks::editSettings(ftp);
    EXPECT_EQ(ftp->directory(), "/incoming");
    EXPECT_EQ(ftp->user(), "joe");
    EXPECT_EQ(ftp->ignoreFiles(), std::vector<std::string>{"index.txt"});
}

TEST(VigilTasksOnTheList, StatusOfAllSkipsBusyVigilsAndRemoveLetsGo) {
    ScratchDir dir;
    std::filesystem::create_directory("cache");
    auto a = addTestVigil(VigilKind::Web, "a", VigilStatus::Changed);
    auto busy = addTestVigil(VigilKind::Web, "busy", VigilStatus::Changed);
    auto c = addTestVigil(VigilKind::Ftp, "c");
    // The task runs on a thread of its own; this one holds the busy Vigil's lock like its check.
    busy->checkLock().lock(-1);
    std::thread([] { VigilTasks::setStatusAll(VigilStatus::Inactive); }).join();
    busy->checkLock().unlock();
    EXPECT_EQ(a->status(), VigilStatus::Inactive);
    EXPECT_EQ(busy->status(), VigilStatus::Changed);
    EXPECT_EQ(c->status(), VigilStatus::Inactive);
    VigilTasks::setStatusAll(VigilStatus::StartWatching);
    EXPECT_EQ(a->status(), VigilStatus::NoChange);
    EXPECT_EQ(busy->status(), VigilStatus::NoChange);

    // Remove: out of the list, stopped, its copy gone once vigil.dat no longer names it.
    const std::string file = "cache/" + c->cacheFileName().substr(6);
    ScratchDir::write(file, "copy");
    EXPECT_EQ(VigilTasks::removeVigil(c->id()), c);
    EXPECT_TRUE(c->stopRequested());
    EXPECT_TRUE(std::filesystem::exists(file));
    ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(vigilList().size(), 2u);
}

TEST(VigilTasksOnTheList, SortOrders) {
    auto b = addTestVigil(VigilKind::Web, "b", VigilStatus::Changed);
    auto a = addTestVigil(VigilKind::Ftp, "a", VigilStatus::Inactive);
    auto c = addTestVigil(VigilKind::Gopher, "c", VigilStatus::Changed);
    b->setLastChecked(100);
    a->setLastChecked(300);
    c->setLastChecked(100);
    addTestVigil(VigilKind::Web, "0 never checked");
    auto order = [] {
        std::string names;
        for (const auto& v : vigilList().snapshot()) names += v->description() + ",";
        return names;
    };
    VigilTasks::sortVigils(943);
    EXPECT_EQ(order(), "a,b,c,0 never checked,");
    VigilTasks::sortVigils(944);
    EXPECT_EQ(order(), "b,c,0 never checked,a,");
    VigilTasks::sortVigils(1234);
    EXPECT_EQ(order(), "b,c,0 never checked,a,");
}

TEST(ResetConnection, ResolvesAgainAndReleasesTheLockOfADeletedVigil) {
    testApp();
    MainWindow window;
    MainWindowHandler handler;
    handler.handleEventsFor(&window);

    // A pooled endpoint whose stored address went stale.
    auto stale = std::make_unique<TcpClient>("127.0.0.1", 8080);
    stale->setAddress(in_addr{htonl(0x0AFFFF01)});
    TcpClient* endpoint = webPool().add(std::move(stale));

    auto found = addTestVigil(VigilKind::Web, "found", VigilStatus::HostNotResolved);
    found->setHost(std::string("127.0.0.1"));
    found->setPort(8080);
    auto lost = addTestVigil(VigilKind::Web, "lost", VigilStatus::HostNotResolved);
    lost->setHost(std::string("nowhere.invalid"));
    window.fillContainer();

    ASSERT_EQ(found->checkLock().lock(0), 0);
    VigilTasks::resetConnection(found);
    EXPECT_EQ(addressText(endpoint->address()), "127.0.0.1");
    EXPECT_EQ(found->status(), VigilStatus::NoChange);
    EXPECT_EQ(window.rowOf(found->id())->text(VigilCnrObject::StatusColumn), "No change");

    ASSERT_EQ(lost->checkLock().lock(0), 0);
    VigilTasks::resetConnection(lost);
    EXPECT_EQ(lost->status(), VigilStatus::HostNotResolved);
    // Deleted before the window thread got to event 1040: its lock is released all the same.
    VigilTasks::removeVigil(lost->id());
    pumpUntil([&] { return lockIsFree(*found) && lockIsFree(*lost); });
    EXPECT_TRUE(lockIsFree(*found));
    EXPECT_TRUE(lockIsFree(*lost));
}

TEST(EditTask, AnEmptiedGopherSelectorMeansNone) {
    EventRecorder recorder;
    GopherSettingsRecord record;
    record.description = std::string("Gopher");
    record.host = std::string("gopher.example");
    record.port = 70;
    record.selector = std::string("/old");
    record.active = 1;
    auto gopher = VigilTasks::addGopherVigil(record);
    editDialogs().gopher = [](const GopherVigil&, GopherSettingsRecord& r) {
        r.host = std::string("gopher.example");
        r.selector.reset();  // the user cleared the entry
        return EditDialogs::Ok;
    };
    VigilTasks::editSettings(gopher);
    EXPECT_EQ(gopher->selector(), " ");
    EXPECT_EQ(gopher->requestText(), "\r\n");
}
