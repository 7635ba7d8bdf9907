#pragma once
#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/endpoint_pool.h"
#include "platform/net_socket.h"
#include "platform/owned_mutex.h"

// Results of TcpClient::request and the clients built on it. A positive request
// result is the number of reply bytes stored.
enum TcpResult : int32_t {
    TcpUnresolved = -1,     // pooled requests: the host name did not resolve
    TcpNoSocket = -3,
    TcpConnectFailed = -4,  // refused, unreachable, or not connected within "time out"
    TcpSendFailed = -5,
    TcpReplyAborted = -6,   // the reply outgrew its size cap or the request its deadline,
                            // or was cut short (a reset, or silence past "time out")
    TcpFileFailed = -7,     // the reply file could not be created or written
    TcpReplyTooLarge = -10, // FtpClient: the listing outgrew kMaxReplyBytes
};

// The errno of the last TcpFileFailed on the calling thread: why a copy could not
// be stored here, a failure of this computer's, not of the site's.
int lastReplyFileError();
void noteReplyFileError(int error);

// What shows that a reply is whole: the server's orderly close, or, for an HTTP
// reply whose head announces a Content-Length, every byte announced (a close
// before them cuts it short). An HTTP reply is stored without interim 1xx heads.
enum class ReplyEnd { ServerClose, HttpLength };

// One resolved endpoint: a host and port with the IPv4 address found for them once.
// Each request opens its own connection. FtpClient and SmtpClient derive from it
// and use the resolved address, the time-out rules and the lock.
class TcpClient {
public:
    // Largest reply a request stores; a larger one is a failed request.
    static constexpr int64_t kMaxReplyBytes = int64_t{64} << 20;
    // A whole request may take four times "time out", and never less than this.
    static constexpr int kMinRequestDeadlineMs = 10000;

    // Resolves at once; resolved() tells the outcome.
    TcpClient(const char* host, uint16_t port);
    virtual ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    const char* host() const { return host_.c_str(); }
    uint16_t port() const { return port_; }
    bool resolved() const { return resolved_; }
    const sockaddr_in& address() const { return address_; }
    // Whoever holds this lock uses the endpoint; pools claim endpoints by try-locking it.
    OwnedMutex* lock() { return &lock_; }
    // Takes a newly resolved address of the host; the caller holds the lock.
    void setAddress(in_addr ip);

    // Connects, sends the text and appends the reply to fileName, which is created
    // when the first bytes arrive; every wait is bounded by timeOutMs ("time out").
    // Result: the bytes stored (> 0) of a reply that ended as `end` says; 0 when
    // nothing came; otherwise a TcpResult. On a failure after bytes arrived the
    // partial file is removed.
    int32_t request(const char* text, const char* fileName, int timeOutMs,
                    ReplyEnd end = ReplyEnd::ServerClose);

    // The overall bound of one request for a given "time out".
    static int64_t requestDeadlineMs(int timeOutMs);

protected:
    // A new connection to the resolved address within "time out": TcpNoSocket or
    // TcpConnectFailed on failure (the socket is then invalid), else 0.
    int32_t connectSocket(Socket& out, int timeOutMs) const;

private:
    std::string host_;
    uint16_t port_;
    bool resolved_ = true;
    sockaddr_in address_{};
    OwnedMutex lock_;
};

// The pools of resolved endpoints: Gopher, and Web, whose requests to one host
// and port run one at a time on one endpoint (other hosts go on meanwhile).
// Never destroyed: a detached check may still be
// using one while the process ends.
using TcpPool = EndpointPool<TcpClient>;
TcpPool& gopherPool();
TcpPool& webPool();

// Runs a request on a pooled endpoint of the host and port, as TcpClient::request
// does; TcpUnresolved when the host does not resolve, 0 for an empty host or text.
int32_t pooledTcpRequest(TcpPool& pool, const char* host, uint16_t port, const char* text,
                         const char* fileName, ReplyEnd end, int timeOutMs);

// Resolves the host again and gives every pooled endpoint of the host and port
// (the Gopher, Web and FTP pools) the address found, waiting for endpoints in use.
// False when the host does not resolve now; the endpoints then keep the address
// they had.
bool resolvePooledHostAgain(const std::string& host, uint16_t port);
