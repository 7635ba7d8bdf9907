#pragma once
#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "net/tcp_client.h"
#include "platform/net_socket.h"

// Fetches the listing of one FTP directory into a file: greeting, USER and PASS,
// the directory change, PWD, an active data connection (PORT), LIST, the final
// reply and "quit", all within one call and one control connection. Every wait
// is bounded by "time out".
class FtpClient : public TcpClient {
public:
    // Resolves at once, as TcpClient does; the control connection goes to host:port.
    FtpClient(const char* host, uint16_t port, const std::string& user, const std::string& password);
    ~FtpClient() override;

    // Lists path ("/" or empty: the login directory, without a directory change)
    // into fileName; every wait is bounded by timeOutMs ("time out"). Result: the
    // final reply's code (below 400) when the listing was stored; otherwise the
    // refusing reply's code (400 or more; 421 when the connection was lost),
    // TcpReplyAborted when the data connection ended other than by the server's
    // orderly close, TcpReplyTooLarge for a listing of more than kMaxReplyBytes,
    // or -1 (no connection, a local failure, or a user, password or path holding
    // CR, LF or NUL). A failed listing leaves no file.
    virtual int32_t listDirectory(const std::string& path, const std::string& fileName, int timeOutMs);

    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }

    // The longest reply line kept; longer lines are cut into pieces of this size.
    static constexpr size_t kMaxReplyLine = 4000;

private:
    int32_t login();
    // Sends one command and reads its reply; the reply class (1 to 5), 6 when the
    // connection was lost, 0 when the send failed or no reply came.
    int command(const std::string& text);
    bool sendCommand(const std::string& text);
    // One whole reply (RFC 959 multi-line replies included); result as command().
    int readReply(SteadyTime deadline);
    // One line of the control connection, without its line end and NUL bytes.
    // False when the connection is lost (closed, failed, or silent past the waits).
    bool readReplyLine(std::string& line, SteadyTime deadline);
    int32_t changeDirectory(const std::string& path);
    void printWorkingDirectory();
    int32_t list(const std::string& fileName);
    int32_t transfer(const std::string& commandText);
    bool openDataPort();
    bool acceptDataConnection();
    // FileFailed: the listing file could not be written.
    enum class Received { Whole, CutShort, TooLarge, FileFailed };
    Received receiveFile(bool* created);
    void quit();
    void closeSession();
    // The result of a failed step: the last reply's code when it refused, else -1.
    int32_t failure() const;

    std::string user_;
    std::string password_;
    int timeOutMs_ = 30000;  // "time out" of the listing under way
    bool loggedIn_ = false;
    bool lost_ = false;
    bool exosMode_ = false;  // a carriage return also ends a reply line
    int32_t lastCode_ = 0;
    std::string lastReplyText_;  // the lines of the last reply, joined by line feeds
    std::string pending_;        // bytes of the control connection not yet read as lines
    sockaddr_in localAddress_{};
    Socket controlSocket_;
    Socket listenSocket_;
    Socket dataSocket_;
    std::string dataFileName_;
};

// The pooled FTP sessions, one per host, port, user and password in use. Never
// destroyed: a detached check may still be using one while the process ends.
using FtpPool = EndpointPool<FtpClient>;
FtpPool& ftpPool();

// Lists a directory through a pooled session of host, port, user and password
// (each compared exactly). Result: TcpUnresolved (-1) when the host does not
// resolve, else that of FtpClient::listDirectory.
int32_t pooledFtpRequest(const std::string& host, uint16_t port, const std::string& user,
                         const std::string& password, const std::string& path,
                         const std::string& fileName, int timeOutMs);
