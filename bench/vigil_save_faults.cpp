// Saves of vigil.dat under faults, counted: a save killed (SIGKILL) at a random
// moment, and two processes saving the same file at once while it is read.
// Not a test (it takes a while):  build/bench/vigil_save_faults [tries] [records]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeAll(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << text;
}

// The list as the child writes it: the first Vigil renamed.
std::string saveAs(const std::string& description) {
    vigilList().snapshot().front()->setDescription(description);
    if (VigilStore::save("vigil.dat", vigilList()).status != 0) std::exit(2);
    return readAll("vigil.dat");
}

int leftTemporaries() {
    int n = 0;
    for (const auto& e : fs::directory_iterator(".")) {
        if (e.path().filename().string().rfind("vigil.dat.", 0) == 0) {
            fs::remove(e.path());
            ++n;
        }
    }
    return n;
}

pid_t startChild(const std::string& description, int saves) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        vigilList().snapshot().front()->setDescription(description);
        for (int i = 0; i < saves; ++i) VigilStore::save("vigil.dat", vigilList()).status;
        ::_exit(0);
    }
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    const int tries = argc > 1 ? std::atoi(argv[1]) : 200;
    const int records = argc > 2 ? std::atoi(argv[2]) : 20000;
    char pattern[] = "/tmp/vigil_save_faults_XXXXXX";
    if (!::mkdtemp(pattern) || ::chdir(pattern) != 0) return 2;

    for (int i = 0; i < records; ++i)
        VigilStore::parseRecord("|http|Page " + std::to_string(i) + "|2;EMAIL:me@example.com |www" +
                                    std::to_string(i % 50) + ".example.com|80|/news/" + std::to_string(i) +
                                    "/index.html|21600|863000000|863100000|33|0|863000000|0|9||counter|\n", vigilList());
    const std::string newText = saveAs("new");
    const auto start = std::chrono::steady_clock::now();
    const std::string oldText = saveAs("old");
    const auto saveUs = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - start).count();

    // 1. A save killed at a random moment: the file is the old list or the new one.
    std::mt19937 random(12345);
    std::uniform_int_distribution<long> delay(0, saveUs * 3 / 2 + 1000);  // the child starts first
    int whole_old = 0, whole_new = 0, partial = 0, temporaries = 0;
    for (int t = 0; t < tries; ++t) {
        writeAll("vigil.dat", oldText);
        const pid_t child = startChild("new", 1);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string now = readAll("vigil.dat");
        if (now == oldText) ++whole_old;
        else if (now == newText) ++whole_new;
        else ++partial;
        temporaries += leftTemporaries();
    }
    std::printf("kill -9 during a save of %d records (%lld us each): tries %d, whole-old %d, whole-new %d, "
                "partial %d (temporaries left by the killed saves: %d)\n",
                records, static_cast<long long>(saveUs), tries, whole_old, whole_new, partial, temporaries);

    // 2. Two processes saving at once while the file is read.
    writeAll("vigil.dat", oldText);
    const pid_t a = startChild("old", tries), b = startChild("new", tries);
    int reads = 0, torn = 0;
    for (bool running = true; running; ++reads) {
        const std::string now = readAll("vigil.dat");
        if (now != oldText && now != newText) ++torn;
        running = ::waitpid(a, nullptr, WNOHANG) == 0 || ::waitpid(b, nullptr, WNOHANG) == 0;
    }
    ::waitpid(a, nullptr, 0);
    ::waitpid(b, nullptr, 0);
    std::printf("two processes saving %d times each: reads %d, partial %d, temporaries left %d\n", tries, reads,
                torn, leftTemporaries());

    fs::current_path("/tmp");
    fs::remove_all(pattern);
    return partial == 0 && torn == 0 ? 0 : 1;
}
