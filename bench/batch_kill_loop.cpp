// Batch runs killed (SIGKILL) at random moments, as cron's time limit or a reboot
// ends them, over Web pages of a loopback server that change between runs; after
// each kill a run is left to finish. Counted: the page changes that a report
// named as unchanged (the run started after them and they were never reported),
// the copies in cache that vigil.dat does not name after a finished run, and the
// copies vigil.dat names that were missing when a run was killed.
// The pages come from a scripted server (without Last-Modified) or from lighttpd,
// which dates each page by its file and answers 304 to a date not older than that.
// "anytime" is lighttpd with the pages edited at any moment, runs going on or not
// (often twice in one second, the first edition fetched in between), each file
// dated when it was written, now and then ahead of the server's clock (a copy from
// a machine whose clock ran ahead); after the last kill the edits stop and one
// more run is made. Not a test (it takes minutes):
//   build/bench/batch_kill_loop [kills] [pages] [tervane binary] [scripted|lighttpd|anytime]
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
#include <mutex>
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

// lighttpd serving the pages as files. Between runs each edition gets a
// modification time of a second of its own, all in the past: HTTP dates cannot
// tell apart two edits made in the same second, whoever asks. At any moment the
// file keeps the time it was written, or one ahead of the clock.
class LighttpdPages : public Pages {
public:
    LighttpdPages(int pages, const fs::path& folder, bool anytime)
        : folder_(folder), anytime_(anytime), editions_(pages, 0) {
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
    // The next edition's file is dated this far ahead of the clock.
    void dateAhead(time_t seconds) { ahead_ = seconds; }

private:
    // Written aside and renamed, so that no check reads half a page.
    void write(int page) {
        const fs::path file = folder_ / "www" / std::to_string(page);
        const fs::path aside = folder_ / "www" / ("." + std::to_string(page));
        std::ofstream(aside, std::ios::binary | std::ios::trunc) << pageText(page, editions_[page]);
        if (!anytime_ || ahead_ > 0) {
            const time_t when = anytime_ ? ::time(nullptr) + ahead_ : stamp_++;
            const timespec times[2] = {{when, 0}, {when, 0}};
            ::utimensat(AT_FDCWD, aside.c_str(), times, 0);
        }
        ahead_ = 0;
        fs::rename(aside, file);
    }
    fs::path folder_;
    bool anytime_;
    time_t ahead_ = 0;
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
bool runFor(const std::string& binary, const fs::path& folder, std::chrono::microseconds limit,
            Clock::time_point* started = nullptr) {
    if (started) *started = Clock::now();
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

// The edition of each page held by the copy vigil.dat names for it; -1 when unknown.
std::vector<int> copyEditions(const fs::path& folder, int pages) {
    std::vector<int> editions(pages, -1);
    std::istringstream lines(readAll(folder / "vigil.dat"));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t description = line.find("|Page ");
        const size_t copy = line.find("cache\\");
        if (description == std::string::npos || copy == std::string::npos) continue;
        const int page = std::atoi(line.c_str() + description + 6);
        const std::string text = readAll(folder / "cache" / line.substr(copy + 6, 12));
        const size_t at = text.find("<h1>Edition ");
        if (page >= 0 && page < pages && at != std::string::npos) editions[page] = std::atoi(text.c_str() + at + 12);
    }
    return editions;
}

// When each edition of each page was made (edition 0 before the first run).
class Ledger {
public:
    explicit Ledger(int pages) : made_(pages, std::vector<Clock::time_point>{Clock::time_point()}) {}
    void note(int page) {
        std::lock_guard<std::mutex> g(mutex_);
        made_[page].push_back(Clock::now());
    }
    int newest(int page) {
        std::lock_guard<std::mutex> g(mutex_);
        return static_cast<int>(made_[page].size()) - 1;
    }
    int newestBefore(int page, Clock::time_point when) {
        std::lock_guard<std::mutex> g(mutex_);
        const std::vector<Clock::time_point>& made = made_[page];
        return static_cast<int>(std::lower_bound(made.begin(), made.end(), when) - made.begin()) - 1;
    }

private:
    std::mutex mutex_;
    std::vector<std::vector<Clock::time_point>> made_;
};

struct Counts {
    long changes = 0;
    long reported = 0;
    long lost = 0;
    int runsLosing = 0;
    long namedMissing = 0;
    size_t unnamedMost = 0;
    size_t unnamedLast = 0;
};

// Takes a whole report of a run started at started. A page it names as changed
// has the editions up to the one its saved copy holds reported (a run killed
// before its save reports them again). One it names as unchanged lost the
// editions made before the run began, and any its copy holds, not yet reported.
bool takeReport(const fs::path& folder, Clock::time_point started, Ledger& ledger, std::vector<int>& accounted,
                Counts& counts) {
    const std::string text = readAll(folder / "report.txt");
    if (text.find("The following sites did not change:") == std::string::npos) return false;
    const std::vector<int> copies = copyEditions(folder, static_cast<int>(accounted.size()));
    std::istringstream lines(text);
    std::string line;
    int section = -1;
    long lost = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("The following", 0) == 0) ++section;
        if (line.rfind("  Page ", 0) != 0) continue;
        const int page = std::atoi(line.c_str() + 7);
        if (section == 0 && copies[page] > accounted[page]) {
            counts.reported += copies[page] - accounted[page];
            accounted[page] = copies[page];
        }
        const int hidden = std::max(ledger.newestBefore(page, started), copies[page]);
        if (section == 2 && hidden > accounted[page]) {
            lost += hidden - accounted[page];
            accounted[page] = hidden;
        }
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
    const std::string mode = argc > 4 ? argv[4] : "scripted";
    const bool anytime = mode == "anytime";
    const bool lighttpd = anytime || mode == "lighttpd";
    char pattern[] = "/tmp/batch_kill_loop_XXXXXX";
    if (!::mkdtemp(pattern)) return 2;
    const fs::path folder = pattern;
    char serverPattern[] = "/tmp/batch_kill_loop_www_XXXXXX";
    if (!::mkdtemp(serverPattern)) return 2;
    std::unique_ptr<Pages> served;
    LighttpdPages* files = nullptr;
    if (lighttpd) {
        auto made = std::make_unique<LighttpdPages>(pages, serverPattern, anytime);
        files = made.get();
        served = std::move(made);
    } else {
        served = std::make_unique<PageServer>(pages);
    }
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
    Ledger ledger(pages);
    std::vector<int> accounted(pages, 0);  // editions reported or lost, per page
    Counts counts;
    int ranOut = 0;
    std::mutex changing;
    auto change = [&](int page) {
        std::lock_guard<std::mutex> g(changing);
        server.change(page);
        ledger.note(page);
        ++counts.changes;
    };
    auto changePages = [&] {
        if (anytime) return;  // the editor does it
        for (int c = 0; c < changesPerRun; ++c) change(anyPage(random));
    };
    // At any moment, about as many edits a full run as between runs; a quarter of
    // them edited again within 300 ms, one in twenty dated 1 to 3 hours ahead.
    std::atomic<bool> editing{anytime};
    std::thread editor([&] {
        std::mt19937 dice(20270127);
        std::exponential_distribution<double> gap(changesPerRun / (runTime.count() / 1e6));
        std::uniform_int_distribution<int> page(0, pages - 1), percent(0, 99), again(0, 300), ahead(3600, 3 * 3600);
        while (editing) {
            std::this_thread::sleep_for(std::chrono::duration<double>(gap(dice)));
            const int p = page(dice);
            if (percent(dice) < 5) {
                std::lock_guard<std::mutex> g(changing);
                files->dateAhead(ahead(dice));
            }
            change(p);
            if (percent(dice) < 25) {
                std::this_thread::sleep_for(std::chrono::milliseconds(again(dice)));
                change(p);
            }
        }
    });
    Clock::time_point started;
    for (int k = 0; k < kills; ++k) {
        changePages();
        fs::remove(folder / "report.txt");
        if (runFor(binary, folder, std::chrono::microseconds(killAt(random)), &started)) ++ranOut;
        for (const std::string& name : namedCopies(folder))
            if (!fs::exists(folder / "cache" / name)) ++counts.namedMissing;
        takeReport(folder, started, ledger, accounted, counts);  // a killed run may have written its report

        changePages();
        fs::remove(folder / "report.txt");
        if (!runFor(binary, folder, forever, &started) ||
            !takeReport(folder, started, ledger, accounted, counts)) {
            std::fprintf(stderr, "run %d did not finish with a report\n", k);
            return 2;
        }
        const std::set<std::string> named = namedCopies(folder);
        size_t unnamed = 0;
        for (const std::string& file : cacheFiles(folder)) unnamed += named.count(file) == 0;
        counts.unnamedMost = std::max(counts.unnamedMost, unnamed);
        counts.unnamedLast = unnamed;
    }
    editing = false;
    editor.join();
    if (anytime) {
        // The edits stopped in an earlier second than the last run's.
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        fs::remove(folder / "report.txt");
        if (!runFor(binary, folder, forever, &started) ||
            !takeReport(folder, started, ledger, accounted, counts)) {
            std::fprintf(stderr, "the last run did not finish with a report\n");
            return 2;
        }
    }
    // Changes still waiting are those of pages the last run could not check.
    long waiting = 0;
    for (int page = 0; page < pages; ++page) waiting += ledger.newest(page) - accounted[page];

    std::printf("%s: ", anytime ? "lighttpd, edits at any moment" : lighttpd ? "lighttpd" : "scripted server");
    std::printf("%d kills of batch runs over %d pages (%d ran out before the kill; a full run takes %.2f s), "
                "%ld page changes\n",
                kills, pages, ranOut, runTime.count() / 1e6, counts.changes);
    std::printf("changes never reported: %ld (named unchanged by %d runs); reported: %ld; still waiting: %ld\n",
                counts.lost, counts.runsLosing, counts.reported, waiting);
    std::printf("copies in cache that vigil.dat does not name after the next run: %zu at the end, at most %zu\n",
                counts.unnamedLast, counts.unnamedMost);
    std::printf("copies named by vigil.dat but missing when a run was killed: %ld\n", counts.namedMissing);
    fs::remove_all(folder);
    served.reset();
    fs::remove_all(serverPattern);
    return counts.lost == 0 && counts.unnamedLast == 0 && counts.namedMissing == 0 ? 0 : 1;
}
