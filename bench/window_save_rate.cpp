// Saves of vigil.dat by the running window while check results arrive: 300 Web
// items checked every minute (5 results a second), the window's own timer ticking
// every 20 s (and saving every 2 minutes).
// Runs for the seconds given (default 120, which holds one of the timer's saves)
// and gives saves and bytes written per hour.
//   window_save_rate [seconds]
#include <sys/stat.h>

#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include "app/main_run.h"
#include "app/window_services.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "platform/qt/window_event.h"

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 120;
    constexpr int kItems = 300;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("save_rate." + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "cache");
    std::filesystem::current_path(folder);
    {
        std::ofstream out("vigil.dat");
        out << kItems << "\n";
        for (int i = 0; i < kItems; ++i)
            out << "|http|Watched page number " << i << "|2;EMAIL:me@example.org |www" << i
                << ".example.org|80|/news/index-" << i << ".html|60|1767175200|1767261600|33|1|1767175190|0|9|cache\\"
                << std::to_string(10000000 + i).substr(0, 8) << ".mon||\n";
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    long long saves = 0, bytes = 0;
    windowServices().schedulerPass = [] {};
    windowServices().saveVigils = [&](const std::string& name) {
        const VigilStore::SaveResult saved = VigilStore::save(name, vigilList());
        struct stat st {};
        if (saved.status == 0 && ::stat(name.c_str(), &st) == 0) bytes += st.st_size;
        ++saves;
        return saved;
    };
    MainWindowParts parts = openMainWindow();
    startLoadThread(*parts.window);
    while (!listLoaded.load() || vigilList().snapshot().size() != kItems) QApplication::processEvents(QEventLoop::AllEvents, 10);
    QApplication::processEvents();
    saves = bytes = 0;

    // Results from check threads, spread evenly over each minute.
    std::atomic<bool> stop{false};
    std::thread results([&] {
        const auto list = vigilList().snapshot();
        auto next = std::chrono::steady_clock::now();
        for (size_t i = 0; !stop; ++i) {
            const std::shared_ptr<Vigil>& v = list[i % list.size()];
            v->setLastChecked(time(nullptr));
            postWindowEvent(VigilStatus::NoChange, v->id(), 0);
            next += std::chrono::milliseconds(60000 / kItems);
            std::this_thread::sleep_until(next);
        }
    });
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    stop = true;
    results.join();

    const double perHour = 3600.0 / seconds;
    std::printf("%d items, 1-minute interval, %d s measured: %lld saves, %lld bytes\n", kItems, seconds, saves, bytes);
    std::printf("per hour: %.0f saves, %.1f MB written (file %lld bytes)\n", saves * perHour, bytes * perHour / 1e6,
                saves ? bytes / saves : 0LL);
    std::fflush(stdout);
    parts.handler.reset();
    parts.window.reset();
    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder);
    std::_Exit(0);
}
