// The header reads of one Web check on a hostile stored reply: 62 MB of one-byte
// header lines with no end of the head. Reports the time of the reads and the
// process's peak memory (peak_rss_MB) after them.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/http_reply.h"

namespace {

class HostileReply {
public:
    HostileReply() : name_("/tmp/tervane-bench-head-" + std::to_string(getpid()) + ".mon") {
        FILE* f = std::fopen(name_.c_str(), "wb");
        if (!f) return;
        std::fputs("HTTP/1.0 200 OK\n", f);
        std::string lines;
        for (int i = 0; i < (1 << 19); ++i) lines += "a\n";
        for (int i = 0; i < 62; ++i) std::fwrite(lines.data(), 1, lines.size(), f);
        std::fclose(f);
    }
    ~HostileReply() { std::remove(name_.c_str()); }
    const char* path() const { return name_.c_str(); }

private:
    std::string name_;
};

void BM_HeaderReadsOfOneCheck(benchmark::State& state) {
    HostileReply reply;
    for (auto _ : state) {
        benchmark::DoNotOptimize(classifyReplyFile(reply.path()));
        benchmark::DoNotOptimize(isNotModifiedFile(reply.path()));
        benchmark::DoNotOptimize(detectChangeMethodFile(reply.path()));
        benchmark::DoNotOptimize(lastModifiedTimeFile(reply.path()));
        benchmark::DoNotOptimize(expiresTimeFile(reply.path()));
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

BENCHMARK(BM_HeaderReadsOfOneCheck)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
