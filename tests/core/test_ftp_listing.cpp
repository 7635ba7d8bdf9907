#include <gtest/gtest.h>

#include "support/server_process.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/ftp_listing.h"
#include "core/run_state.h"

// Heap bytes held through operator new, and the most held since the last reset.
namespace {
std::atomic<size_t> heldBytes{0};
std::atomic<size_t> peakBytes{0};
}  // namespace

void* operator new(size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    const size_t now = heldBytes += malloc_usable_size(p);
    for (size_t peak = peakBytes; now > peak && !peakBytes.compare_exchange_weak(peak, now);) {}
    return p;
}
void operator delete(void* p) noexcept {
    if (p) heldBytes -= malloc_usable_size(p);
    std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

// A line in the usual LIST form for a file with the given date fields and name.
std::string fileLine(const std::string& name, const std::string& when = "Mar 14 09:26") {
    return "-rw-r--r--   1 owner    group        1024 " + when + " " + name;
}

std::tm localFields(time_t t) {
    std::tm out{};
    localtime_r(&t, &out);
    return out;
}

// Local time as "YYYY-MM-DD hh:mm:ss".
std::string localText(time_t t) {
    const std::tm fields = localFields(t);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &fields);
    return text;
}

std::vector<std::string> names(const std::vector<FtpListingEntry>& list) {
    std::vector<std::string> out;
    for (const FtpListingEntry& e : list) out.push_back(e.name);
    return out;
}

std::vector<std::string> names(const FtpFileList& list) {
    std::vector<std::string> out;
    list.forEach([&](const char* name, time_t) { out.push_back(name); });
    return out;
}

class FtpListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        runState().currentYear = 2024;
        if (const char* tz = std::getenv("TZ")) savedZone_ = tz;
    }
    void TearDown() override {
        if (savedZone_.empty())
            unsetenv("TZ");
        else
            setenv("TZ", savedZone_.c_str(), 1);
        tzset();
    }

    // Writes the lines, each ended by lineEnd, and returns the file's path.
    std::string listing(const std::string& file, const std::vector<std::string>& lines,
                        const char* lineEnd = "\n") {
        const std::string path = dir_ + "/" + file;
        std::ofstream out(path, std::ios::binary);
        for (const std::string& l : lines) out << l << lineEnd;
        return path;
    }

    std::string missing() const { return dir_ + "/missing.lst"; }

    // A whole listing as the comparison reads it: against an empty one, every file is new.
    std::vector<FtpListingEntry> wholeListing(const std::string& path) {
        FtpListingComparison all;
        all.compareListings(path.c_str(), listing("empty.lst", {}).c_str(), noIgnores_);
        std::vector<FtpListingEntry> files;
        all.added().forEach([&files](const char* name, time_t t) { files.push_back({0, name, t}); });
        return files;
    }

    TempDir scratch_{"tervane-ftp-listing"};
    std::string dir_ = scratch_.path();
    std::string savedZone_;
    FtpListingComparison comparison_;
    const std::vector<std::string> noIgnores_;
};

TEST_F(FtpListingTest, AddedRemovedAndRedatedFilesAreListedInNameOrder) {
    const std::string before = listing("before.lst", {fileLine("same.txt"), fileLine("redated.txt"),
                                                      fileLine("gone.txt"), fileLine("also-gone.txt")});
    const std::string now = listing("now.lst", {fileLine("zeta.txt"), fileLine("redated.txt", "Mar 14 09:27"),
                                                fileLine("same.txt"), fileLine("alpha.txt")});
    EXPECT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_), 1);
    EXPECT_EQ(names(comparison_.added()), (std::vector<std::string>{"alpha.txt", "zeta.txt"}));
    EXPECT_EQ(names(comparison_.removed()), (std::vector<std::string>{"also-gone.txt", "gone.txt"}));
    ASSERT_EQ(comparison_.changedCount(), 1);
    EXPECT_STREQ(comparison_.changedFileName(0), "redated.txt");
    EXPECT_EQ(localFields(comparison_.changedFileTime(0)).tm_min, 27);  // the new listing's time
    EXPECT_EQ(comparison_.changed().state(), 1);
    EXPECT_EQ(comparison_.added().state(), 0);
    EXPECT_EQ(comparison_.removed().state(), 0);

    EXPECT_EQ(comparison_.addedFileName(2), nullptr);
    EXPECT_EQ(comparison_.removedFileName(-1), nullptr);
    EXPECT_EQ(comparison_.changedFileTime(1), 0);
}

TEST_F(FtpListingTest, NameOrderIsByteWiseAndLaterDuplicateLineWins) {
    const std::string before = listing("before.lst", {});
    const std::string now = listing("now.lst", {fileLine("\xc3\xa9t\xc3\xa9"), fileLine("b"), fileLine("B"),
                                                fileLine("a", "Jan 1 01:00"), fileLine("a", "Jan 1 02:00")});
    EXPECT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_), 1);
    EXPECT_EQ(names(comparison_.added()), (std::vector<std::string>{"B", "a", "b", "\xc3\xa9t\xc3\xa9"}));
    EXPECT_EQ(localFields(comparison_.addedFileTime(1)).tm_hour, 2);
}

TEST_F(FtpListingTest, TotalDotAndDotDotLinesAreNotCompared) {
    const std::string before = listing("before.lst", {"total 12", fileLine("."), fileLine(".."), fileLine("a")});
    const std::string now = listing("now.lst", {"total 99", fileLine(".", "Jan 1 1999"),
                                               fileLine("a"), "short line with few fields"});
    EXPECT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_), 0);
    EXPECT_EQ(comparison_.addedCount() + comparison_.removedCount() + comparison_.changedCount(), 0);
}

TEST_F(FtpListingTest, IgnoredNamesMatchExactlyAndCauseNoChange) {
    const std::string before = listing("before.lst", {fileLine("a"), fileLine("log.txt"), fileLine("old.tmp")});
    const std::string now = listing("now.lst", {fileLine("a"), fileLine("log.txt", "Jan 1 2000"),
                                               fileLine("new.tmp"), fileLine("Keep.tmp")});
    const std::vector<std::string> ignores = {"new.tmp", "log.txt", "old.tmp", "keep.tmp"};
    EXPECT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), ignores), 1);
    EXPECT_EQ(names(comparison_.added()), (std::vector<std::string>{"Keep.tmp"}));
    EXPECT_EQ(comparison_.removedCount(), 0);
    EXPECT_EQ(comparison_.changedCount(), 0);

    const std::vector<std::string> all = {"new.tmp", "log.txt", "old.tmp", "Keep.tmp"};
    EXPECT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), all), 0);
}

TEST_F(FtpListingTest, LookForFileIsFoundInTheNewListingIgnoringCase) {
    const std::string before = listing("before.lst", {fileLine("Old Report.PDF"), fileLine("Report.PDF")});
    const std::string now = listing("now.lst", {fileLine("Report.PDF")});
    bool found = false;
    comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_, "report.pdf", &found);
    EXPECT_TRUE(found);

    // Only in the previous listing: not found; only the first word: not found.
    found = false;
    comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_, "old report.pdf", &found);
    EXPECT_FALSE(found);
    comparison_.compareListings(before.c_str(), now.c_str(), noIgnores_, "old", &found);
    EXPECT_FALSE(found);
    comparison_.compareListings(before.c_str(), now.c_str(), noIgnores_, "OLD REPORT.pdf", &found);
    EXPECT_TRUE(found);

    // Even an ignored name counts as found.
    found = false;
    comparison_.compareListings(now.c_str(), before.c_str(), {"Report.PDF"}, "REPORT.pdf", &found);
    EXPECT_TRUE(found);
}

TEST_F(FtpListingTest, NamesWithBlanksAreWholeAndKeepTheirBlanks) {
    const std::string before = listing("before.lst", {fileLine("My notes.txt"), fileLine("My photo.jpg"),
                                                      fileLine("two  blanks")});
    const std::string now = listing("now.lst", {fileLine("My notes.txt", "Mar 15 10:00"), fileLine("My photo.jpg"),
                                               fileLine("two  blanks"), fileLine("trailing   ")});
    EXPECT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_), 1);
    EXPECT_EQ(names(comparison_.changed()), (std::vector<std::string>{"My notes.txt"}));
    EXPECT_EQ(names(comparison_.added()), (std::vector<std::string>{"trailing"}));
    EXPECT_EQ(comparison_.removedCount(), 0);

    FtpListingEntry entry;
    ASSERT_TRUE(parseListingLine(fileLine("two   blanks  here"), entry));
    EXPECT_EQ(entry.name, "two   blanks  here");
}

TEST_F(FtpListingTest, SymbolicLinkNamesLeaveOutTheirTarget) {
    const std::string link1 = "lrwxrwxrwx   1 owner    group           9 Mar 14 09:26 latest -> notes.txt";
    const std::string link2 = "lrwxrwxrwx   1 owner    group           9 Mar 14 09:26 latest -> notes-2.txt";
    const std::string before = listing("before.lst", {link1});
    const std::string now = listing("now.lst", {link2, fileLine("a -> b")});
    EXPECT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_), 1);
    // Only the plain file whose name holds an arrow is new; the link kept its name and date.
    EXPECT_EQ(names(comparison_.added()), (std::vector<std::string>{"a -> b"}));
    EXPECT_EQ(comparison_.changedCount(), 0);
    EXPECT_TRUE(listingHasFile(now.c_str(), "LATEST"));
}

TEST_F(FtpListingTest, TimeOfDayIsThisYearAndYearFormIsNoon) {
    FtpListingEntry entry;
    ASSERT_TRUE(parseListingLine(fileLine("a", "Jul 4 12:34"), entry));
    EXPECT_EQ(localText(entry.time), "2024-07-04 12:34:30");
    ASSERT_TRUE(parseListingLine(fileLine("a", "Dec 31  1998"), entry));
    EXPECT_EQ(localText(entry.time), "1998-12-31 12:00:00");

    // The same day listed later with its year instead of its time counts as changed.
    const std::string before = listing("before.lst", {fileLine("a", "Jul 4 12:34")});
    const std::string now = listing("now.lst", {fileLine("a", "Jul 4  2024")});
    EXPECT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_), 1);
    EXPECT_EQ(comparison_.changedCount(), 1);
}

TEST_F(FtpListingTest, AbsurdYearsStillNameTheFile) {
    // A hostile server's year field: the file is still listed (and the year
    // arithmetic does not overflow).
    FtpListingEntry entry;
    ASSERT_TRUE(parseListingLine(fileLine("a", "Jul 4  -2147483647"), entry));
    EXPECT_EQ(entry.name, "a");
    const std::string before = listing("before.lst", {});
    const std::string now = listing("now.lst", {fileLine("b", "Jan 1  -2147483648")});
    EXPECT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_), 1);
    EXPECT_EQ(names(comparison_.added()), (std::vector<std::string>{"b"}));
}

TEST_F(FtpListingTest, SummerTimesReadAsListed) {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    FtpListingEntry entry;
    ASSERT_TRUE(parseListingLine(fileLine("a", "Jul 4 12:34"), entry));
    EXPECT_EQ(localFields(entry.time).tm_hour, 12);
    ASSERT_TRUE(parseListingLine(fileLine("a", "Jul 4  2020"), entry));
    EXPECT_EQ(localFields(entry.time).tm_hour, 12);
}

// Whole listings date their lines by day; the result must match a line read alone
// on days with clock changes too, whatever hour and zone.
TEST_F(FtpListingTest, ListingTimesMatchSingleLinesAcrossClockChanges) {
    const char* zones[] = {
        "CET-1CEST,M3.5.0,M10.5.0/3",        // changes at 02:00 and 03:00
        "BRT3BRST,M10.3.0/0,M2.3.0/0",        // changes at midnight
        "LHST-10:30LHDT-11,M10.1.0,M4.1.0",  // half-hour change
        "UTC0",
    };
    const char* days[] = {"Mar 31", "Oct 27", "Oct 20", "Oct 19", "Oct 21", "Feb 18", "Feb 17",
                          "Apr 7", "Oct 6", "Jul 1", "Feb 31", "Foo 3"};
    std::vector<std::string> lines;
    for (const char* day : days)
        for (int minute = 0; minute < 24 * 60; minute += 15) {
            char when[32];
            std::snprintf(when, sizeof when, "%s %02d:%02d", day, minute / 60, minute % 60);
            lines.push_back(fileLine("f" + std::to_string(lines.size()), when));
        }
    const std::string path = listing("many.lst", lines);
    for (const char* zone : zones) {
        setenv("TZ", zone, 1);
        tzset();
        const std::vector<FtpListingEntry> parsed = wholeListing(path);
        ASSERT_EQ(parsed.size(), lines.size());
        for (const std::string& line : lines) {
            FtpListingEntry single;
            ASSERT_TRUE(parseListingLine(line, single));
            auto it = std::lower_bound(parsed.begin(), parsed.end(), single,
                                       [](const FtpListingEntry& a, const FtpListingEntry& b) { return a.name < b.name; });
            ASSERT_NE(it, parsed.end());
            ASSERT_EQ(it->time, single.time) << zone << ": " << line;
        }
    }
}

TEST_F(FtpListingTest, CrLfListingsReadLikeLfListings) {
    const std::vector<std::string> lines = {"total 3", fileLine("My notes.txt"), fileLine("b")};
    const std::string crlf = listing("crlf.lst", lines, "\r\n");
    const std::string lf = listing("lf.lst", lines, "\n");
    EXPECT_EQ(comparison_.compareListings(crlf.c_str(), lf.c_str(), noIgnores_), 0);
    EXPECT_EQ(names(wholeListing(crlf)), (std::vector<std::string>{"My notes.txt", "b"}));
    EXPECT_TRUE(listingHasFile(crlf.c_str(), "my NOTES.txt"));
}

TEST_F(FtpListingTest, MissingNewListingChangesNothing) {
    const std::string before = listing("before.lst", {fileLine("a")});
    const std::string now = listing("now.lst", {fileLine("a"), fileLine("b")});
    ASSERT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_), 1);
    bool found = false;
    EXPECT_EQ(comparison_.compareListings(missing().c_str(), before.c_str(), noIgnores_, "a", &found), 0);
    EXPECT_FALSE(found);
    EXPECT_EQ(names(comparison_.added()), (std::vector<std::string>{"b"}));
}

TEST_F(FtpListingTest, MissingPreviousListingComparesTwoEmptyListings) {
    const std::string before = listing("before.lst", {fileLine("a")});
    const std::string now = listing("now.lst", {fileLine("b")});
    ASSERT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_), 1);
    EXPECT_EQ(comparison_.compareListings(now.c_str(), missing().c_str(), noIgnores_), 0);
    EXPECT_EQ(comparison_.addedCount() + comparison_.removedCount() + comparison_.changedCount(), 0);
}

TEST_F(FtpListingTest, LongLinesAreReadWhole) {
    const std::string longName(3000, 'n');
    // Enough lines that some cross the reader's block boundaries.
    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i) lines.push_back(fileLine(longName + std::to_string(i)));
    const std::string before = listing("before.lst", lines);
    lines.push_back(fileLine(longName + "x"));
    const std::string now = listing("now.lst", lines);
    EXPECT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_), 1);
    EXPECT_EQ(names(comparison_.added()), (std::vector<std::string>{longName + "x"}));
    EXPECT_TRUE(listingHasFile(now.c_str(), (longName + "X").c_str()));
}

TEST_F(FtpListingTest, MemoryStaysWithinTheListingsSize) {
    std::vector<std::string> lines;
    for (int i = 0; i < 100000; ++i) lines.push_back("- 1 o g 1 Jan 1 2020 n" + std::to_string(i));
    const std::string now = listing("now.lst", lines);
    const std::string before = listing("before.lst", {});
    const size_t size = std::filesystem::file_size(now);
    const size_t start = heldBytes;
    peakBytes = start;
    ASSERT_EQ(comparison_.compareListings(now.c_str(), before.c_str(), noIgnores_), 1);
    ASSERT_EQ(comparison_.addedCount(), 100000);
    EXPECT_LE(peakBytes - start, 2 * size);  // while comparing
    EXPECT_LE(heldBytes - start, size);      // kept until the next comparison
}

TEST_F(FtpListingTest, LookForScanOfAFirstListing) {
    const std::string path = listing("first.lst", {"total 2", fileLine("Read Me.txt"), fileLine("data")});
    EXPECT_TRUE(listingHasFile(path.c_str(), "read me.txt"));
    EXPECT_TRUE(listingHasFile(path.c_str(), "DATA"));
    EXPECT_FALSE(listingHasFile(path.c_str(), "read"));
    EXPECT_FALSE(listingHasFile(path.c_str(), nullptr));
    EXPECT_FALSE(listingHasFile(missing().c_str(), "data"));
}

TEST_F(FtpListingTest, VsftpdListing) {
    const std::vector<FtpListingEntry> parsed = wholeListing(TERVANE_FIXTURES_DIR "/vsftpd_listing.lst");
    EXPECT_EQ(names(parsed),
              (std::vector<std::string>{"My notes.txt", "My photo.jpg", "archive", "latest", "notes.txt"}));
    EXPECT_EQ(localText(parsed[1].time), "2020-02-29 12:00:00");
    EXPECT_EQ(localText(parsed[3].time), "2024-03-14 09:30:30");
}

TEST_F(FtpListingTest, PyftpdlibListing) {
    const std::vector<FtpListingEntry> parsed = wholeListing(TERVANE_FIXTURES_DIR "/pyftpdlib_listing.lst");
    EXPECT_EQ(names(parsed),
              (std::vector<std::string>{"current", "incoming", "read  me.txt", "release-1.0.tar.gz"}));
    EXPECT_EQ(localText(parsed[1].time), "2024-03-01 08:15:30");  // zero-padded day
    EXPECT_EQ(localText(parsed[3].time), "2019-07-04 12:00:00");
}

}  // namespace

// The hour repeated when the clocks go back has two instants; a line must give
// the same one whatever was converted before it, alone or within a listing.
TEST_F(FtpListingTest, RepeatedHourGivesOneInstantWhateverCameBefore) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    runState().currentYear = 2026;
    const std::string repeated = fileLine("a", "Oct 25 02:30");
    auto timeAfter = [&](const char* before) {
        FtpListingEntry entry;
        EXPECT_TRUE(parseListingLine(fileLine("x", before), entry));
        EXPECT_TRUE(parseListingLine(repeated, entry));
        return entry.time;
    };
    const time_t afterSummer = timeAfter("Jul 4 12:00");
    EXPECT_EQ(timeAfter("Dec 1 12:00"), afterSummer);
    EXPECT_EQ(timeAfter("Oct 25 03:30"), afterSummer);
    EXPECT_EQ(timeAfter("Oct 25 01:30"), afterSummer);
    EXPECT_EQ(localFields(afterSummer).tm_hour, 2);
    for (const char* before : {"Jul 4 12:00", "Dec 1 12:00"}) {
        const std::vector<FtpListingEntry> parsed = wholeListing(listing("l.lst", {fileLine("x", before), repeated}));
        ASSERT_EQ(parsed.size(), 2u);
        EXPECT_EQ(parsed[0].time, afterSummer) << before;
    }
}
