#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"

namespace {

// A folder holding a vigil.dat of 10,000 Vigils, a third of each kind.
struct DataFile {
    std::string dir;

    DataFile() {
        char pattern[] = "/tmp/bench_vigil_store_XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        dir = pattern;
        if (chdir(dir.c_str()) != 0) std::abort();
        FILE* f = std::fopen("vigil.dat", "w");
        const int count = 10000;
        std::fprintf(f, "%d\n", count);
        for (int i = 0; i < count; ++i) {
            switch (i % 3) {
            case 0:
                std::fprintf(f, "|http|Page %d of the news site|2;EMAIL:me@example.com |www%d.example.com|80|"
                                "/news/section/%d/index.html|21600|863000000|863100000|33|0|863000000|0|9|"
                                "cache\\%08d.mon||counter|session|\n",
                             i, i % 50, i, i);
                break;
            case 1:
                std::fprintf(f, "|ftp|Mirror %d|0|ftp%d.example.org|21|/pub/mirror/%d||86400|0|863100000|1|"
                                "anonymous|guest@localhost|9|cache\\%08d.mon||index.html|\n",
                             i, i % 50, i, i);
                break;
            default:
                std::fprintf(f, "|gopher|Gopher item %d|0|gopher%d.example.net|70|/1/items/%d|3600|0|"
                                "863100000|1|9|cache\\%08d.mon|\n",
                             i, i % 50, i, i);
            }
        }
        std::fclose(f);
    }
};

DataFile& dataFile() {
    static DataFile file;
    return file;
}

void clearList() {
    vigilList().clear();
}

void BM_LoadVigilDat(benchmark::State& state) {
    dataFile();
    for (auto _ : state) {
        clearList();
        VigilStore::load("vigil.dat", vigilList());
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_LoadVigilDat)->Unit(benchmark::kMillisecond);

void BM_SaveVigilDat(benchmark::State& state) {
    dataFile();
    clearList();
    VigilStore::load("vigil.dat", vigilList());
    for (auto _ : state) VigilStore::save("saved.dat", vigilList()).status;
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_SaveVigilDat)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
