// Batch runs killed (SIGKILL) at random moments, as cron's time limit or a reboot
// ends them, over Web pages of a loopback server that change between runs; after
// each kill a run is left to finish. Counted: the page changes that no report
// ever named, the copies in cache that vigil.dat does not name after a finished
// run, and the copies vigil.dat names that were missing when a run was killed.
// The pages come from a scripted server (without Last-Modified) or from lighttpd,
// which dates each page by its file and answers 304 to a date not older than that.
// Not a test (it takes minutes):
//   build/bench/batch_kill_loop [kills] [pages] [tervane binary] [scripted|lighttpd]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string readAll(const fs::path& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string pageText(int page, int edition) {
    std::string text = "<html><head><title>Page " + std::to_string(page) + "</title></head><body>\n<h1>Edition " +
                       std::to_string(edition) + "</h1>\n";
    for (int p = 0; p < 30; ++p) text += "<p>Paragraph " + std::to_string(p) + " of the page, in plain words.</p>\n";
    return text + "</body></html>\n";
}

// Pages served at /N, changed between runs.
class Pages {
public:
    virtual ~Pages() = default;
    virtual int port() const = 0;
    virtual void change(int page) = 0;
};

// Serves GET /N with page N in its current edition, one connection at a time
// (a batch run checks one page after another).
class PageServer : public Pages {
public:
    explicit PageServer(int pages) : editions_(pages) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener_, 64) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::perror("page server");
            std::exit(2);
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~PageServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    int port() const override { return port_; }
    void change(int page) override { ++editions_[page]; }

private:
    void serve() {
        while (!stop_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 100) <= 0) continue;
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            timeval limit{2, 0};
            ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            std::string request;
            char buffer[2048];
            ssize_t n;
            while (request.find("\r\n\r\n") == std::string::npos && (n = ::recv(client, buffer, sizeof buffer, 0)) > 0)
                request.append(buffer, static_cast<size_t>(n));
            const int page = std::atoi(request.c_str() + std::min<size_t>(request.size(), 5));  // "GET /N"
            if (page >= 0 && page < static_cast<int>(editions_.size())) {
                const std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body(page);
                for (size_t sent = 0; sent < reply.size();) {
                    const ssize_t w = ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                    if (w <= 0) break;
                    sent += static_cast<size_t>(w);
                }
            }
            ::close(client);
        }
    }
    std::string body(int page) const { return pageText(page, editions_[page].load()); }

    std::vector<std::atomic<int>> editions_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

// lighttpd serving the pages as files. Each edition gets a modification time of
// a second of its own, all in the past: HTTP dates cannot tell apart two edits
// made in the same second, whoever asks.
class LighttpdPages : public Pages {
public:
    LighttpdPages(int pages, const fs::path& folder) : folder_(folder), editions_(pages, 0) {
        fs::create_directories(folder_ / "www");
        stamp_ = ::time(nullptr) - 30L * 24 * 3600;
        for (int page = 0; page < pages; ++page) write(page);
        port_ = freePort();
        std::ofstream(folder_ / "lighttpd.conf")
            << "server.document-root = \"" << (folder_ / "www").string() << "\"\nserver.bind = \"127.0.0.1\"\n"
            << "server.port = " << port_ << "\nserver.errorlog = \"" << (folder_ / "error.log").string() << "\"\n"
            << "server.stat-cache-engine = \"disable\"\nmimetype.assign = (\"\" => \"text/html\")\n";
        pid_ = ::fork();
        if (pid_ == 0) {
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
            const std::string conf = (folder_ / "lighttpd.conf").string();
            ::execl("/usr/sbin/lighttpd", "lighttpd", "-D", "-f", conf.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int tries = 0; tries < 100; ++tries) {
            const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<uint16_t>(port_));
            const bool up = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            ::close(s);
            if (up) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::fprintf(stderr, "lighttpd did not start\n");
        std::exit(2);
    }
    ~LighttpdPages() override {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    int port() const override { return port_; }
    void change(int page) override {
        ++editions_[page];
        write(page);
    }

private:
    void write(int page) {
        const fs::path file = folder_ / "www" / std::to_string(page);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << pageText(page, editions_[page]);
        const timespec times[2] = {{stamp_, 0}, {stamp_, 0}};
        ::utimensat(AT_FDCWD, file.c_str(), times, 0);
        ++stamp_;
    }
    fs::path folder_;
    std::vector<int> editions_;
    time_t stamp_ = 0;
    int port_ = 0;
    pid_t pid_ = -1;
};

pid_t startRun(const std::string& binary, const fs::path& folder) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
        ::execl(binary.c_str(), binary.c_str(), "/batch", "/quiet", "/text", "report.txt", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    return pid;
}

// True when the run ended by itself within the time given; otherwise it is killed.
bool runFor(const std::string& binary, const fs::path& folder, std::chrono::microseconds limit) {
    const pid_t pid = startRun(binary, folder);
    const auto deadline = Clock::now() + limit;
    int status = 0;
    while (Clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return false;
}

// The copy names vigil.dat holds ("cache\" eight digits ".mon").
std::set<std::string> namedCopies(const fs::path& folder) {
    const std::string text = readAll(folder / "vigil.dat");
    std::set<std::string> names;
    for (size_t at = text.find("cache\\"); at != std::string::npos; at = text.find("cache\\", at + 1))
        if (text.compare(at + 14, 4, ".mon") == 0) names.insert(text.substr(at + 6, 12));
    return names;
}

std::set<std::string> cacheFiles(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder / "cache")) names.insert(entry.path().filename().string());
    return names;
}

struct Counts {
    long changes = 0;
    long reported = 0;
    long lost = 0;
    int runsLosing = 0;
    long namedMissing = 0;
    size_t unnamedMost = 0;
    size_t unnamedLast = 0;
};

// Takes a whole report: a page it names as changed has its changes reported; one
// it names as unchanged while it had changes lost them.
bool takeReport(const fs::path& folder, std::vector<int>& pending, Counts& counts) {
    const std::string text = readAll(folder / "report.txt");
    if (text.find("The following sites did not change:") == std::string::npos) return false;
    std::istringstream lines(text);
    std::string line;
    int section = -1;
    long lost = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("The following", 0) == 0) ++section;
        if (line.rfind("  Page ", 0) != 0) continue;
        const int page = std::atoi(line.c_str() + 7);
        if (section == 0) counts.reported += pending[page];
        if (section == 2) lost += pending[page];
        if (section != 1) pending[page] = 0;
    }
    counts.lost += lost;
    if (lost > 0) ++counts.runsLosing;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int kills = argc > 1 ? std::atoi(argv[1]) : 100;
    const int pages = argc > 2 ? std::atoi(argv[2]) : 300;
    const std::string binary = fs::absolute(argc > 3 ? argv[3] : "build/tervane").string();
    if (!fs::exists(binary)) {
        std::fprintf(stderr, "no program at %s\n", binary.c_str());
        return 2;
    }
    const bool lighttpd = argc > 4 && std::string(argv[4]) == "lighttpd";
    char pattern[] = "/tmp/batch_kill_loop_XXXXXX";
    if (!::mkdtemp(pattern)) return 2;
    const fs::path folder = pattern;
    char serverPattern[] = "/tmp/batch_kill_loop_www_XXXXXX";
    if (!::mkdtemp(serverPattern)) return 2;
    std::unique_ptr<Pages> served;
    if (lighttpd)
        served = std::make_unique<LighttpdPages>(pages, serverPattern);
    else
        served = std::make_unique<PageServer>(pages);
    Pages& server = *served;
    {
        std::ofstream list(folder / "vigil.dat");
        list << pages << "\n";
        for (int i = 0; i < pages; ++i)
            list << "|http|Page " << i << "|2|127.0.0.1|" << server.port() << "|/" << i << "|3600|0|0|1|-1|0|0|9|||\n";
        std::ofstream(folder / "VGW.INI") << "[Vigil]\ntime out=5000\n";
    }

    // The first run takes every first copy; the second, timed, compares them all.
    const auto forever = std::chrono::minutes(5);
    runFor(binary, folder, forever);
    const auto start = Clock::now();
    if (!runFor(binary, folder, forever)) return 2;
    const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);

    std::mt19937 random(20261209);
    std::uniform_int_distribution<long> killAt(0, runTime.count());
    std::uniform_int_distribution<int> anyPage(0, pages - 1);
    const int changesPerRun = std::max(1, pages / 12);  // before the killed run and before the next one
    std::vector<int> pending(pages, 0);
    Counts counts;
    int ranOut = 0;
    auto changePages = [&] {
        for (int c = 0; c < changesPerRun; ++c) {
            const int page = anyPage(random);
            server.change(page);
            ++pending[page];
            ++counts.changes;
        }
    };
    for (int k = 0; k < kills; ++k) {
        changePages();
        fs::remove(folder / "report.txt");
        if (runFor(binary, folder, std::chrono::microseconds(killAt(random)))) ++ranOut;
        for (const std::string& name : namedCopies(folder))
            if (!fs::exists(folder / "cache" / name)) ++counts.namedMissing;
        takeReport(folder, pending, counts);  // a killed run may have written its report

        changePages();
        fs::remove(folder / "report.txt");
        if (!runFor(binary, folder, forever) || !takeReport(folder, pending, counts)) {
            std::fprintf(stderr, "run %d did not finish with a report\n", k);
            return 2;
        }
        const std::set<std::string> named = namedCopies(folder);
        size_t unnamed = 0;
        for (const std::string& file : cacheFiles(folder)) unnamed += named.count(file) == 0;
        counts.unnamedMost = std::max(counts.unnamedMost, unnamed);
        counts.unnamedLast = unnamed;
    }
    // Changes still waiting are those of pages the last run could not check.
    long waiting = 0;
    for (int n : pending) waiting += n;

    std::printf("%s: ", lighttpd ? "lighttpd" : "scripted server");
    std::printf("%d kills of batch runs over %d pages (%d ran out before the kill; a full run takes %.2f s), "
                "%ld page changes\n",
                kills, pages, ranOut, runTime.count() / 1e6, counts.changes);
    std::printf("changes never reported: %ld (after %d of the %d kills); reported: %ld; still waiting: %ld\n",
                counts.lost, counts.runsLosing, kills, counts.reported, waiting);
    std::printf("copies in cache that vigil.dat does not name after the next run: %zu at the end, at most %zu\n",
                counts.unnamedLast, counts.unnamedMost);
    std::printf("copies named by vigil.dat but missing when a run was killed: %ld\n", counts.namedMissing);
    fs::remove_all(folder);
    served.reset();
    fs::remove_all(serverPattern);
    return counts.lost == 0 && counts.unnamedLast == 0 && counts.namedMissing == 0 ? 0 : 1;
}
