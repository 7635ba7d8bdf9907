#pragma once
#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The program's thin layer over POSIX stream sockets. Every descriptor is
// non-blocking and close-on-exec (programs started for notifications must not
// inherit connections), every wait goes through poll with a bound, and sends
// never raise SIGPIPE.

// An owned socket descriptor, closed when the object goes.
class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : fd_(other.release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void close();
    // Gives up ownership; the caller closes the descriptor.
    int release();

private:
    int fd_ = -1;
};

using SteadyTime = std::chrono::steady_clock::time_point;
SteadyTime deadlineIn(int64_t ms);
// Milliseconds left until the deadline, 0 when it has passed (at most INT32_MAX).
int msLeft(SteadyTime deadline);

// Resolves a host to an IPv4 address: a dotted address without any lookup, else
// the name service (first IPv4 address). Names under ".invalid" never resolve and
// are never looked up. Thread-safe.
bool resolveIpv4(const std::string& host, in_addr* out);
sockaddr_in makeAddress(in_addr ip, uint16_t port);
sockaddr_in loopbackAddress(uint16_t port);
// "a.b.c.d"
std::string addressText(const sockaddr_in& address);

// A new IPv4 stream socket, invalid when none could be made (errno tells why).
Socket openStreamSocket();

enum ConnectResult { ConnectOk = 0, ConnectFailed = -1, ConnectTimedOut = -2 };
// Connects within timeoutMs.
ConnectResult connectWithin(const Socket& socket, const sockaddr_in& address, int timeoutMs);

// Sends every byte. Each wait for room in the send buffer lasts at most waitMs,
// and no wait goes past the deadline. False on a send error, a reset peer or a
// wait that ran out.
bool sendAll(const Socket& socket, const void* data, size_t length, int waitMs,
             SteadyTime deadline = SteadyTime::max());
inline bool sendAll(const Socket& socket, std::string_view data, int waitMs,
                    SteadyTime deadline = SteadyTime::max()) {
    return sendAll(socket, data.data(), data.size(), waitMs, deadline);
}

// 1 when the descriptor is readable (or the peer closed), 0 when the wait ran out,
// -1 when poll failed.
int waitReadable(int fd, int timeoutMs);

enum ReceiveResult : long { ReceiveClosed = 0, ReceiveFailed = -1, ReceiveTimedOut = -2 };
// Receives up to length bytes, waiting at most timeoutMs for the first of them.
// Result: bytes received (> 0), or one of ReceiveResult. flags go to recv (MSG_PEEK).
long receiveWithin(const Socket& socket, void* buffer, size_t length, int timeoutMs,
                   int flags = 0);

// A listening socket bound to local (port 0 takes a free port); invalid on failure.
Socket listenOn(const sockaddr_in& local, int backlog);
Socket listenOnLoopback(uint16_t port = 0, int backlog = 64);
// The local address of a socket (a listener's port, a connection's own address).
bool localAddressOf(const Socket& socket, sockaddr_in* out);
uint16_t localPortOf(const Socket& socket);
// Accepts one connection within timeoutMs; invalid when none came. peer may be null.
Socket acceptWithin(const Socket& listener, int timeoutMs, sockaddr_in* peer = nullptr);

// Reads lines from a connected socket through its own buffer. A line ends with a
// line feed; the end and a carriage return before it are not part of the line.
class SocketLineReader {
public:
    explicit SocketLineReader(const Socket& socket) : socket_(socket) {}

    enum Result { Line, Closed, TimedOut, Failed, TooLong };
    // Each wait for more bytes lasts at most waitMs, and none goes past the
    // deadline: a peer sending a byte now and then cannot stretch the line. A line
    // longer than maxLength gives TooLong; the bytes read so far are left in the buffer.
    Result readLine(std::string& line, int waitMs, size_t maxLength = 4096,
                    SteadyTime deadline = SteadyTime::max());
    // Bytes received but not yet returned as a line.
    const std::string& pending() const { return buffer_; }

private:
    const Socket& socket_;
    std::string buffer_;
};
