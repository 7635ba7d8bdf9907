#include "net/tcp_client.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "net/ftp_client.h"
#include "net/http_head.h"

namespace {

// The reply file: created by the first bytes, kept open for the whole reply.
class ReplyFile {
public:
    // Stored names use a backslash as separator: cache\00000001.mon.
    explicit ReplyFile(const char* name) : name_(name ? name : "") {
        std::replace(name_.begin(), name_.end(), '\\', '/');
    }
    ~ReplyFile() { discard(); }

    bool write(const char* data, size_t n) {
        if (!file_) {
            file_ = std::fopen(name_.c_str(), "abe");
            if (!file_) return failed();
            opened_ = true;
            std::setvbuf(file_, nullptr, _IOFBF, kBufferBytes);
        }
        return std::fwrite(data, 1, n, file_) == n || failed();
    }

    // True when everything written reached the file.
    bool finish() {
        if (!file_) return true;
        const bool ok = std::fclose(file_) == 0;
        file_ = nullptr;
        if (ok) opened_ = false;  // the reply is complete: keep it
        return ok || failed();
    }

    // Closes and removes whatever this request created.
    void discard() {
        if (file_) {
            std::fclose(file_);
            file_ = nullptr;
        }
        if (opened_) std::remove(name_.c_str());
        opened_ = false;
    }

private:
    static bool failed() {
        noteReplyFileError(errno);
        return false;
    }
    static constexpr size_t kBufferBytes = 256 * 1024;
    std::string name_;
    FILE* file_ = nullptr;
    bool opened_ = false;
};

thread_local int replyFileError = 0;

}  // namespace

int lastReplyFileError() {
    return replyFileError;
}

void noteReplyFileError(int error) {
    replyFileError = error;
}

TcpPool& gopherPool() {
    static TcpPool& pool = *new TcpPool();
    return pool;
}

TcpPool& webPool() {
    static TcpPool& pool = *new TcpPool(TcpPool::WhenBusy::WaitForIt);
    return pool;
}

TcpClient::TcpClient(const char* host, uint16_t port) : host_(host ? host : ""), port_(port) {
    in_addr ip{};
    if (!resolveIpv4(host_, &ip)) {
        resolved_ = false;
        ip.s_addr = htonl(INADDR_NONE);
    }
    address_ = makeAddress(ip, port_);
}

TcpClient::~TcpClient() = default;

void TcpClient::setAddress(in_addr ip) {
    address_ = makeAddress(ip, port_);
    resolved_ = true;
}

int64_t TcpClient::requestDeadlineMs(int timeOutMs) {
    return std::max<int64_t>(int64_t{4} * timeOutMs, kMinRequestDeadlineMs);
}

int32_t TcpClient::connectSocket(Socket& out, int timeOutMs) const {
    out = openStreamSocket();
    if (!out.valid()) return TcpNoSocket;
    if (!resolved_ || connectWithin(out, address_, timeOutMs) != ConnectOk) {
        out.close();
        return TcpConnectFailed;
    }
    return 0;
}

int32_t TcpClient::request(const char* text, const char* fileName, int timeOut, ReplyEnd end) {
    const SteadyTime deadline = deadlineIn(requestDeadlineMs(timeOut));

    Socket sock;
    if (const int32_t rc = connectSocket(sock, std::min(timeOut, msLeft(deadline)))) return rc;
    if (!sendAll(sock, text ? text : "", timeOut, deadline)) return TcpSendFailed;

    // The reply is whole when the server closes. A reset, or silence for "time
    // out", cuts it short: then only an HTTP reply that already holds every byte
    // its Content-Length announces counts. An HTTP reply with fewer bytes than it
    // announces is cut short however it ends. Nothing at all is no reply.
    // Interim 1xx heads before an HTTP reply are dropped: the file holds the real
    // reply alone, so that head is read as the head and never as page text.
    const bool http = end == ReplyEnd::HttpLength;
    ReplyFile file(fileName);
    const size_t chunkBytes = 64 * 1024;
    std::unique_ptr<char[]> chunk(new char[chunkBytes]);
    std::string head;     // the reply's first bytes, where an HTTP head announces its size
    std::string pending;  // HTTP bytes not yet known to be past every interim head
    bool started = !http;
    bool headEnded = false;
    int64_t received = 0;
    int64_t total = 0;  // bytes stored
    auto announced = [&] { return http ? announcedReplySize(head) : std::nullopt; };
    for (;;) {
        const int left = msLeft(deadline);
        if (left == 0) return TcpReplyAborted;
        const long n = receiveWithin(sock, chunk.get(), chunkBytes, std::min(timeOut, left));
        if (n == ReceiveTimedOut && left < timeOut) return TcpReplyAborted;
        if (n == ReceiveClosed || (n < 0 && received == 0)) break;
        if (n < 0) {
            const std::optional<uint64_t> size = announced();
            if (size && static_cast<uint64_t>(total) >= *size) break;
            return TcpReplyAborted;
        }
        if (received + n > kMaxReplyBytes) return TcpReplyAborted;
        received += n;
        std::string_view data(chunk.get(), static_cast<size_t>(n));
        if (!started) {
            pending.append(data);
            const InterimReplies interim = interimReplies(pending);
            pending.erase(0, interim.length);
            if (!interim.settled) {
                if (pending.size() > kMaxReplyHead) return TcpReplyAborted;
                continue;
            }
            started = true;
            data = pending;
        }
        if (!file.write(data.data(), data.size())) return TcpFileFailed;
        if (http && head.size() < kMaxReplyHead) {
            const size_t from = head.size() > 2 ? head.size() - 2 : 0;
            head.append(data.substr(0, kMaxReplyHead - head.size()));
            // A reply that announces more than the cap fails as soon as its head
            // is in, not 64 MiB later. Only new bytes are searched for its end.
            if (!headEnded && (head.find("\n\n", from) != std::string::npos ||
                               head.find("\n\r\n", from) != std::string::npos)) {
                headEnded = true;
                const std::optional<uint64_t> size = announced();
                if (size && *size > static_cast<uint64_t>(kMaxReplyBytes)) return TcpReplyAborted;
            }
        }
        total += static_cast<int64_t>(data.size());
    }
    sock.close();
    if (!started && !pending.empty()) {
        // Ended before the real status line: cut short inside an interim head,
        // or a reply too short to tell, which is stored as it came.
        const int code = statusLineCode(std::string_view(pending).substr(0, pending.find('\n')));
        if (code >= 100 && code <= 199) return TcpReplyAborted;
        if (!file.write(pending.data(), pending.size())) return TcpFileFailed;
        total = static_cast<int64_t>(pending.size());
    }
    if (const std::optional<uint64_t> size = announced(); size && static_cast<uint64_t>(total) < *size)
        return TcpReplyAborted;
    if (!file.finish()) return TcpFileFailed;
    return static_cast<int32_t>(total);
}

int32_t pooledTcpRequest(TcpPool& pool, const char* host, uint16_t port, const char* text,
                         const char* fileName, ReplyEnd end, int timeOutMs) {
    if (!host || !*host || !text || !*text) return 0;
    const auto same = [&](const TcpClient& e) { return e.port() == port && std::strcmp(e.host(), host) == 0; };
    if (TcpPool::Claim endpoint = pool.claim(same)) return endpoint->request(text, fileName, timeOutMs, end);

    // Resolved before the pool is touched: a slow lookup holds up nobody.
    auto fresh = std::make_unique<TcpClient>(host, port);
    if (!fresh->resolved()) return TcpUnresolved;
    if (pool.waitsForBusy()) {
        const TcpPool::Claim endpoint = pool.claimOrAdd(std::move(fresh), same);
        return endpoint->request(text, fileName, timeOutMs, end);
    }
    // Nobody else knows the new endpoint until it is in the pool: no lock needed.
    const int32_t result = fresh->request(text, fileName, timeOutMs, end);
    pool.add(std::move(fresh));
    return result;
}

bool resolvePooledHostAgain(const std::string& host, uint16_t port) {
    in_addr ip{};
    if (host.empty() || !resolveIpv4(host, &ip)) return false;
    gopherPool().readdress(host, port, ip);
    webPool().readdress(host, port, ip);
    ftpPool().readdress(host, port, ip);
    return true;
}
