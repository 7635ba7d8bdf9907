#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <regex>
#include <string>

#include "core/cache_files.h"
#include "core/check_slots.h"
#include "core/ftp_vigil.h"
#include "core/gopher_vigil.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "core/web_vigil.h"
#include "support/scratch_dir.h"

namespace {

size_t listSize() {
    return vigilList().size();
}

std::shared_ptr<Vigil> at(size_t i) {
    return vigilList().snapshot().at(i);
}

// Loads text as vigil.dat, saves it again and returns what was written.
std::string roundTrip(const std::string& text) {
    ScratchDir::write("vigil.dat", text);
    VigilStore::load("vigil.dat", vigilList());
    EXPECT_EQ(VigilStore::save("again.dat", vigilList()).status, 0);
    return ScratchDir::read("again.dat");
}

}  // namespace

TEST(VigilStore, RecordsOfEveryKindComeBackByteForByte) {
    ScratchDir dir;
    const std::string text =
        "3\n"
        "|gopher|Gopher news|0;EMAIL:a@b.example c@d.example |gopher.example|7070|/news|3600|100|200|"
        "17|notify.sh %desc|8|cache\\00000005.mon|ding.wav\n"
        "|http|Web page|2;EMAIL:x@y.example ;USER:user;PASS:secret|www.example|8080|/a/b.html|600|"
        "10|20|1|0|30|40|9|cache\\00000001.mon||session|counter|\n"
        "|ftp|FTP dir|0|ftp.example|2121|/pub|README|86400|5|6|49|run.sh|joe|pw|9|"
        "cache\\00000002.mon|bell.wav|index.html|tmp file\n";
    EXPECT_EQ(roundTrip(text), text);
    ASSERT_EQ(listSize(), 3u);

    auto gopher = std::dynamic_pointer_cast<GopherVigil>(at(0));
    ASSERT_TRUE(gopher);
    EXPECT_EQ(gopher->port(), 7070);
    EXPECT_EQ(gopher->selector(), "/news");
    EXPECT_EQ(gopher->emailAddresses().size(), 2u);
    EXPECT_EQ(gopher->commandLine().value_or(""), "notify.sh %desc");
    EXPECT_EQ(gopher->status(), VigilStatus::Changed);
    EXPECT_EQ(gopher->interval(), 3600);
    EXPECT_EQ(gopher->intervalMode(), IntervalMode::On);

    auto web = std::dynamic_pointer_cast<WebVigil>(at(1));
    ASSERT_TRUE(web);
    EXPECT_STREQ(web->user().text(), "user");
    EXPECT_STREQ(web->password().text(), "secret");
    EXPECT_EQ(web->options() & WebOptions::AlwaysCompare, WebOptions::AlwaysCompare);
    EXPECT_EQ(web->lastModified(), 30);
    EXPECT_EQ(web->expires(), 40);
    EXPECT_EQ(web->ignoreTokens().size(), 2u);
    EXPECT_EQ(web->status(), VigilStatus::NoChange);
    EXPECT_EQ(web->changeMethod(), ChangeMethod::Content);

    auto ftp = std::dynamic_pointer_cast<FtpVigil>(at(2));
    ASSERT_TRUE(ftp);
    EXPECT_EQ(ftp->lookForFile().value_or(""), "README");
    EXPECT_EQ(ftp->user(), "joe");
    EXPECT_EQ(ftp->ignoreFiles(), (std::vector<std::string>{"index.html", "tmp file"}));
    EXPECT_EQ(ftp->soundFile().value_or(""), "bell.wav");
}

TEST(VigilStore, EmptyListSavesTheCountAlone) {
    ScratchDir dir;
    EXPECT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    EXPECT_EQ(ScratchDir::read("vigil.dat"), "0\n");
}

TEST(VigilStore, LoadEdgeCases) {
    ScratchDir dir;
    const time_t before = time(nullptr);
    ScratchDir::write("vigil.dat",
                      "3\r\n"
                      "|gopher|G|0|g.example|70|sel|0|0|0|1|10|cache\\00000007.mon|\r\n"
                      "|ftp|F|0|f.example|21|/||0|0||1|||999|cache\\00000007.mon|\r\n");
    VigilStore::load("vigil.dat", vigilList());
    ASSERT_EQ(listSize(), 2u);  // the count says three, the file ends after two
    auto gopher = at(0);
    EXPECT_EQ(gopher->status(), VigilStatus::NoChange);  // stored while checking
    EXPECT_EQ(gopher->cacheFileName(), "cache\\00000007.mon");
    auto ftp = std::dynamic_pointer_cast<FtpVigil>(at(1));
    ASSERT_TRUE(ftp);
    EXPECT_GE(ftp->lastChecked(), before);            // missing: the time of loading
    EXPECT_EQ(ftp->status(), VigilStatus::NoChange);  // 999 + 1024 is no status
    EXPECT_EQ(ftp->user(), "anonymous");
    EXPECT_EQ(ftp->password(), AnonymousFtpPassword);
    EXPECT_FALSE(ftp->lookForFile().has_value());
    // The second record names the first one's copy: it gets a fresh name instead.
    EXPECT_NE(ftp->cacheFileName(), "cache\\00000007.mon");
}

TEST(VigilStore, EightBitTextIsTheLoadsAndItsLists) {
    ScratchDir dir;
    ScratchDir::write("latin.dat", "1\n|http|Caf\xe9|0|w.example|80|/|0|0|0|1|-1|0|0|9||\n");
    ScratchDir::write("utf8.dat", "1\n|http|Caf\xc3\xa9|0|w.example|80|/|0|0|0|1|-1|0|0|9||\n");
    VigilList latin, utf8;
    EXPECT_TRUE(VigilStore::load("latin.dat", latin).eightBitText);
    EXPECT_FALSE(VigilStore::load("utf8.dat", utf8).eightBitText);
    // A later load into another list leaves this one as it was read.
    EXPECT_TRUE(latin.eightBitText());
    EXPECT_FALSE(utf8.eightBitText());
}

TEST(VigilStore, WebDefaultsAndKindWords) {
    ScratchDir dir;
    auto web = std::dynamic_pointer_cast<WebVigil>(
        VigilStore::parseRecord("|https|W|x;EMAIL:a@b.example|h.example|port||||||||||\n", vigilList()));
    ASSERT_TRUE(web);  // "https" starts with "http"
    EXPECT_EQ(web->changeMethod(), ChangeMethod::Detect);
    EXPECT_EQ(web->port(), 80);  // a field that is no number keeps its default
    EXPECT_STREQ(web->path().text(), "/");
    EXPECT_EQ(web->flags(), 1);
    EXPECT_EQ(web->options(), WebOptions::AlwaysCompare);
    EXPECT_EQ(web->emailList(), "a@b.example ");
    EXPECT_FALSE(VigilStore::parseRecord("|news|N|0|h.example|\n", vigilList()));
    EXPECT_FALSE(VigilStore::parseRecord("|http|No host|0||80|/|\n", vigilList()));
    EXPECT_EQ(listSize(), 1u);
}

TEST(VigilStore, NumbersTooLargeKeepTheirDefaults) {
    ScratchDir dir;
    auto gopher = VigilStore::parseRecord(
        "|gopher|G|0|g.example|70|sel|99999999999999999999|0|0|1|9||\n", vigilList());
    ASSERT_TRUE(gopher);
    EXPECT_EQ(gopher->interval(), 0);
    EXPECT_EQ(gopher->port(), 70);
    auto web = VigilStore::parseRecord("|http|W|0|w.example|70080|/|\n", vigilList());
    ASSERT_TRUE(web);
    EXPECT_EQ(web->port(), 80);  // not 70080 wrapped to 4544
}

TEST(VigilStore, CacheNamesOnlyOfThisFoldersCopiesInTheProgramsOwnForm) {
    ScratchDir dir;
    auto a = VigilStore::parseRecord("|gopher|A|0|h|70||0|0|0|1|9|../../etc/passwd|\n", vigilList());
    auto b = VigilStore::parseRecord("|gopher|B|0|h|70||0|0|0|1|9|cache\\0000001.mon|\n", vigilList());
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->cacheFileName(), "");
    EXPECT_EQ(b->cacheFileName(), "cache\\00000001.mon");
}

TEST(VigilStore, LongRecordsStayWhole) {
    ScratchDir dir;
    const std::string description(5000, 'd');
    ScratchDir::write("vigil.dat", "2\n|gopher|" + description +
                                       "|0|a.example|70||0|0|0|1|9||\n|gopher|second|0|b.example|70||0|0|0|1|9||\n");
    VigilStore::load("vigil.dat", vigilList());
    ASSERT_EQ(listSize(), 2u);
    EXPECT_EQ(at(0)->description(), description);
    EXPECT_EQ(at(1)->host(), "b.example");
}

TEST(VigilStore, SeparatorsInFieldsDoNotShiftLaterFields) {
    ScratchDir dir;
    VigilStore::parseRecord("|gopher|a) b|0|g.example|70||0|0|0|1|9||\n", vigilList());
    at(0)->setDescription(std::string("pipe | and ) inside"));
    ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    {
        vigilList().clear();
    }
    VigilStore::load("vigil.dat", vigilList());
    ASSERT_EQ(listSize(), 1u);
    EXPECT_EQ(at(0)->description(), "pipe | and ) inside");
    EXPECT_EQ(at(0)->host(), "g.example");
}

TEST(VigilStore, FailedSaveKeepsTheOldFile) {
    ScratchDir dir;
    ScratchDir::write("vigil.dat", "0\n");
    VigilStore::parseRecord("|gopher|" + std::string(4096, 'G') + "|0|g.example|70||0|0|0|1|9||\n", vigilList());
    // A disk that fills up halfway through the write.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1024, 1024};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    EXPECT_EQ(VigilStore::save("vigil.dat", vigilList()).status, -1);
    EXPECT_EQ(ScratchDir::read("vigil.dat"), "0\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);  // no temporary left
}

namespace {

// A check that has adopted its new copy when a save comes.
class SavedMidCheck : public GopherVigil {
public:
    using GopherVigil::GopherVigil;
    std::string savedDuring;

protected:
    int fetchAndCompare() override {
        const std::string fresh = takeNewCacheName();
        ScratchDir::write("cache/" + fresh.substr(6), "new");
        adoptCopy(fresh);
        setLastChanged(5000);
        EXPECT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
        savedDuring = ScratchDir::read("vigil.dat");
        return VigilStatus::Changed;
    }
};

}  // namespace

TEST(VigilStore, SaveDuringACheckWritesTheVigilAsItStoodBefore) {
    ScratchDir dir;
    std::filesystem::create_directory("cache");
    ScratchDir::write("cache/00000003.mon", "old");
    VigilParams p;
    p.host = "g.example";
    p.description = "G";
    p.status = VigilStatus::Changed;  // not seen yet
    p.lastChecked = 1000;
    p.cacheFileName = "cache\\00000003.mon";
    CacheFiles::addNumber(3);
    auto vigil = std::make_shared<SavedMidCheck>(p, std::string("/"));
    vigilList().append(vigil);
    checkSlots().take(10);
    vigil->check();
    EXPECT_NE(vigil->savedDuring.find("|0|0|1000|0|8|cache\\00000003.mon|"), std::string::npos)
        << vigil->savedDuring;
    EXPECT_TRUE(std::filesystem::exists("cache/00000003.mon"));  // that save still names it
    // Once a save writes the result, the old copy goes.
    ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    EXPECT_NE(ScratchDir::read("vigil.dat").find("|5000|"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("cache/00000003.mon"));
}

TEST(VigilStore, RecordsPastTheCountAreKept) {
    ScratchDir dir;
    const std::string records =
        "|gopher|A|0|a.example|70|/a|0|0|0|1|9|cache\\00000004.mon|\n"
        "|ftp|B|0|b.example|21|/pub||0|0|5|1|joe|secret|9|cache\\00000005.mon||\n"
        "|gopher|C|0|c.example|70|/c|0|0|0|1|9|cache\\00000006.mon|\n";
    ScratchDir::write("vigil.dat", "1\n" + records);
    VigilStore::load("vigil.dat", vigilList());
    ASSERT_EQ(listSize(), 3u);
    ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    EXPECT_EQ(ScratchDir::read("vigil.dat"), "3\n" + records);
}

TEST(VigilStore, KeptLinesStayTheSameAtEverySave) {
    ScratchDir dir;
    const std::string gopher = "|gopher|G|0|g.example|70|/|0|0|0|1|9||";
    // A CR of its own before the LF; an LF inside a line of a file of CR line ends,
    // and one that starts a line (a blank line keeps it from the count line's CR).
    for (const std::string& text : {"2\n" + gopher + "\n|news|N|0|h|x\r\r\n",
                                    "2\r" + gopher + "\r|news|a\nb|0|h|\r", std::string("1\r\r\n|later|\r")}) {
        ScratchDir::write("vigil.dat", text);
        for (int save = 0; save < 3; ++save) {
            vigilList().clear();
            VigilStore::load("vigil.dat", vigilList());
            ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
            // Each load here gives the Vigil a new copy name: the name is left out.
            EXPECT_EQ(std::regex_replace(ScratchDir::read("vigil.dat"), std::regex(R"(cache\\\d{8}\.mon)"), ""), text);
        }
    }
}

TEST(VigilStore, SavesKeepTheFilesModeAndLinks) {
    ScratchDir dir;
    VigilStore::parseRecord("|ftp|F|0|f.example|21|/||0|0|5|1|joe|secret|9|||\n", vigilList());
    auto mode = [](const char* name) {
        struct stat st {};
        ::stat(name, &st);
        return st.st_mode & 07777;
    };
    // It holds passwords: a new file is its owner's alone, whatever the umask.
    const mode_t oldMask = ::umask(022);
    ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    EXPECT_EQ(mode("vigil.dat"), 0600u);
    ASSERT_EQ(::chmod("vigil.dat", 0640), 0);
    ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    EXPECT_EQ(mode("vigil.dat"), 0640u);
    ::umask(oldMask);
    if (::geteuid() == 0) {  // a save by root keeps the user's file the user's
        ASSERT_EQ(::chown("vigil.dat", 4321, 4322), 0);
        ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
        struct stat st {};
        EXPECT_TRUE(::stat("vigil.dat", &st) == 0 && st.st_uid == 4321 && st.st_gid == 4322);
    }

    // A link is written through: it stays a link, and its target gets the list.
    std::filesystem::create_directory("real");
    ScratchDir::write("real/list.dat", "0\n");
    std::filesystem::create_symlink("real/list.dat", "linked.dat");
    ASSERT_EQ(VigilStore::save("linked.dat", vigilList()).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink("linked.dat"));
    EXPECT_EQ(ScratchDir::read("real/list.dat"), ScratchDir::read("vigil.dat"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("real"), {}), 1);
}

TEST(VigilStore, TwoProcessesSavingAtOnceNeverInstallAPartialFile) {
    ScratchDir dir;
    for (int i = 0; i < 2000; ++i)
        VigilStore::parseRecord("|gopher|Item " + std::to_string(i) + "|0|g.example|70|/sel|3600|0|0|1|9||\n", vigilList());
    ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    const std::string whole = ScratchDir::read("vigil.dat");
    std::vector<pid_t> savers;
    for (int p = 0; p < 2; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < 150; ++i) VigilStore::save("vigil.dat", vigilList()).status;
            ::_exit(0);
        }
        savers.push_back(pid);
    }
    int reads = 0, partial = 0;
    for (bool running = true; running; ++reads) {
        if (ScratchDir::read("vigil.dat") != whole) ++partial;
        running = false;
        for (pid_t pid : savers) running = running || ::waitpid(pid, nullptr, WNOHANG) == 0;
    }
    EXPECT_EQ(partial, 0) << "of " << reads << " reads";
    EXPECT_EQ(ScratchDir::read("vigil.dat"), whole);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);  // no temporary left
}

TEST(VigilStore, TimesOutOfRangeLoadAsNone) {
    ScratchDir dir;
    auto gopher = VigilStore::parseRecord(
        "|gopher|G|0|g.example|70||60|-5|9223372036854775000|1|9||\n", vigilList());
    ASSERT_TRUE(gopher);
    EXPECT_EQ(gopher->lastChanged(), 0);
    EXPECT_EQ(gopher->lastChecked(), 0);
    EXPECT_EQ(gopher->nextCheckTime(), 60);  // due, not overflowed into the past
    auto web = std::dynamic_pointer_cast<WebVigil>(VigilStore::parseRecord(
        "|http|W|0|w.example|80|/|60|253402300799|1767175200|1|0|253402300800|-1|9||\n", vigilList()));
    ASSERT_TRUE(web);
    EXPECT_EQ(web->lastChanged(), 253402300799);  // the last second of the year 9999
    EXPECT_EQ(web->lastChecked(), 1767175200);
    EXPECT_EQ(web->lastModified(), 0);
    EXPECT_EQ(web->expires(), 0);
}
