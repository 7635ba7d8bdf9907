#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/ftp_listing.h"
#include "core/run_state.h"

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Two listings of 100,000 files each; the newer one has 1% of the files
// re-dated, 1% removed and as many added.
struct Listings {
    std::string dir;
    std::string previous;
    std::string current;

    Listings() {
        char pattern[] = "/tmp/bench_ftp_listing_XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        dir = pattern;
        previous = dir + "/previous.lst";
        current = dir + "/current.lst";
        write(previous, false);
        write(current, true);
    }
    ~Listings() {
        std::remove(previous.c_str());
        std::remove(current.c_str());
        rmdir(dir.c_str());
    }

    static void write(const std::string& path, bool newer) {
        FILE* f = std::fopen(path.c_str(), "w");
        std::fprintf(f, "total 400000\r\n");
        unsigned seed = 12345;
        for (int i = 0; i < 100000; ++i) {
            seed = seed * 1103515245u + 12345u;
            const int month = (seed >> 8) % 12;
            int day = 1 + (seed >> 12) % 28;
            const bool recent = (seed >> 20) % 2;
            int index = i;
            if (newer && i % 100 == 7) day = day % 28 + 1;        // re-dated
            if (newer && i % 100 == 42) index = 100000 + i;       // removed, another added
            char when[16];
            if (recent)
                std::snprintf(when, sizeof when, "%02u:%02u", (seed >> 24) % 24, (seed >> 4) % 60);
            else
                std::snprintf(when, sizeof when, " %u", 1995 + (seed >> 24) % 25);
            std::fprintf(f, "-rw-r--r--   1 owner    group    %10u %s %2d %5s file %06d.dat\r\n",
                         seed % 1000000, kMonths[month], day, when, index);
        }
        std::fclose(f);
    }
};

void BM_CompareListings100k(benchmark::State& state) {
    runState().currentYear = 2024;
    static Listings listings;
    const std::vector<std::string> ignore = {"file 000001.dat"};
    for (auto _ : state) {
        FtpListingComparison comparison;
        bool found = false;
        const int changed = comparison.compareListings(listings.current.c_str(), listings.previous.c_str(),
                                                       ignore, "FILE 099999.DAT", &found);
        benchmark::DoNotOptimize(changed);
        if (comparison.changedCount() != 1000 || comparison.addedCount() != 1000 ||
            comparison.removedCount() != 1000 || !found)
            state.SkipWithError("unexpected comparison result");
    }
}
BENCHMARK(BM_CompareListings100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
