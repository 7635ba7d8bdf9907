#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/net_socket.h"

// A scripted TCP server on 127.0.0.1 and a free port, for tests that need exact
// replies or a misbehaving peer. Each accepted connection runs the script on its
// own thread; every byte the server receives is recorded per connection, in the
// order the connections were accepted.
class LoopbackServer {
public:
    class Connection {
    public:
        // Reads until text holds delim (true) or the peer closes, the wait runs out
        // or the server stops (false).
        bool readUntil(const std::string& delim, int timeoutMs = 5000);
        // One line without its CR LF.
        bool readLine(std::string& line, int timeoutMs = 5000);
        bool send(std::string_view bytes);
        // Reads (and records) until the peer closes or the server stops.
        void drainUntilClosed();
        // Closing sends a reset instead of an orderly end.
        void resetOnClose();
        bool stopping() const;
        // Everything read so far on this connection and not yet taken by readLine.
        std::string unread() const { return buffer_; }

    private:
        friend class LoopbackServer;
        Connection(LoopbackServer& server, Socket socket, size_t index)
            : server_(server), socket_(std::move(socket)), index_(index) {}
        // 1 bytes arrived, 0 the peer closed or failed, -1 time ran out or stopping.
        int readMore(int timeoutMs);

        LoopbackServer& server_;
        Socket socket_;
        size_t index_;
        std::string buffer_;
    };
    using Script = std::function<void(Connection&)>;

    explicit LoopbackServer(Script script);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t port() const { return port_; }
    // Stops accepting, ends the scripts and waits for their threads.
    void stop();

    int connections() const;
    // Bytes received on the connection with this index (0 = first accepted).
    std::string received(size_t index) const;
    bool waitForConnections(int count, int timeoutMs = 5000) const;
    // The most connections that ran their script at the same time.
    int maxConcurrent() const;

    // Scripts. requestEnd is what ends a request (an empty line by default).
    // Waits for the request, sends the reply, closes.
    static Script reply(std::string bytes, std::string requestEnd = "\r\n\r\n");
    // Waits for the request, sends what current() gives at that moment, closes
    // (for a page that changes between checks).
    static Script replyCurrent(std::function<std::string()> current,
                               std::string requestEnd = "\r\n\r\n");
    // Waits for the request, sends the chunks with a pause before each but the
    // first, closes.
    static Script replyInChunks(std::vector<std::string> chunks, int pauseMs,
                                std::string requestEnd = "\r\n\r\n");
    // Waits holdMs before the reply (to keep a request busy).
    static Script replyAfter(int holdMs, std::string bytes, std::string requestEnd = "\r\n\r\n");
    // Reads whatever comes and never answers, until the client goes.
    static Script silent();
    // Sends the first bytes, then one byte every intervalMs until the client goes.
    static Script trickle(int intervalMs, std::string first = "");
    // Sends as fast as it can until the client goes.
    static Script endless();

    // A line-by-line dialogue (SMTP, FTP): the greeting, then for each exchange the
    // server reads lines until one matches `expect` (a prefix, or the whole line
    // when `exact`) and answers with `reply`. Unmatched lines are recorded only.
    // After the last exchange the server reads until the client closes.
    struct Exchange {
        std::string expect;
        std::string reply;
        bool exact = false;
    };
    static Script dialogue(std::string greeting, std::vector<Exchange> exchanges);

private:
    void acceptLoop();
    void record(size_t index, const char* data, size_t n);

    Script script_;
    Socket listener_;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::vector<std::thread> workers_;
    std::vector<std::string> received_;
    int active_ = 0;
    int maxActive_ = 0;
};
