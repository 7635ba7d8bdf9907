#include <gtest/gtest.h>
#include <utime.h>

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
#include "platform/files.h"
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
class FtpVigilServerTest : public ::testing::Test {
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

TEST_F(FtpVigilServerTest, ListingsComparedFileByFile) {
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

TEST_F(FtpVigilServerTest, FailuresBecomeFtpStatusesAndKeepTheReference) {
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

TEST_F(FtpVigilServerTest, AnonymousWithoutDirectoryListsTheRoot) {
    auto v = vigil("anonymous", AnonymousFtpPassword, std::nullopt);
    EXPECT_EQ(checkNow(*v), VigilStatus::NoChange);
    const std::string listing = readWholeFile(localPath(v->cacheFileName()));
    EXPECT_NE(listing.find(" pub\r\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find(" README.TXT\r\n"), std::string::npos) << listing;
}

TEST_F(FtpVigilServerTest, LookedForFileIsFoundFirstAndLater) {
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
TEST(FtpVigilVsftpd, SmokeTest) {
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
