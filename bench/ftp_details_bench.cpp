// Times an FTP Vigil's comparison of two listings that share no file (N added,
// N removed) and the FTP details window showing the result, and prints the
// peak memory of the process. Usage: ftp_details_bench [N]  (default 500000)
#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/ftp_vigil.h"
#include "core/run_state.h"
#include "dialogs/ftp_details_window.h"

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void writeListing(const char* path, const char* prefix, int count) {
    FILE* f = std::fopen(path, "w");
    if (!f) std::abort();
    for (int i = 0; i < count; ++i)
        std::fprintf(f, "-rw-r--r--   1 owner    group    %10d %s %2d  %4d %s%07d.dat\r\n", i * 7, kMonths[i % 12],
                     1 + i % 28, 1995 + i % 25, prefix, i);
    std::fclose(f);
}

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long currentKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 500000;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    runState().currentYear = 2024;

    char dir[] = "/tmp/ftp_details_bench_XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0) return 1;
    writeListing("previous.lst", "old ", count);
    writeListing("next.lst", "new ", count);
    const long baseKb = currentKb();

    VigilParams p;
    p.host = "127.0.0.1";
    p.description = "Bench";
    p.cacheFileName = "cache\\00000001.mon";
    auto vigil = std::make_shared<FtpVigil>(p, "anonymous", "guest@localhost", std::string("/pub"), std::nullopt,
                                            std::vector<std::string>{});

    QElapsedTimer clock;
    clock.start();
    vigil->compareListings("next.lst", "previous.lst", nullptr);
    const qint64 compareMs = clock.elapsed();
    const long afterCompareKb = currentKb();
    qint64 builtMs = 0;
    qint64 shownMs = 0;
    qint64 laidOutMs = 0;
    {
        clock.restart();
        FtpDetailsWindow window(nullptr, vigil);
        builtMs = clock.elapsed();
        window.show();
        QCoreApplication::processEvents();
        window.grab();  // paints the visible rows
        shownMs = clock.elapsed();
        // The rest of the list is laid out between events.
        QListView* list = window.list();
        const QModelIndex last = list->model()->index(list->model()->rowCount() - 1, 0);
        while (list->visualRect(last).isEmpty()) QCoreApplication::processEvents();
        laidOutMs = clock.elapsed();
    }
    QCoreApplication::processEvents();
    std::remove("previous.lst");
    std::remove("next.lst");
    chdir("/");
    rmdir(dir);

    std::printf("files: %d added, %d removed (listings of %d lines each)\n", vigil->addedCount(),
                vigil->removedCount(), count);
    std::printf("compare:            %lld ms\n", static_cast<long long>(compareMs));
    std::printf("window built:       %lld ms\n", static_cast<long long>(builtMs));
    std::printf("window shown:       %lld ms\n", static_cast<long long>(shownMs));
    std::printf("whole list laid out: %lld ms\n", static_cast<long long>(laidOutMs));
    std::printf("peak memory:        %ld MB\n", peakKb() / 1024);
    std::printf("kept by the Vigil:  %ld MB (resident after the compare, less before it)\n",
                (afterCompareKb - baseKb) / 1024);
    return 0;
}
