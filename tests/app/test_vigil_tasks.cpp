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
#include "core/locks.h"
#include "core/program_settings.h"
#include "core/text_utils.h"
#include "core/web_vigil.h"
#include "net/tcp_client.h"
#include "platform/net_socket.h"
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
    r.flags = NotifyFlags::Tone | NotifyFlags::Program;
    r.active = 1;
    r.program = std::string("notify %desc");
    r.options = WebOptions::IgnoreTags;
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
    r.port = 2121;
    r.directory = std::string("/pub");
    r.user = std::string("joe");
    r.password = std::string("secret");
    r.ignoreFiles = {"index.txt"};
    r.active = 1;
    return r;
}

// Holds a Vigil's lock on a thread of its own, like a running check, until released.
class HeldElsewhere {
public:
    explicit HeldElsewhere(Vigil& vigil) {
        std::promise<void> taken;
        thread_ = std::thread([&vigil, &taken, this] {
            vigil.checkLock().lock(-1);
            taken.set_value();
            release_.get_future().wait();
            vigil.checkLock().unlock();
        });
        taken.get_future().wait();
    }
    ~HeldElsewhere() {
        release_.set_value();
        thread_.join();
    }

private:
    std::promise<void> release_;
    std::thread thread_;
};

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
    ASSERT_EQ(vigilList.size(), 2u);
    EXPECT_EQ(vigilList[1], web);
    EXPECT_EQ(recorder.take(), (std::vector<Event>{{MainWindowEvent::StatusLineText, StatusTextIndex::AddingWeb},
                                                   {MainWindowEvent::VigilAdded, 1},
                                                   {VigilStatus::NoChange, web->id()},
                                                   {MainWindowEvent::StatusLineText, StatusTextIndex::Blank}}));
    EXPECT_EQ(web->url(), "http://news.test:8080/today");
    EXPECT_EQ(web->description(), "News");
    EXPECT_EQ(web->interval(), 3600);
    EXPECT_EQ(web->intervalMode(), IntervalMode::On);
    EXPECT_EQ(web->flags(), NotifyFlags::Tone | NotifyFlags::Program);
    EXPECT_EQ(web->commandLine(false), "notify %desc");
    EXPECT_EQ(web->emailList(), "a@example.test b@example.test ");
    EXPECT_EQ(web->ignoreTokens(), (std::vector<std::string>{"ad", "counter"}));
    EXPECT_EQ(web->changeMethod(), ChangeMethod::Detect);
    EXPECT_EQ(web->basicCredentials(), base64Encode("joe:pa:ss"));
    EXPECT_EQ(web->status(), VigilStatus::NoChange);

    // Without a user there are no credentials; an empty path asks for "/".
    WebSettingsRecord bare = webRecord("", "ignored");
    bare.path = "";
    bare.interval = 0;
    auto plain = VigilTasks::addWebVigil(bare);
    EXPECT_FALSE(plain->basicCredentials());
    EXPECT_EQ(plain->url(), "http://news.test:8080/");
    EXPECT_EQ(plain->intervalMode(), IntervalMode::Off);
    EXPECT_NE(plain->id(), web->id());

    FtpSettingsRecord anonymous = ftpRecord();
    anonymous.user.reset();
    anonymous.password.reset();
    auto ftp = VigilTasks::addFtpVigil(anonymous);
    EXPECT_EQ(ftp->user(), "anonymous");
    EXPECT_EQ(ftp->password(), AnonymousFtpPassword);
    EXPECT_EQ(ftp->directory(), "/pub");
    EXPECT_EQ(ftp->ignoreFiles(), std::vector<std::string>{"index.txt"});

    GopherSettingsRecord g;
    g.host = std::string("hole.test");
    g.port = 70;
    g.selector = std::string("/about");
    auto gopher = VigilTasks::addGopherVigil(g);
    EXPECT_EQ(gopher->url(), "gopher://hole.test:70/1/about");
    const std::vector<Event> events = recorder.take();
    EXPECT_EQ(events.front(), (Event{MainWindowEvent::StatusLineText, StatusTextIndex::AddingWeb}));
    EXPECT_EQ(events[4], (Event{MainWindowEvent::StatusLineText, StatusTextIndex::AddingFtp}));
    EXPECT_EQ(events[8], (Event{MainWindowEvent::StatusLineText, StatusTextIndex::AddingGopher}));
    EXPECT_EQ(events[9], (Event{MainWindowEvent::VigilAdded, 4}));
}

TEST(AddTasks, RowAddedByTheWindowEvenAfterTheListMoved) {
    testApp();
    MainWindow window;
    MainWindowHandler handler;
    handler.handleEventsFor(&window);
    window.fillContainer();
    setVigilStatusCallback(vigilStatusCallback);
    auto zebra = VigilTasks::addGopherVigil(GopherSettingsRecord{});
    zebra->setDescription(std::string("Zebra"));
    pumpUntil([&] { return window.rowOf(zebra->id()) != nullptr; });

    // A sort between the append and the event: position 0 now holds a Vigil with a row.
    auto apple = addTestVigil(VigilKind::Web, "Apple");
    VigilTasks::sortVigils(942);
    postWindowEvent(MainWindowEvent::VigilAdded, 1);
    pumpUntil([&] { return window.rowOf(apple->id()) != nullptr; });
    EXPECT_EQ(window.container()->topLevelItemCount(), 2);
    EXPECT_NE(window.rowOf(apple->id()), nullptr);
    EXPECT_EQ(window.statusLineText(), " ");
}

TEST(EditTask, AppliesChangedFieldsAndReleasesTheWindowThreadsLock) {
    EventRecorder recorder;
    testApp();
    auto web = VigilTasks::addWebVigil(webRecord("joe", "old"));
    web->setSoundFile(std::string("ding.wav"));
    recorder.take();

    WebSettingsRecord seen;
    editDialogs().web = [&seen](int, WebSettingsRecord& r) {
        seen = r;
        r.description = std::string("News (edited)");
        r.host = std::string("news.test");
        r.path = "/today";
        r.port = 8080;
        r.flags = NotifyFlags::MessageBox;
        r.active = 1;
        r.interval = 0;  // kept
        r.password = "new";
        r.program.reset();
        r.emailList = "c@example.test";
        r.ignoreTokens = {"dropped"};  // tokensChanged stays 0
        return EditDialogs::Ok;
    };
    ASSERT_EQ(web->checkLock().lock(0), 0);  // as the Edit command does
    VigilTasks::editSettings(web->id());

    // The dialog found what it does not read from the Vigil.
    EXPECT_STREQ(seen.user.text(), "joe");
    EXPECT_STREQ(seen.password.text(), "old");
    EXPECT_EQ(seen.program, "notify %desc");
    EXPECT_EQ(seen.soundFile, "ding.wav");
    EXPECT_EQ(seen.ignoreTokens.size(), 2u);
    EXPECT_EQ(seen.options, WebOptions::IgnoreTags);
    EXPECT_STREQ(seen.emailList.text(), "a@example.test b@example.test ");

    EXPECT_EQ(web->description(), "News (edited)");
    EXPECT_EQ(web->basicCredentials(), base64Encode("joe:new"));
    EXPECT_EQ(web->flags(), NotifyFlags::MessageBox);
    EXPECT_EQ(web->interval(), 3600);
    EXPECT_FALSE(web->commandLine(false));
    EXPECT_EQ(web->emailList(), "c@example.test ");
    EXPECT_EQ(web->ignoreTokenCount(), 2);

    // Only the window thread, on event 1040, gives the lock back.
    EXPECT_FALSE(lockIsFree(*web));
    const std::vector<Event> events = recorder.take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], (Event{MainWindowEvent::ReleaseVigilLock, web->id()}));
    auto toRelease = VigilTasks::takeLockToRelease(web->id());
    ASSERT_EQ(toRelease, web);
    toRelease->checkLock().unlock();
    EXPECT_TRUE(lockIsFree(*web));

    // Clearing the user drops the credentials; Cancel changes nothing but still releases.
    editDialogs().web = [](int, WebSettingsRecord& r) {
        r.host = std::string("news.test");
        r.user = "";
        r.password = "";
        return EditDialogs::Ok;
    };
    VigilTasks::editSettings(web->id());
    EXPECT_FALSE(web->basicCredentials());
    editDialogs().web = [](int, WebSettingsRecord& r) {
        r.description = std::string("never");
        return EditDialogs::Cancel;
    };
    VigilTasks::editSettings(web->id());
    EXPECT_EQ(web->description(), "News (edited)");
    EXPECT_EQ(recorder.take().size(), 2u);

    // A Vigil deleted meanwhile: no dialog, no event.
    VigilTasks::editSettings(4242);
    EXPECT_TRUE(recorder.take().empty());
}

TEST(EditTask, FtpListKeptUnlessTheMoreDialogChangedIt) {
    EventRecorder recorder;
    auto ftp = VigilTasks::addFtpVigil(ftpRecord());
    editDialogs().ftp = [](int, FtpSettingsRecord& r) {
        EXPECT_EQ(r.ignoreFiles, std::vector<std::string>{"index.txt"});
        r.host = std::string("ftp2.test");
        r.directory = std::string("/incoming");
        r.lookForFile = std::string("readme.txt");
        r.user = std::string("joe");
        r.password = std::string("secret");
        r.ignoreFiles.clear();
        r.active = 1;
        return EditDialogs::Ok;
    };
    VigilTasks::editSettings(ftp->id());
    EXPECT_EQ(ftp->host(), "ftp2.test");
    EXPECT_EQ(ftp->directory(), "/incoming");
    EXPECT_EQ(ftp->lookForFile(), "readme.txt");
    EXPECT_EQ(ftp->ignoreFiles(), std::vector<std::string>{"index.txt"});
    EXPECT_EQ(ftp->options(), 0);

    editDialogs().ftp = [](int, FtpSettingsRecord& r) {
        r.ignoreFiles = {"a", "b"};
        r.filesChanged = 1;
        r.lookForFile.reset();
        return EditDialogs::Ok;
    };
    VigilTasks::editSettings(ftp->id());
    EXPECT_EQ(ftp->ignoreFileCount(), 2);
    EXPECT_FALSE(ftp->lookForFile());
}

TEST(VigilTasksOnTheList, StatusOfAllSkipsBusyVigilsAndRemoveLetsGo) {
    ScratchDir dir;
    std::filesystem::create_directory("cache");
    auto a = addTestVigil(VigilKind::Web, "a", VigilStatus::Changed);
    auto busy = addTestVigil(VigilKind::Web, "busy", VigilStatus::Changed);
    auto c = addTestVigil(VigilKind::Ftp, "c");
    {
        HeldElsewhere check(*busy);
        VigilTasks::setStatusAll(VigilStatus::Inactive);
    }
    EXPECT_EQ(a->status(), VigilStatus::Inactive);
    EXPECT_EQ(busy->status(), VigilStatus::Changed);
    EXPECT_EQ(c->status(), VigilStatus::Inactive);
    VigilTasks::setStatusAll(VigilStatus::StartWatching);
    EXPECT_EQ(a->status(), VigilStatus::NoChange);
    EXPECT_EQ(busy->status(), VigilStatus::NoChange);

    // Remove: out of the list, stopped, its copy gone; whoever holds it still may use it.
    const std::string file = "cache/" + c->cacheFileName().substr(6);
    ScratchDir::write(file, "copy");
    std::shared_ptr<Vigil> removed = VigilTasks::removeVigil(c->id());
    EXPECT_EQ(removed, c);
    EXPECT_TRUE(c->stopRequested());
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(findVigil(c->id()), nullptr);
    EXPECT_EQ(vigilList.size(), 2u);
    EXPECT_EQ(VigilTasks::removeVigil(c->id()), nullptr);
}

TEST(VigilTasksOnTheList, SortOrders) {
    auto b = addTestVigil(VigilKind::Web, "b", VigilStatus::Changed);
    auto a = addTestVigil(VigilKind::Ftp, "a", VigilStatus::Inactive);
    auto c = addTestVigil(VigilKind::Gopher, "c", VigilStatus::Changed);
    auto never = addTestVigil(VigilKind::Web, "0 never checked");
    b->setLastChecked(100);
    a->setLastChecked(300);
    c->setLastChecked(100);
    auto order = [] {
        std::string names;
        for (const auto& v : vigilList) names += v->description() + ",";
        return names;
    };
    VigilTasks::sortVigils(942);
    EXPECT_EQ(order(), "0 never checked,a,b,c,");
    VigilTasks::sortVigils(943);
    EXPECT_EQ(order(), "a,b,c,0 never checked,");
    VigilTasks::sortVigils(944);
    EXPECT_EQ(order(), "b,c,0 never checked,a,");
    VigilTasks::sortVigils(982);
    EXPECT_EQ(order(), "c,a,0 never checked,b,");
    VigilTasks::sortVigils(1234);
    EXPECT_EQ(order(), "c,a,0 never checked,b,");
}

TEST(ResetConnection, ResolvesAgainAndReleasesTheLockOfADeletedVigil) {
    testApp();
    MainWindow window;
    MainWindowHandler handler;
    handler.handleEventsFor(&window);

    // A pooled endpoint whose stored address went stale.
    auto* endpoint = new TcpClient("127.0.0.1", 8080);
    endpoint->setAddress(in_addr{htonl(0x0AFFFF01)});
    lockMutex(webPoolLock, -1);
    webPool.push_back(endpoint);
    unlockMutex(webPoolLock);

    auto found = addTestVigil(VigilKind::Web, "found", VigilStatus::HostNotResolved);
    found->setHost(std::string("127.0.0.1"));
    found->setPort(8080);
    auto lost = addTestVigil(VigilKind::Web, "lost", VigilStatus::HostNotResolved);
    lost->setHost(std::string("nowhere.invalid"));
    window.fillContainer();

    ASSERT_EQ(found->checkLock().lock(0), 0);
    VigilTasks::resetConnection(found->id());
    EXPECT_EQ(addressText(endpoint->address()), "127.0.0.1");
    EXPECT_EQ(found->status(), VigilStatus::NoChange);
    EXPECT_EQ(window.rowOf(found->id())->text(VigilCnrObject::StatusColumn), "No change");

    ASSERT_EQ(lost->checkLock().lock(0), 0);
    VigilTasks::resetConnection(lost->id());
    EXPECT_EQ(lost->status(), VigilStatus::HostNotResolved);
    // Deleted before the window thread got to event 1040: its lock is released all the same.
    VigilTasks::removeVigil(lost->id());
    pumpUntil([&] { return lockIsFree(*found) && lockIsFree(*lost); });
    EXPECT_TRUE(lockIsFree(*found));
    EXPECT_TRUE(lockIsFree(*lost));
}

TEST(RowIcons, FollowTheStatusIconsSetting) {
    testApp();
    MainWindow window;
    auto v = addTestVigil(VigilKind::Ftp, "x", VigilStatus::Changed);
    window.fillContainer();
    EXPECT_EQ(window.rowOf(v->id())->iconId(), IconId::Ftp);
    ProgramSettings::update([](SettingsValues& s) { s.statusIcons = true; });
    refreshRowIcons(window);
    EXPECT_EQ(window.rowOf(v->id())->iconId(), IconId::Changed);
}
