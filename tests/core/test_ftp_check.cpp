#include <gtest/gtest.h>
#include <sys/socket.h>
#include <utime.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/check_slots.h"
#include "core/ftp_vigil.h"
#include "core/program_settings.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "net/tcp_client.h"
#include "platform/files.h"
#include "support/ftp_script.h"
#include "support/real_servers.h"
#include "support/scratch_dir.h"

namespace {

// A check as the scheduler runs it: a slot first, which the check gives back;
// then the save of vigil.dat, after which the copy it replaced goes.
int checkNow(FtpVigil& vigil) {
    checkSlots().take(1);
    vigil.check();
    EXPECT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    return vigil.status();
}

void setModified(const std::string& path, time_t when) {
    utimbuf times{when, when};
    ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

// Runs each test in a fresh working folder with a "cache" folder, beside an FTP
// server on 127.0.0.1 that serves a folder of its own.
class FtpCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramSettings::update([](SettingsValues& v) { v.timeOutMs = 3000; });
        ASSERT_TRUE(createDirectory("cache"));
        std::filesystem::create_directory(served_.file("pub"));
        ASSERT_TRUE(writeWholeFile(served_.file("pub/a.txt"), "a"));
        ASSERT_TRUE(writeWholeFile(served_.file("pub/read me.txt"), "two words"));
        ASSERT_TRUE(writeWholeFile(served_.file("pub/skip.log"), "log"));
        ASSERT_TRUE(writeWholeFile(served_.file("README.TXT"), "top"));
        setModified(served_.file("pub/read me.txt"), 1577966400);  // 2 January 2020
        ASSERT_TRUE(served_.start("watcher", "secret")) << served_.log();
    }
    void TearDown() override {
        served_.stop();
        ProgramSettings::reset();
    }

    std::unique_ptr<FtpVigil> vigil(const std::string& user, const std::string& password,
                                    const std::optional<std::string>& directory,
                                    const std::optional<std::string>& lookFor = std::nullopt,
                                    const std::vector<std::string>& ignore = {}) const {
        VigilParams p;
        p.host = "127.0.0.1";
        p.port = served_.port();
        p.description = "Mirror";
        return std::make_unique<FtpVigil>(p, user, password, directory, lookFor, ignore);
    }

    static std::vector<std::string> cacheFiles() { return listFiles("cache"); }

    ScratchDir scratch_;
    PyFtpd served_;
};

}  // namespace

TEST_F(FtpCheck, ListingsComparedFileByFile) {
    auto v = vigil("watcher", "secret", "/pub", std::nullopt, {"skip.log", "temp.txt"});

    // The first listing is the reference and never a change.
    EXPECT_EQ(checkNow(*v), VigilStatus::NoChange);
    ASSERT_EQ(cacheFiles().size(), 1u);
    const std::string first = readWholeFile(localPath(v->cacheFileName()));
    EXPECT_NE(first.find(" read me.txt\r\n"), std::string::npos) << first;
    EXPECT_EQ(v->lastChanged(), 0);

    // Unchanged: the new copy replaces the old one.
    EXPECT_EQ(checkNow(*v), VigilStatus::NoChange);
    EXPECT_EQ(cacheFiles().size(), 1u);
    EXPECT_EQ(readWholeFile(localPath(v->cacheFileName())), first);

    // An ignored name neither shows nor counts as a change.
    ASSERT_TRUE(writeWholeFile(served_.file("pub/b.txt"), "b"));
    ASSERT_TRUE(writeWholeFile(served_.file("pub/temp.txt"), "t"));
    EXPECT_EQ(checkNow(*v), VigilStatus::Changed);
    EXPECT_NE(v->lastChanged(), 0);
    ASSERT_EQ(v->addedCount(), 1);
    EXPECT_EQ(v->addedFileName(0), "b.txt");
    EXPECT_EQ(v->removedCount() + v->changedCount(), 0);

    std::remove(served_.file("pub/a.txt").c_str());
    setModified(served_.file("pub/read me.txt"), 1262433600);  // 2 January 2010
    setModified(served_.file("pub/skip.log"), 1262433600);
    EXPECT_EQ(checkNow(*v), VigilStatus::Changed);
    EXPECT_EQ(v->addedCount(), 0);
    ASSERT_EQ(v->removedCount(), 1);
    EXPECT_EQ(v->removedFileName(0), "a.txt");
    ASSERT_EQ(v->changedCount(), 1);
    EXPECT_EQ(v->changedFileName(0), "read me.txt");
    struct tm local {};
    const time_t changedAt = v->changedFileTime(0);
    localtime_r(&changedAt, &local);
    EXPECT_EQ(local.tm_year + 1900, 2010);

    // Ignoring a name later works from the next comparison on.
    v->addIgnoreFile("b.txt");
    std::remove(served_.file("pub/b.txt").c_str());
    EXPECT_EQ(checkNow(*v), VigilStatus::NoChange);
    EXPECT_EQ(v->addedCount() + v->removedCount() + v->changedCount(), 0);
    EXPECT_EQ(cacheFiles().size(), 1u);
}

TEST_F(FtpCheck, FailuresBecomeFtpStatusesAndKeepTheReference) {
    // Refused login and missing directory on a first fetch: no cache file at all.
    auto refused = vigil("watcher", "wrong", "/pub");
    EXPECT_EQ(checkNow(*refused), VigilStatus::FtpReplyBase + 530);
    auto missing = vigil("watcher", "secret", "/nowhere");
    EXPECT_EQ(checkNow(*missing), VigilStatus::FtpReplyBase + 550);
    EXPECT_TRUE(cacheFiles().empty());

    // A later failure keeps the previous listing and the lists of the last comparison.
    auto v = vigil("watcher", "secret", "/pub");
    ASSERT_EQ(checkNow(*v), VigilStatus::NoChange);
    ASSERT_TRUE(writeWholeFile(served_.file("pub/b.txt"), "b"));
    ASSERT_EQ(checkNow(*v), VigilStatus::Changed);
    const std::string reference = v->cacheFileName();
    v->setPassword("wrong");
    ASSERT_TRUE(writeWholeFile(served_.file("pub/c.txt"), "c"));
    EXPECT_EQ(checkNow(*v), VigilStatus::FtpReplyBase + 530);
    EXPECT_EQ(v->cacheFileName(), reference);
    EXPECT_EQ(cacheFiles().size(), 1u);
    ASSERT_EQ(v->addedCount(), 1);
    EXPECT_EQ(v->addedFileName(0), "b.txt");
    // Back in: compared with the listing before the failure.
    v->setPassword("secret");
    EXPECT_EQ(checkNow(*v), VigilStatus::Changed);
    ASSERT_EQ(v->addedCount(), 1);
    EXPECT_EQ(v->addedFileName(0), "c.txt");
    const std::string latest = v->cacheFileName();

    // A control byte in a command's value refuses the check unsent; all else stays.
    v->setPassword("secret\r\nDELE a.txt");
    EXPECT_EQ(checkNow(*v), VigilStatus::BadRequest);
    EXPECT_EQ(v->password(), "secret\r\nDELE a.txt");
    EXPECT_EQ(v->cacheFileName(), latest);
    v->setPassword("secret");

    // Nothing listening on the port.
    served_.stop();
    EXPECT_EQ(checkNow(*v), VigilStatus::FtpReplyBase + 425);
}

TEST_F(FtpCheck, AnonymousWithoutDirectoryListsTheRoot) {
    auto v = vigil("anonymous", AnonymousFtpPassword, std::nullopt);
    EXPECT_EQ(checkNow(*v), VigilStatus::NoChange);
    const std::string listing = readWholeFile(localPath(v->cacheFileName()));
    EXPECT_NE(listing.find(" pub\r\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find(" README.TXT\r\n"), std::string::npos) << listing;
}

TEST_F(FtpCheck, LookedForFileIsFoundFirstAndLater) {
    // Present in the very first listing, whatever its case.
    auto atOnce = vigil("anonymous", AnonymousFtpPassword, "/", "readme.txt");
    EXPECT_EQ(checkNow(*atOnce), VigilStatus::FileFound);
    EXPECT_EQ(checkNow(*atOnce), VigilStatus::FileFound);

    auto later = vigil("watcher", "secret", "/pub", "new release.zip");
    EXPECT_EQ(checkNow(*later), VigilStatus::NoChange);
    EXPECT_EQ(checkNow(*later), VigilStatus::NoChange);
    ASSERT_TRUE(writeWholeFile(served_.file("pub/New Release.zip"), "z"));
    // Found wins over changed; the lists still tell what changed.
    EXPECT_EQ(checkNow(*later), VigilStatus::FileFound);
    EXPECT_EQ(later->addedCount(), 1);
    EXPECT_EQ(checkNow(*later), VigilStatus::FileFound);

    // A failed fetch is no occasion to look: the old listing holds the file.
    served_.stop();
    EXPECT_EQ(checkNow(*later), VigilStatus::FtpReplyBase + 425);
}

// vsftpd: another listing format and a multi-line greeting.
// A check against a scripted FTP server, for endings no real server makes.
class FtpCheckScripted : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramSettings::update([](SettingsValues& v) { v.timeOutMs = 1000; });
    }
    void TearDown() override { ProgramSettings::reset(); }

    ScratchDir dir_;
};

TEST_F(FtpCheckScripted, ListingCutShortIsAFailedCheck) {
    // How the server ends the next listing's data connection.
    enum Ending { Close, Reset, Stall, TooLarge };
    std::atomic<Ending> ending{Close};
    const std::string tooLarge(static_cast<size_t>(TcpClient::kMaxReplyBytes) + 1, 'x');
    auto list = [&](Connection& c, const sockaddr_in& to) {
        Socket data = openStreamSocket();
        if (connectWithin(data, to, 2000) != ConnectOk) return;
        sendAll(data, ending == Close ? kListing : ending == TooLarge ? tooLarge : kListing.substr(0, 30), 20000);
        std::this_thread::sleep_for(std::chrono::milliseconds(ending == Stall ? 1500 : 100));
        if (ending == Reset) {
            const linger now{1, 0};
            setsockopt(data.fd(), SOL_SOCKET, SO_LINGER, &now, sizeof now);
        }
        data.close();
        c.send("226 done\r\n");
    };
    LoopbackServer server(ftpScript("220 ready\r\n", {{"USER", "230 in\r\n"},
                                                      {"PWD", "257 \"/\"\r\n"},
                                                      {"PORT", "200 ok\r\n"},
                                                      {"LIST", "150 here\r\n", list},
                                                      {"quit", "221 bye\r\n"}}));
    ASSERT_TRUE(createDirectory("cache"));
    VigilParams p;
    p.host = "127.0.0.1";
    p.port = server.port();
    FtpVigil v(p, "watcher", "secret", std::nullopt, std::nullopt, {});
    auto check = [&v] {
        checkSlots().take(1);
        v.check();
        return v.status();
    };
    ASSERT_EQ(check(), VigilStatus::NoChange);
    const std::string reference = v.cacheFileName();
    for (Ending cut : {Reset, Stall}) {
        ending = cut;
        EXPECT_EQ(check(), VigilStatus::Unavailable) << cut;
        EXPECT_EQ(v.cacheFileName(), reference);
        EXPECT_EQ(listFiles("cache").size(), 1u);
    }
    // Over the size cap: an error, said in the trace, not a connection that failed.
    // 64 MiB through a sanitizer build on a busy machine can pause for more than a
    // second, which would cut it short: this listing gets a longer time out.
    ProgramSettings::update([](SettingsValues& s) { s.timeOutMs = 20000; });
    const std::string trace = (dir_.path() / "trace.txt").string();
    setenv("TERVANE_TRACE", trace.c_str(), 1);
    ending = TooLarge;
    EXPECT_EQ(check(), VigilStatus::UnknownError);
    unsetenv("TERVANE_TRACE");
    EXPECT_EQ(listFiles("cache").size(), 1u);
    EXPECT_NE(ScratchDir::read(trace).find("ftp listing too large: "), std::string::npos);
    ending = Close;
    EXPECT_EQ(check(), VigilStatus::NoChange);
}

TEST(FtpCheckVsftpd, SmokeTest) {
    ScratchDir scratch;
    ASSERT_TRUE(createDirectory("cache"));
    Vsftpd server;
    if (!server.start("Welcome to the test\nsecond line\n"))
        GTEST_SKIP() << "vsftpd did not start here: " << server.log();
    ASSERT_TRUE(writeWholeFile(server.file("notes.txt"), "n"));

    ProgramSettings::update([](SettingsValues& v) { v.timeOutMs = 3000; });
    VigilParams p;
    p.host = "127.0.0.1";
    p.port = server.port();
    FtpVigil v(p, "anonymous", AnonymousFtpPassword, "/", std::nullopt, {});
    ASSERT_EQ(checkNow(v), VigilStatus::NoChange);
    EXPECT_NE(readWholeFile(localPath(v.cacheFileName())).find(" notes.txt"), std::string::npos);
    ASSERT_TRUE(writeWholeFile(server.file("My notes.txt"), "m"));
    EXPECT_EQ(checkNow(v), VigilStatus::Changed);
    ASSERT_EQ(v.addedCount(), 1);
    EXPECT_EQ(v.addedFileName(0), "My notes.txt");
    server.stop();
}
