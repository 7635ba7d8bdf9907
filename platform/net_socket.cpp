#include "platform/net_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/ascii_text.h"

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

void Socket::close() {
    if (fd_ >= 0) {
        ::close(fd_);  // never retried after EINTR: the descriptor is gone either way
        fd_ = -1;
    }
}

int Socket::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

SteadyTime deadlineIn(int64_t ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<int64_t>(ms, 0));
}

int msLeft(SteadyTime deadline) {
    if (deadline == SteadyTime::max()) return INT_MAX;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

namespace {

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equalsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// poll on one descriptor, retried after signals with the time that is left.
int pollOne(int fd, short events, int timeoutMs, short* revents) {
    const SteadyTime until = deadlineIn(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, timeoutMs < 0 ? -1 : msLeft(until));
        if (rc < 0 && errno == EINTR) continue;
        if (rc > 0 && revents) *revents = p.revents;
        return rc;
    }
}

}  // namespace

bool resolveIpv4(const std::string& host, in_addr* out) {
    if (host.empty()) return false;
    in_addr ip{};
    if (inet_pton(AF_INET, host.c_str(), &ip) == 1) {
        *out = ip;
        return true;
    }
    // Reserved for names that must never resolve; asking a name server is pointless.
    std::string name = host;
    if (!name.empty() && name.back() == '.') name.pop_back();
    if (name == "invalid" || endsWithNoCase(name, ".invalid")) return false;

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return false;
    bool found = false;
    for (addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr) {
            *out = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr;
            found = true;
            break;
        }
    }
    freeaddrinfo(list);
    return found;
}

sockaddr_in makeAddress(in_addr ip, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr = ip;
    return a;
}

sockaddr_in loopbackAddress(uint16_t port) {
    in_addr ip{};
    ip.s_addr = htonl(INADDR_LOOPBACK);
    return makeAddress(ip, port);
}

std::string addressText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

Socket openStreamSocket() {
    return Socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

ConnectResult connectWithin(const Socket& socket, const sockaddr_in& address, int timeoutMs) {
    if (!socket.valid()) return ConnectFailed;
    const int rc = ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (rc == 0) return ConnectOk;
    // After EINTR the connection goes on in the background, as after EINPROGRESS.
    if (errno != EINPROGRESS && errno != EINTR) return ConnectFailed;
    short revents = 0;
    const int ready = pollOne(socket.fd(), POLLOUT, timeoutMs, &revents);
    if (ready == 0) return ConnectTimedOut;
    if (ready < 0) return ConnectFailed;
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0)
        return ConnectFailed;
    return ConnectOk;
}

bool sendAll(const Socket& socket, const void* data, size_t length, int waitMs, SteadyTime deadline) {
    if (!socket.valid()) return false;
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t n = ::send(socket.fd(), p, length, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            length -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int wait = std::min(waitMs, msLeft(deadline));
            short revents = 0;
            if (wait <= 0 || pollOne(socket.fd(), POLLOUT, wait, &revents) <= 0) return false;
            if (revents & (POLLERR | POLLNVAL)) return false;
            continue;
        }
        return false;
    }
    return true;
}

int waitReadable(int fd, int timeoutMs) {
    short revents = 0;
    const int rc = pollOne(fd, POLLIN, timeoutMs, &revents);
    if (rc < 0) return -1;
    return rc > 0 ? 1 : 0;
}

long receiveWithin(const Socket& socket, void* buffer, size_t length, int timeoutMs, int flags) {
    if (!socket.valid()) return ReceiveFailed;
    const SteadyTime until = deadlineIn(timeoutMs);
    for (;;) {
        const ssize_t n = ::recv(socket.fd(), buffer, length, flags);
        if (n > 0) return static_cast<long>(n);
        if (n == 0) return ReceiveClosed;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return ReceiveFailed;
        const int left = msLeft(until);
        if (left <= 0) return ReceiveTimedOut;
        const int ready = waitReadable(socket.fd(), left);
        if (ready == 0) return ReceiveTimedOut;
        if (ready < 0) return ReceiveFailed;
    }
}

Socket listenOn(const sockaddr_in& local, int backlog) {
    Socket s = openStreamSocket();
    if (!s.valid()) return s;
    const int one = 1;
    setsockopt(s.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(s.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(s.fd(), backlog) != 0)
        return Socket();
    return s;
}

Socket listenOnLoopback(uint16_t port, int backlog) {
    return listenOn(loopbackAddress(port), backlog);
}

bool localAddressOf(const Socket& socket, sockaddr_in* out) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (!socket.valid() || getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return false;
    *out = a;
    return true;
}

uint16_t localPortOf(const Socket& socket) {
    sockaddr_in a{};
    return localAddressOf(socket, &a) ? ntohs(a.sin_port) : 0;
}

Socket acceptWithin(const Socket& listener, int timeoutMs, sockaddr_in* peer) {
    if (!listener.valid()) return Socket();
    const SteadyTime until = deadlineIn(timeoutMs);
    for (;;) {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        const int fd = ::accept4(listener.fd(), reinterpret_cast<sockaddr*>(&a), &len,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            if (peer) *peer = a;
            return Socket(fd);
        }
        // A connection that was reset before we took it is not a reason to give up.
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
            return Socket();
        const int left = msLeft(until);
        if (left <= 0 || waitReadable(listener.fd(), left) <= 0) return Socket();
    }
}

SocketLineReader::Result SocketLineReader::readLine(std::string& line, int waitMs, size_t maxLength,
                                                    SteadyTime deadline) {
    size_t scanned = 0;
    for (;;) {
        const size_t end = buffer_.find('\n', scanned);
        if (end != std::string::npos) {
            size_t stop = end;
            if (stop > 0 && buffer_[stop - 1] == '\r') --stop;
            line.assign(buffer_, 0, stop);
            buffer_.erase(0, end + 1);
            return Line;
        }
        scanned = buffer_.size();
        if (buffer_.size() > maxLength) return TooLong;
        const int wait = deadline == SteadyTime::max() ? waitMs : std::min(waitMs, msLeft(deadline));
        if (wait <= 0) return TimedOut;
        char chunk[4096];
        const long n = receiveWithin(socket_, chunk, sizeof chunk, wait);
        if (n > 0) {
            buffer_.append(chunk, static_cast<size_t>(n));
            continue;
        }
        if (n == ReceiveTimedOut) return TimedOut;
        return n == ReceiveClosed ? Closed : Failed;
    }
}
