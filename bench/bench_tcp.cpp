// Requests per second of TcpClient::request against a loopback server, beside a
// plain loop of connect, send, receive and close, so that the ratio shows what
// the client adds (resolution is done once, as in the pools).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "net/tcp_client.h"
#include "platform/net_socket.h"

namespace {

const char* const kRequest = "GET / HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
const int kTimeOutMs = 30000;  // the default "time out"

// Answers every request with a fixed reply and closes, one connection at a time.
class ReplyServer {
public:
    explicit ReplyServer(size_t replyBytes)
        : reply_("HTTP/1.0 200 OK\r\n\r\n" + std::string(replyBytes, 'p')),
          listener_(listenOnLoopback(0, 128)),
          thread_([this] { run(); }) {}
    ~ReplyServer() {
        stop_ = true;
        thread_.join();
    }
    uint16_t port() const { return localPortOf(listener_); }

private:
    void run() {
        char buf[4096];
        while (!stop_) {
            Socket s = acceptWithin(listener_, 50);
            if (!s.valid()) continue;
            std::string request;
            while (request.find("\r\n\r\n") == std::string::npos) {
                const long n = receiveWithin(s, buf, sizeof buf, 1000);
                if (n <= 0) break;
                request.append(buf, static_cast<size_t>(n));
            }
            sendAll(s, reply_, 1000);
        }
    }

    std::string reply_;
    Socket listener_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string benchFile() { return "/tmp/tervane-bench-" + std::to_string(getpid()) + ".mon"; }

void BM_TcpClientRequest(benchmark::State& state) {
    ReplyServer server(static_cast<size_t>(state.range(0)));
    TcpClient client("127.0.0.1", server.port());
    const std::string file = benchFile();
    int64_t bytes = 0;
    for (auto _ : state) {
        const int32_t n = client.request(kRequest, file.c_str(), kTimeOutMs);
        if (n <= 0) state.SkipWithError("request failed");
        bytes += n;
        std::remove(file.c_str());
    }
    state.SetBytesProcessed(bytes);
}

// The same exchange with blocking calls and no bounds; writeFile stores the reply
// as the client does.
void plainLoop(benchmark::State& state, bool writeFile) {
    ReplyServer server(static_cast<size_t>(state.range(0)));
    sockaddr_in addr = loopbackAddress(server.port());
    const std::string file = benchFile();
    const size_t requestLength = std::string(kRequest).size();
    char buf[64 * 1024];
    int64_t bytes = 0;
    for (auto _ : state) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::send(fd, kRequest, requestLength, MSG_NOSIGNAL) < 0)
            state.SkipWithError("exchange failed");
        FILE* out = writeFile ? std::fopen(file.c_str(), "ab") : nullptr;
        ssize_t n;
        while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) {
            bytes += n;
            if (out) std::fwrite(buf, 1, static_cast<size_t>(n), out);
        }
        if (out) std::fclose(out);
        ::close(fd);
        if (writeFile) std::remove(file.c_str());
    }
    state.SetBytesProcessed(bytes);
}

void BM_PlainLoop(benchmark::State& state) { plainLoop(state, false); }
void BM_PlainLoopToFile(benchmark::State& state) { plainLoop(state, true); }

}  // namespace

BENCHMARK(BM_TcpClientRequest)->Arg(1024)->Arg(256 * 1024)->UseRealTime();
BENCHMARK(BM_PlainLoopToFile)->Arg(1024)->Arg(256 * 1024)->UseRealTime();
BENCHMARK(BM_PlainLoop)->Arg(1024)->Arg(256 * 1024)->UseRealTime();
BENCHMARK_MAIN();
