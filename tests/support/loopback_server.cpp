#include "support/loopback_server.h"

#include <sys/socket.h>

#include <chrono>

namespace {
// Scripts wait in short slices so that stop() ends them promptly.
constexpr int kSliceMs = 50;

void pause(const LoopbackServer::Connection& c, int ms) {
    const SteadyTime until = deadlineIn(ms);
    while (!c.stopping() && msLeft(until) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kSliceMs, msLeft(until))));
}
}  // namespace

LoopbackServer::LoopbackServer(Script script) : script_(std::move(script)) {
    listener_ = listenOnLoopback(0, 64);
    port_ = localPortOf(listener_);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer() { stop(); }

void LoopbackServer::stop() {
    stopping_ = true;
    if (acceptThread_.joinable()) acceptThread_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> g(mutex_);
        workers.swap(workers_);
    }
    for (std::thread& t : workers) t.join();
    listener_.close();
}

void LoopbackServer::acceptLoop() {
    while (!stopping_) {
        Socket s = acceptWithin(listener_, kSliceMs);
        if (!s.valid()) continue;
        std::lock_guard<std::mutex> g(mutex_);
        const size_t index = received_.size();
        received_.emplace_back();
        ++active_;
        if (active_ > maxActive_) maxActive_ = active_;
        auto conn = std::make_shared<Connection>(Connection(*this, std::move(s), index));
        workers_.emplace_back([this, conn] {
            script_(*conn);
            {
                // Counted out before the peer can see the close and connect again.
                std::lock_guard<std::mutex> g2(mutex_);
                --active_;
            }
            conn->socket_.close();
        });
    }
}

void LoopbackServer::record(size_t index, const char* data, size_t n) {
    std::lock_guard<std::mutex> g(mutex_);
    received_[index].append(data, n);
}

int LoopbackServer::connections() const {
    std::lock_guard<std::mutex> g(mutex_);
    return static_cast<int>(received_.size());
}

std::string LoopbackServer::received(size_t index) const {
    std::lock_guard<std::mutex> g(mutex_);
    return index < received_.size() ? received_[index] : std::string();
}

bool LoopbackServer::waitForConnections(int count, int timeoutMs) const {
    const SteadyTime until = deadlineIn(timeoutMs);
    while (connections() < count) {
        if (msLeft(until) == 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int LoopbackServer::maxConcurrent() const {
    std::lock_guard<std::mutex> g(mutex_);
    return maxActive_;
}

bool LoopbackServer::Connection::stopping() const { return server_.stopping_; }

int LoopbackServer::Connection::readMore(int timeoutMs) {
    const SteadyTime until = deadlineIn(timeoutMs);
    char chunk[8192];
    while (!stopping()) {
        const int left = msLeft(until);
        if (left == 0) return -1;
        const long n = receiveWithin(socket_, chunk, sizeof chunk, std::min(left, kSliceMs));
        if (n == ReceiveTimedOut) continue;
        if (n <= 0) return 0;
        server_.record(index_, chunk, static_cast<size_t>(n));
        buffer_.append(chunk, static_cast<size_t>(n));
        return 1;
    }
    return -1;
}

bool LoopbackServer::Connection::readUntil(const std::string& delim, int timeoutMs) {
    const SteadyTime until = deadlineIn(timeoutMs);
    while (buffer_.find(delim) == std::string::npos) {
        if (readMore(msLeft(until)) != 1) return false;
    }
    return true;
}

bool LoopbackServer::Connection::readLine(std::string& line, int timeoutMs) {
    if (!readUntil("\n", timeoutMs)) return false;
    const size_t end = buffer_.find('\n');
    line = buffer_.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    buffer_.erase(0, end + 1);
    return true;
}

bool LoopbackServer::Connection::send(std::string_view bytes) {
    return sendAll(socket_, bytes, 5000);
}

void LoopbackServer::Connection::drainUntilClosed() {
    while (!stopping()) {
        buffer_.clear();
        if (readMore(kSliceMs) == 0) return;
    }
}

void LoopbackServer::Connection::resetOnClose() {
    linger l{1, 0};
    setsockopt(socket_.fd(), SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

LoopbackServer::Script LoopbackServer::reply(std::string bytes, std::string requestEnd) {
    return replyInChunks({std::move(bytes)}, 0, std::move(requestEnd));
}

LoopbackServer::Script LoopbackServer::replyCurrent(std::function<std::string()> current,
                                                    std::string requestEnd) {
    return [current, requestEnd](Connection& c) {
        if (c.readUntil(requestEnd)) c.send(current());
    };
}

LoopbackServer::Script LoopbackServer::replyInChunks(std::vector<std::string> chunks, int pauseMs,
                                                     std::string requestEnd) {
    return [chunks, pauseMs, requestEnd](Connection& c) {
        if (!c.readUntil(requestEnd)) return;
        for (size_t i = 0; i < chunks.size(); ++i) {
            if (i > 0) pause(c, pauseMs);
            if (!c.send(chunks[i])) return;
        }
    };
}

LoopbackServer::Script LoopbackServer::replyAfter(int holdMs, std::string bytes, std::string requestEnd) {
    return [holdMs, bytes, requestEnd](Connection& c) {
        if (!c.readUntil(requestEnd)) return;
        pause(c, holdMs);
        c.send(bytes);
    };
}

LoopbackServer::Script LoopbackServer::silent() {
    return [](Connection& c) { c.drainUntilClosed(); };
}

LoopbackServer::Script LoopbackServer::trickle(int intervalMs, std::string first) {
    return [intervalMs, first](Connection& c) {
        if (!first.empty() && !c.send(first)) return;
        while (!c.stopping() && c.send("x")) pause(c, intervalMs);
    };
}

LoopbackServer::Script LoopbackServer::endless() {
    return [](Connection& c) {
        const std::string block(64 * 1024, 'z');
        while (!c.stopping() && c.send(block)) {
        }
    };
}

LoopbackServer::Script LoopbackServer::dialogue(std::string greeting, std::vector<Exchange> exchanges) {
    return [greeting, exchanges](Connection& c) {
        if (!greeting.empty() && !c.send(greeting)) return;
        for (const Exchange& x : exchanges) {
            std::string line;
            for (;;) {
                if (!c.readLine(line)) return;
                const bool match = x.exact ? line == x.expect : line.rfind(x.expect, 0) == 0;
                if (match) break;
            }
            if (!x.reply.empty() && !c.send(x.reply)) return;
        }
        c.drainUntilClosed();
    };
}
