#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <vector>

#include "core/command_line.h"
#include "core/program_settings.h"
#include "core/run_state.h"

namespace {

class Switches : public ::testing::Test {
protected:
    void SetUp() override {
        runState() = RunState{};
        ProgramSettings::reset();
    }
    static void read(std::initializer_list<const char*> words) {
        std::vector<const char*> argv{"tervane"};
        argv.insert(argv.end(), words);
        readSwitches(static_cast<int>(argv.size()), argv.data());
    }
};

}  // namespace

TEST_F(Switches, NamesInAnyCaseTakeTheirFileNames) {
    read({"/DEBUG", "/Text", "out.txt", "/HTML", "/batch", "/Quiet", "other"});
    const RunState& s = runState();
    EXPECT_TRUE(s.keepOldCacheFiles);
    EXPECT_EQ(s.textReportName, "out.txt");
    EXPECT_EQ(s.htmlReportName, "/batch") << "the name after /html is skipped as a switch";
    EXPECT_FALSE(s.batchMode);
    EXPECT_TRUE(s.quietMode);
}

TEST_F(Switches, FileSwitchAsLastArgumentSetsNothing) {
    read({"/text"});
    EXPECT_EQ(runState().textReportName, "");
    read({"/wav"});
    EXPECT_EQ(runState().batchSoundName, "");
    EXPECT_FALSE(runState().batchSoundExists);
}

TEST_F(Switches, WavNameIsAlsoReadAsASwitch) {
    read({"/wav", "/batch"});
    EXPECT_EQ(runState().batchSoundName, "/batch");
    EXPECT_FALSE(runState().batchSoundExists);
    EXPECT_TRUE(runState().batchMode);

    char path[] = "/tmp/tervane-wav-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    read({"/WAV", path});
    EXPECT_TRUE(runState().batchSoundExists);
    read({"/wav", "/nonexistent/x.wav"});
    EXPECT_FALSE(runState().batchSoundExists) << "the last name given decides";
    std::remove(path);
}

TEST_F(Switches, ProxyHostAndPort) {
    struct Case {
        const char* arg;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"/hproxy:proxy.lan", "proxy.lan", 80},       {"/HPROXY:proxy.lan:", "proxy.lan", 80},
        {"/hproxy:proxy.lan:3128", "proxy.lan", 3128}, {"/hproxy:p:65535", "p", 65535},
        {"/hproxy:p:0", "p", 80},                      {"/hproxy:p:99999", "p", 80},
        {"/hproxy:p:80x", "p", 80},
    };
    for (const Case& c : cases) {
        ProgramSettings::reset();
        read({c.arg});
        const SettingsValues s = ProgramSettings::snapshot();
        EXPECT_TRUE(s.useHttpProxy) << c.arg;
        EXPECT_TRUE(s.proxyFromCommandLine) << c.arg;
        EXPECT_EQ(s.httpProxyHost, c.host) << c.arg;
        EXPECT_EQ(s.httpProxyPort, c.port) << c.arg;
    }
}

TEST_F(Switches, ProxyAuthorizationNeedsUserAndPassword) {
    read({"/huser:joe"});
    SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.httpProxyUser, "joe");
    EXPECT_FALSE(s.httpProxyNeeds);
    EXPECT_EQ(s.proxyAuthorization, "");
    EXPECT_FALSE(s.useHttpProxy);

    read({"/HUSER:Aladdin", "/hpass:open sesame"});
    s = ProgramSettings::snapshot();
    EXPECT_TRUE(s.httpProxyNeeds);
    EXPECT_EQ(s.httpProxyPass, "open sesame");
    EXPECT_EQ(s.proxyAuthorization, "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
}

TEST(CurrentYear, FromTheLocalClock) {
    // Mid-year, so no time zone moves it across New Year.
    EXPECT_EQ(yearFromClock(1000000000), 2001);
    EXPECT_EQ(yearFromClock(1720000000), 2024);
    setCurrentYear();
    EXPECT_GE(runState().currentYear, 2024);
}
