#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "core/cache_files.h"
#include "core/vigil.h"
#include "support/scratch_dir.h"

namespace {

struct Report {
    int status;
    int identifier;
};
std::vector<Report> reports;
void recordReport(int status, int identifier) {
    reports.push_back({status, identifier});
}

class TestVigil : public Vigil {
public:
    explicit TestVigil(const VigilParams& p) : Vigil(VigilKind::Web, p) {}
    std::string url() const override { return "http://" + host() + "/"; }
    void write(FILE*) const override {}
};

// A stored name keeps bulk construction away from the cache directory.
std::unique_ptr<TestVigil> quickVigil() {
    VigilParams p;
    p.cacheFileName = "cache\\00000000.mon";
    return std::make_unique<TestVigil>(p);
}

std::unique_ptr<TestVigil> vigilWithStatus(int status) {
    VigilParams p;
    p.status = status;
    p.cacheFileName = "cache\\00000001.mon";
    return std::make_unique<TestVigil>(p);
}

}  // namespace

TEST(VigilStatus, RefusalsOfSetStatus) {
    setVigilStatusCallback(recordReport);

    // Built while "checking" (a list saved during a check): held as no change.
    auto v = vigilWithStatus(VigilStatus::Checking);
    EXPECT_EQ(v->status(), VigilStatus::NoChange);

    // A running check and an unresolved host are never overwritten, nor reported.
    for (int held : {VigilStatus::Checking, VigilStatus::HostNotResolved}) {
        reports.clear();
        v->storeStatus(held);
        v->setStatus(VigilStatus::NoChange, true);
        v->setStatus(VigilStatus::StartWatching, true);
        EXPECT_EQ(v->status(), held);
        EXPECT_TRUE(reports.empty());
    }

    // A stopped Vigil only resumes through StartWatching, which stores NoChange.
    v->storeStatus(VigilStatus::Inactive);
    reports.clear();
    v->setStatus(VigilStatus::NoChange, true);
    v->setStatus(VigilStatus::Changed, true);
    EXPECT_EQ(v->status(), VigilStatus::Inactive);
    EXPECT_TRUE(reports.empty());
    v->setStatus(VigilStatus::StartWatching, true);
    EXPECT_EQ(v->status(), VigilStatus::NoChange);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].status, VigilStatus::NoChange);
    EXPECT_EQ(reports[0].identifier, v->id());

    // StartWatching is also a plain reset; without the report flag nothing is called.
    v->storeStatus(VigilStatus::Changed);
    reports.clear();
    v->setStatus(VigilStatus::StartWatching, false);
    EXPECT_EQ(v->status(), VigilStatus::NoChange);
    EXPECT_TRUE(reports.empty());
    setVigilStatusCallback(nullptr);
}

TEST(VigilStatus, NoCallbackInstalledCallsNothing) {
    auto v = vigilWithStatus(VigilStatus::Changed);
    reports.clear();
    v->setStatus(VigilStatus::NoChange, true);
    v->reportStatus(VigilStatus::Changed);
    EXPECT_EQ(v->status(), VigilStatus::NoChange);
    EXPECT_TRUE(reports.empty());
}

TEST(VigilFields, EmailListSplitsAtRunsOfBlanksAndJoinsWithTrailingBlanks) {
    VigilParams p;
    p.cacheFileName = "cache\\00000002.mon";
    p.email = "  a@example.org  b@example.org ";
    TestVigil v(p);
    EXPECT_EQ(v.emailAddresses(), (std::vector<std::string>{"a@example.org", "b@example.org"}));
    EXPECT_EQ(v.emailList(), "a@example.org b@example.org ");
    v.setEmailList("");
    EXPECT_EQ(v.emailList(), "");
}

TEST(VigilFields, IntervalHostAndCommandLine) {
    VigilParams p;
    p.cacheFileName = "cache\\00000003.mon";
    p.interval = 600;
    p.intervalMode = IntervalMode::Off;
    p.lastChecked = 1000;
    p.host = "example.org";
    TestVigil v(p);
    EXPECT_EQ(v.interval(), 600);  // also while the interval is not in force
    EXPECT_EQ(v.nextCheckTime(), 1600);
    v.setInterval(0);
    EXPECT_EQ(v.interval(), 600);
    EXPECT_EQ(v.intervalMode(), IntervalMode::Off);
    v.setInterval(60);
    EXPECT_EQ(v.interval(), 60);
    EXPECT_EQ(v.intervalMode(), IntervalMode::On);

    EXPECT_EQ(v.setHost(std::nullopt), 1);
    EXPECT_EQ(v.host(), "example.org");
    v.setDescription(std::nullopt);
    EXPECT_EQ(v.description(), "");

    EXPECT_FALSE(v.commandLine());
    v.setCommand(std::string("/usr/bin/notify-send -u low %desc"));
    EXPECT_EQ(v.commandLine(), "/usr/bin/notify-send -u low %desc");
}

TEST(VigilFields, CacheNamesOfNewAndStoredVigils) {
    ScratchDir dir;
    VigilParams fresh;
    TestVigil a(fresh);
    EXPECT_EQ(a.cacheFileName(), "");  // none until a fetch stores its first copy
    EXPECT_EQ(a.previousCacheFileName(), "");

    VigilParams stored;
    stored.cacheFileName = "cache\\00000042.mon";
    TestVigil b(stored);
    EXPECT_EQ(b.cacheFileName(), "cache\\00000042.mon");
    EXPECT_EQ(b.previousCacheFileName(), "cache\\00000042.mon");
}

TEST(VigilIdentifiers, ConsecutiveThenWrapToZero) {
    auto first = quickVigil();
    auto second = quickVigil();
    EXPECT_EQ(first->id(), 0);
    EXPECT_EQ(second->id(), 1);
    first.reset();
    second.reset();
    int last = 1;
    for (int i = 2; i <= 65535; ++i) last = quickVigil()->id();
    EXPECT_EQ(last, -1);  // 65535, widened with its sign
    EXPECT_EQ(quickVigil()->id(), 0);
}

TEST(VigilIdentifiers, AfterTheWrapLiveVigilsKeepTheirsAlone) {
    auto a = quickVigil();  // 0
    auto b = quickVigil();  // 1
    auto c = quickVigil();  // 2, released below
    c.reset();
    for (int i = 3; i <= 65535; ++i) quickVigil();
    // 0 and 1 are still held; 2 is free again.
    auto next = quickVigil();
    EXPECT_EQ(next->id(), 2);
    EXPECT_NE(quickVigil()->id(), 0);
    std::set<int> ids{a->id(), b->id(), next->id()};
    EXPECT_EQ(ids.size(), 3u);
}

TEST(VigilIdentifiers, ThreadsBuildingAtOnceGetDistinctIdentifiers) {
    std::vector<std::vector<std::unique_ptr<TestVigil>>> built(4);
    std::vector<std::thread> threads;
    for (auto& mine : built)
        threads.emplace_back([&mine] {
            for (int i = 0; i < 500; ++i) mine.push_back(quickVigil());
        });
    for (auto& t : threads) t.join();
    std::set<int> ids;
    for (auto& mine : built)
        for (auto& v : mine) ids.insert(v->id());
    EXPECT_EQ(ids.size(), 2000u);
}
