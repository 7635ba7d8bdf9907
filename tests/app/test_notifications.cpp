#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QWindow>
#include <filesystem>
#include <future>
#include <thread>

#include "support/scratch_dir.h"
#include "app/main_window.h"
#include "app/main_window_handler.h"
#include "app/notifications.h"
#include "app/vigil_cnr_object.h"
#include "core/change_message.h"
#include "core/ftp_vigil.h"
#include "core/notify_overrides.h"
#include "core/web_vigil.h"
#include "support/probe_vigil.h"
#include "support/window_test_helpers.h"

namespace {

using Lines = std::vector<std::string>;

struct AppFirst {
    AppFirst() { testApp(); }
};

struct NotifyFixture : AppFirst {
    NotifyFixture() { handler.handleEventsFor(&window); }
    // Delivers a status event as a check posts it.
    bool post(int status, const Vigil& vigil) { return handler.dispatchHandlerEvent(status, vigil.id(), 0); }

    TraceScratch scratch;
    MainWindow window;
    MainWindowHandler handler;
};

std::shared_ptr<FtpVigil> mirror(uint16_t flags) {
    VigilParams p = probeParams("Mirror", VigilStatus::NoChange);
    p.host = "ftp.test";
    p.port = 21;
    p.flags = flags;
    auto v = std::make_shared<FtpVigil>(p, "anonymous", "guest", std::string("/pub"), std::string("readme.txt"),
                                        std::vector<std::string>{});
    appendToVigilList(v);
    return v;
}

}  // namespace

TEST(Notifications, FiveStepsInOrder) {
    NotifyFixture f;
    auto v = mirror(NotifyFlags::MessageBox | NotifyFlags::Tone | NotifyFlags::SoundFile | NotifyFlags::Program |
                    NotifyFlags::Email);
    v->setSoundFile(std::string("/nonexistent/ding.wav"));
    v->setCommand(std::string(TERVANE_ARGV_RECORDER) + " %desc %dir  %URL");
    v->setEmailList("someone@example.test");
    f.window.fillContainer();
    v->storeStatus(VigilStatus::Changed);

    EXPECT_TRUE(f.post(VigilStatus::Changed, *v));
    EXPECT_EQ(f.window.rowOf(v->id())->text(VigilCnrObject::StatusColumn), "Changed!");
    EXPECT_EQ(f.scratch.recordedArgs(),
              (Lines{TERVANE_ARGV_RECORDER, "Mirror", "/pub", "ftp://ftp.test/pub"}));
    // The mail thread reports its own trouble: here, no SMTP host.
    const std::string mailBox = std::string("message box: Tervane: ") + kMailNeedsSmtpHost;
    Lines trace;
    pumpUntil([&] {
        for (const std::string& line : f.scratch.traceLines()) trace.push_back(line);
        return !trace.empty() && trace.back() == mailBox;
    });
    ASSERT_EQ(trace.size(), 6u);
    EXPECT_EQ(trace[0], "tone: 100 Hz 100 ms");
    EXPECT_EQ(trace[1], "tone: 300 Hz 100 ms");
    EXPECT_EQ(trace[2], "sound: /nonexistent/ding.wav (no such file)");
    EXPECT_EQ(trace[3], "message box: Tervane: Mirror - Changed!");
    EXPECT_EQ(trace[4].rfind("run program: " + std::string(TERVANE_ARGV_RECORDER) + " Mirror /pub ftp://", 0), 0u);
    EXPECT_EQ(trace[5], mailBox);

    // A found file names it.
    v->setFlags(NotifyFlags::MessageBox);
    EXPECT_TRUE(f.post(VigilStatus::FileFound, *v));
    EXPECT_EQ(f.scratch.traceLines(), Lines{"message box: Tervane: Mirror - This file has been found - readme.txt"});
}

TEST(Notifications, FlagsAndOverridesGateTheFirstThreeStepsOnly) {
    NotifyFixture f;
    auto v = mirror(0);
    f.post(VigilStatus::Changed, *v);
    EXPECT_TRUE(f.scratch.traceLines().empty());

    NotifyOverrides::update([](GlobalOverrides& o) {
        o.showAllBoxes = true;
        o.playAllTones = true;
        o.playAllSounds = true;
        o.overrideSoundFile = "/nonexistent/all.wav";
    });
    f.post(VigilStatus::Changed, *v);
    EXPECT_EQ(f.scratch.traceLines(), (Lines{"tone: 100 Hz 100 ms", "tone: 300 Hz 100 ms",
                                            "sound: /nonexistent/all.wav (no such file)",
                                            "message box: Tervane: Mirror - Changed!"}));

    // "For no Vigil" beats the Vigil's own flags, but not for the program.
    NotifyOverrides::update([](GlobalOverrides& o) {
        o = GlobalOverrides{};
        o.showNoBoxes = o.playNoTones = o.playNoSounds = true;
    });
    v->setFlags(NotifyFlags::MessageBox | NotifyFlags::Tone | NotifyFlags::SoundFile | NotifyFlags::Program);
    v->setCommand(std::string("/nonexistent/notify"));
    f.post(VigilStatus::Changed, *v);
    EXPECT_EQ(f.scratch.traceLines(), Lines{"run program failed: /nonexistent/notify"});

    // A Vigil deleted after its event was posted gets nothing.
    EXPECT_TRUE(f.handler.dispatchHandlerEvent(VigilStatus::Changed, 4242, 0));
    EXPECT_TRUE(f.scratch.traceLines().empty());
}

TEST(Notifications, BlanksBeforeTheProgramNeverRunTheDescription) {
    NotifyFixture f;
    // An imported title can name a program; it is only ever an argument.
    auto v = mirror(NotifyFlags::Program);
    v->setDescription(std::string(TERVANE_ARGV_RECORDER));
    v->setCommand(std::string(" %desc from-template"));
    f.post(VigilStatus::Changed, *v);
    EXPECT_EQ(f.scratch.traceLines(), Lines{"run program failed: %desc from-template"});
    v->setCommand(std::string("  "));
    f.post(VigilStatus::Changed, *v);
    EXPECT_EQ(f.scratch.traceLines(), Lines{"run program: nothing started, no program word"});

    v->setCommand(std::string(" \t ") + TERVANE_ARGV_RECORDER + " %dir ");
    f.post(VigilStatus::Changed, *v);
    EXPECT_EQ(f.scratch.recordedArgs(), (Lines{TERVANE_ARGV_RECORDER, "/pub"}));
}

TEST(Notifications, FtpErrorBoxWhateverTheFlags) {
    NotifyFixture f;
    auto v = mirror(0);
    f.window.fillContainer();
    NotifyOverrides::update([](GlobalOverrides& o) { o.showNoBoxes = true; });
    auto boxes = [] {
        std::vector<QMessageBox*> open;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) open.push_back(box);
        return open;
    };
    // A dialog the user types in keeps the keys: the boxes neither wait nor take them.
    QDialog edit(&f.window);
    edit.open();
    v->storeStatus(VigilStatus::FtpReplyBase + 530);
    EXPECT_TRUE(f.post(VigilStatus::FtpReplyBase + 530, *v));
    EXPECT_EQ(f.window.rowOf(v->id())->text(VigilCnrObject::StatusColumn), "Error");
    // One box per Vigil at a time: more failures while it is open add none.
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(f.post(VigilStatus::FtpReplyBase + 500, *v));
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(QApplication::activeModalWidget(), &edit);
    EXPECT_EQ(QApplication::activeWindow(), &edit);
    // Owned by the main window, so that it stays above it once the dialog closes.
    QMessageBox* box = boxes()[0];
    EXPECT_EQ(box->parentWidget(), &f.window);
    EXPECT_EQ(box->windowHandle()->transientParent(), f.window.windowHandle());
    EXPECT_TRUE(box->isWindow() && !box->isModal() && box->testAttribute(Qt::WA_ShowWithoutActivating));
    box->close();
    EXPECT_TRUE(f.post(VigilStatus::FtpReplyBase + 500, *v));
    ASSERT_EQ(boxes().size(), 1u);
    boxes()[0]->close();
    EXPECT_EQ(f.scratch.traceLines(), (Lines{"message box: Tervane: Mirror - FTP Error - Not logged in",
                                            "message box: Tervane: Mirror - FTP Error - Unknown"}));

    // Just outside the range: no box, no refresh.
    v->storeStatus(VigilStatus::NoChange);
    EXPECT_FALSE(f.post(VigilStatus::FtpReplyBase, *v));
    EXPECT_FALSE(f.post(VigilStatus::FtpReplyBase + 600, *v));
    EXPECT_TRUE(f.scratch.traceLines().empty());
    EXPECT_EQ(f.window.rowOf(v->id())->text(VigilCnrObject::StatusColumn), "Error");
}

TEST(Notifications, MovedPageAdoptsTheNewLocationOnceTheCheckLetsGo) {
    ScratchDir dir;
    std::filesystem::create_directory("cache");
    NotifyFixture f;
    VigilParams p = probeParams("Moved", VigilStatus::NoChange);
    p.host = "old.test";
    p.port = 80;
    auto web = std::make_shared<WebVigil>(p, SimpleString("/page"), ChangeMethod::Detect, 0, 0,
                                          std::vector<std::string>{}, std::nullopt);
    appendToVigilList(web);
    f.window.fillContainer();
    ScratchDir::write("cache/00000009.mon", "HTTP/1.0 301 Moved Permanently\r\nLocation: http://new.test:81/x\r\n\r\n");
    web->responseCode("cache\\00000009.mon");

    // The posting check still holds the lock for a moment.
    std::promise<void> taken;
    std::thread check([&web, &taken] {
        web->checkLock().lock(-1);
        taken.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        web->checkLock().unlock();
    });
    taken.get_future().wait();
    EXPECT_FALSE(f.post(VigilStatus::MovedPermanently, *web));
    check.join();
    EXPECT_EQ(web->url(), "http://new.test:81/x");
    EXPECT_EQ(f.window.rowOf(web->id())->text(VigilCnrObject::StatusColumn), "No change");
}
