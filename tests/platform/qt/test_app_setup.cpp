#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <future>

#include "platform/message_box.h"
#include "platform/qt/app_setup.h"
#include "platform/tone.h"
#include "support/qt_test_app.h"
#include "support/server_process.h"
#include "support/tervane_run.h"

namespace {

std::string platformAfter(std::initializer_list<const char*> words) {
    std::vector<const char*> argv{"tervane"};
    argv.insert(argv.end(), words);
    prepareQtPlatform(static_cast<int>(argv.size()), argv.data());
    const char* v = std::getenv("QT_QPA_PLATFORM");
    return v ? v : "";
}

void clearDisplayEnvironment() {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
}

}  // namespace

TEST(AppSetup, BatchWithoutDisplayRunsOffscreen) {
    clearDisplayEnvironment();
    EXPECT_EQ(platformAfter({"/quiet"}), "");
    EXPECT_EQ(platformAfter({"/Batch"}), "offscreen");

    clearDisplayEnvironment();
    setenv("DISPLAY", ":0", 1);
    EXPECT_EQ(platformAfter({"/batch"}), "");

    clearDisplayEnvironment();
    setenv("QT_QPA_PLATFORM", "minimal", 1);
    EXPECT_EQ(platformAfter({"/batch"}), "minimal");

    struct sigaction current {};
    sigaction(SIGPIPE, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
}

TEST(AppSetup, HeadlessMessageBoxAndToneNeverWait) {
    testApp();
    ASSERT_TRUE(isHeadlessPlatform());
    installQtServices();
    testing::internal::CaptureStdout();
    showMessageBox("Tervane", "on the window thread");
    auto worker = std::async(std::launch::async, [] {
        showMessageBox("Problem", "from a worker");
        soundTone(440, 20);
    });
    ASSERT_EQ(worker.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    soundTone(50, 50);
    QCoreApplication::processEvents();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Tervane: on the window thread\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Problem: from a worker\n"), std::string::npos) << out;
}

TEST(AppSetup, ProgramPreparesItsFolderAndEnds) {
    TempDir dir;
    EXPECT_EQ(runTervane({"/BATCH", "/quiet", "/hproxy:proxy:3128"}, dir.path()).exitCode, 0);
    struct stat st {};
    EXPECT_EQ(stat(dir.file("cache").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}
