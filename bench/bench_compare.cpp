// Tokenize-and-compare of two stored copies of a large page, beside a plain read of
// the same bytes: the ratio of the two rates is the comparison's own cost.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/html_tokens.h"

namespace {

const int kIgnoreTags = 0x01;  // Web Vigil option

const char* const kWords[] = {"the",     "price",  "of",     "checking", "a",       "page",    "changed",
                              "between", "copies", "watch",  "server",   "news",    "today",   "archive",
                              "update",  "release", "notes", "version",  "support", "contact", "download",
                              "and",     "with",   "for",    "more",     "read",    "about",   "2024"};

class PageFiles {
public:
    PageFiles() {
        char pattern[] = "/tmp/tervane-bench-XXXXXX";
        if (const char* made = ::mkdtemp(pattern)) dir_ = made;
        for (int mb : {1, 10}) {
            const std::string page = makePage(static_cast<size_t>(mb) << 20, 0);
            write(name(mb, "prev"), page);
            // The same page with one word changed near its end
            std::string next = page;
            next.replace(next.size() - next.size() / 50, 5, "XXXXX");
            write(name(mb, "next"), next);
        }
    }
    ~PageFiles() {
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    std::string name(int mb, const char* which) const { return dir_ + "/" + which + std::to_string(mb) + ".mon"; }

private:
    static std::string makePage(size_t size, uint32_t seed) {
        uint32_t state = 2463534242u + seed;
        auto next = [&state] {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            return state;
        };
        auto words = [&](std::string& out, int n) {
            for (int i = 0; i < n; ++i) {
                out += kWords[next() % (sizeof kWords / sizeof kWords[0])];
                out += (next() % 12 == 0) ? '\n' : ' ';
            }
        };
        std::string out =
            "HTTP/1.1 200 OK\r\nServer: nginx\r\nContent-Type: text/html\r\n"
            "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\n"
            "<!DOCTYPE html>\n<html lang=\"en\">\n<head><title>Archive</title>\n"
            "<link rel=\"stylesheet\" href=\"/style.css\"></head>\n<body>\n";
        out.reserve(size + 4096);
        unsigned item = 0;
        while (out.size() < size) {
            switch (next() % 5) {
                case 0:
                    out += "<div class=\"entry\" id=\"e" + std::to_string(item++) + "\">\n<h2>";
                    words(out, 4);
                    out += "</h2>\n";
                    break;
                case 1:
                    out += "<p>";
                    words(out, 40 + static_cast<int>(next() % 60));
                    out += "</p>\n";
                    break;
                case 2:
                    out += "<ul>\n";
                    for (int i = 0; i < 5; ++i) {
                        out += "  <li><a href=\"/item/" + std::to_string(next() % 100000) + "\">";
                        words(out, 3);
                        out += "</a></li>\n";
                    }
                    out += "</ul>\n";
                    break;
                case 3:
                    out += "<table><tr><td>";
                    words(out, 2);
                    out += "</td><td>" + std::to_string(next() % 1000) + "</td></tr></table>\n";
                    break;
                default:
                    out += "<!-- block " + std::to_string(item) + " -->\n</div>\n";
                    break;
            }
        }
        out += "</body>\n</html>\n";
        return out;
    }

    static void write(const std::string& path, const std::string& bytes) {
        if (FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }

    std::string dir_;
};

const PageFiles& files() {
    static const PageFiles instance;
    return instance;
}

size_t readAll(const std::string& path, std::vector<char>& buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    size_t total = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got <= 0) break;
        total += static_cast<size_t>(got);
    }
    ::close(fd);
    return total;
}

void BM_PlainRead(benchmark::State& state) {
    const int mb = static_cast<int>(state.range(0));
    const std::string a = files().name(mb, "prev");
    const std::string b = files().name(mb, "next");
    std::vector<char> buffer(1 << 20);
    size_t bytes = 0;
    for (auto _ : state) {
        bytes += readAll(a, buffer);
        bytes += readAll(b, buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_TokenizeAndCompare(benchmark::State& state) {
    const int mb = static_cast<int>(state.range(0));
    const std::string a = files().name(mb, "prev");
    const std::string b = files().name(mb, "next");
    const std::vector<std::string> ignore{"visits:"};
    const int64_t perIteration = static_cast<int64_t>(std::filesystem::file_size(a) + std::filesystem::file_size(b));
    for (auto _ : state) {
        const int result = compareContentFiles(a.c_str(), b.c_str(), static_cast<int>(state.range(1)), ignore);
        if (result != ContentChanged) state.SkipWithError("the change was not found");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(perIteration * state.iterations());
}

}  // namespace

BENCHMARK(BM_PlainRead)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TokenizeAndCompare)
    ->Args({1, 0})
    ->Args({10, 0})
    ->Args({10, kIgnoreTags})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
