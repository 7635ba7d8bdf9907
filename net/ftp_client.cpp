#include "net/ftp_client.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "net/protocol_text.h"
#include "platform/files.h"

namespace {

// The code of a reply line: three digits from 100 to 599, else 0.
int replyCode(const std::string& line) {
    if (line.size() < 3) return 0;
    for (int i = 0; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9') return 0;
    const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    return code >= 100 && code <= 599 ? code : 0;
}

// A value that goes into a command must stay one line of text: CR or LF would let
// it add commands of its own, NUL would cut it short, no other control byte belongs.
bool fitsInCommand(const std::string& text) { return !hasControlCharacter(text); }

// Enough of a reply to look into; the rest of a very long banner is not kept.
constexpr size_t kMaxReplyText = 16 * 1024;

}  // namespace

FtpClient::FtpClient(const char* host, uint16_t port, const std::string& user, const std::string& password)
    : TcpClient(host, port), user_(user), password_(password) {}

FtpClient::~FtpClient() = default;

int32_t FtpClient::failure() const { return lastCode_ >= 400 ? lastCode_ : -1; }

int32_t FtpClient::listDirectory(const std::string& path, const std::string& fileName, int timeOutMs) {
    if (!fitsInCommand(user_) || !fitsInCommand(password_) || !fitsInCommand(path)) return -1;
    timeOutMs_ = timeOutMs;
    const std::string directory = path.empty() ? "/" : path;

    int32_t result = login();
    if (result == 0 && directory != "/") result = changeDirectory(directory);
    if (result == 0) result = list(fileName);
    closeSession();
    return result;
}

int32_t FtpClient::login() {
    lost_ = false;
    exosMode_ = false;
    loggedIn_ = false;
    lastCode_ = 0;
    pending_.clear();
    if (connectSocket(controlSocket_, timeOutMs_) != 0) return -1;
    if (!localAddressOf(controlSocket_, &localAddress_)) {
        controlSocket_.close();
        return -1;
    }

    // Preliminary greetings (1xx) come before the real one; all of them within one bound.
    const SteadyTime greetingEnd = deadlineIn(requestDeadlineMs(timeOutMs_));
    int replyClass;
    do {
        replyClass = readReply(greetingEnd);
        if (replyClass == 1 && lastReplyText_.find("(EXOS") != std::string::npos) exosMode_ = true;
    } while (replyClass == 1);
    if (replyClass == 2) {
        const int one = 1;
        setsockopt(controlSocket_.fd(), SOL_SOCKET, SO_OOBINLINE, &one, sizeof one);
        replyClass = command("USER " + user_);
        if (replyClass == 3) replyClass = command("PASS " + password_);
        if (replyClass == 2) {
            loggedIn_ = true;
            return 0;
        }
    }
    const int32_t result = failure();
    controlSocket_.close();
    return result;
}

int FtpClient::command(const std::string& text) {
    if (!sendCommand(text)) return 0;
    return readReply(deadlineIn(requestDeadlineMs(timeOutMs_)));
}

bool FtpClient::sendCommand(const std::string& text) {
    if (!controlSocket_.valid()) return false;
    return sendAll(controlSocket_, text + "\r\n", timeOutMs_);
}

int FtpClient::readReply(SteadyTime deadline) {
    lastReplyText_.clear();
    if (!controlSocket_.valid()) return 0;
    int code = 0;  // of the reply's first line
    std::string line;
    for (;;) {
        if (!readReplyLine(line, deadline)) {
            lost_ = true;
            lastCode_ = 421;
            return 6;
        }
        if (lastReplyText_.size() < kMaxReplyText) lastReplyText_ += line + '\n';
        const int lineCode = replyCode(line);
        if (code != 0) {
            // A multi-line reply ends only at its own code followed by a blank:
            // lines inside it may begin with any digits.
            if (lineCode == code && (line.size() == 3 || line[3] == ' ')) break;
            continue;
        }
        if (lineCode == 0) continue;  // text that belongs to no reply
        code = lineCode;
        if (line.size() == 3 || line[3] != '-') break;
    }
    lastCode_ = code;
    return code / 100;
}

bool FtpClient::readReplyLine(std::string& line, SteadyTime deadline) {
    for (;;) {
        size_t end = std::string::npos;
        for (size_t i = 0; i < pending_.size() && i < kMaxReplyLine; ++i) {
            if (pending_[i] == '\n' || (exosMode_ && pending_[i] == '\r')) {
                end = i;
                break;
            }
        }
        if (end != std::string::npos || pending_.size() >= kMaxReplyLine) {
            const size_t length = end != std::string::npos ? end : kMaxReplyLine;
            line.assign(pending_, 0, length);
            pending_.erase(0, end != std::string::npos ? end + 1 : length);
            break;
        }
        const int wait = std::min(timeOutMs_, msLeft(deadline));
        if (wait <= 0) return false;
        char chunk[4096];
        const long n = receiveWithin(controlSocket_, chunk, sizeof chunk, wait);
        if (n <= 0) return false;
        pending_.append(chunk, static_cast<size_t>(n));
    }
    line.erase(std::remove(line.begin(), line.end(), '\0'), line.end());
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return true;
}

int32_t FtpClient::changeDirectory(const std::string& path) {
    int replyClass = command("CWD " + path);
    // Old servers know only XCWD (500); others sometimes refuse a first CWD.
    if (replyClass == 5) replyClass = command((lastCode_ == 500 ? "XCWD " : "CWD ") + path);
    return replyClass == 2 ? 0 : failure();
}

void FtpClient::printWorkingDirectory() {
    if (command("PWD") == 5 && lastCode_ == 500) command("XPWD");
}

int32_t FtpClient::list(const std::string& fileName) {
    printWorkingDirectory();
    if (lost_) return 421;
    dataFileName_ = fileName;
    return transfer("LIST");
}

int32_t FtpClient::transfer(const std::string& commandText) {
    lastCode_ = 0;
    if (!controlSocket_.valid()) return -1;
    if (!openDataPort()) {
        listenSocket_.close();
        return failure();
    }
    if (command(commandText) != 1 || !acceptDataConnection()) {
        listenSocket_.close();
        return failure();
    }
    listenSocket_.close();

    bool created = false;
    const Received received = receiveFile(&created);
    shutdown(dataSocket_.fd(), SHUT_RDWR);
    dataSocket_.close();

    // The final reply; a lost connection gives 421.
    readReply(deadlineIn(requestDeadlineMs(timeOutMs_)));
    int32_t result = received == Received::Whole ? lastCode_ : failure();
    // A listing cut short is no listing, whatever the server says of it, unless
    // it refuses the transfer itself.
    if (received == Received::CutShort && result == -1) result = TcpReplyAborted;
    // A listing that came but could not be stored here is no fault of the server's.
    if (received == Received::FileFailed) result = TcpFileFailed;
    // The server's reply to the connection we dropped says nothing of the listing.
    if (received == Received::TooLarge) result = TcpReplyTooLarge;
    // Only a listing received whole and confirmed by the server is kept.
    if (created && (result < 0 || result >= 400)) removeFile(dataFileName_);
    return result;
}

bool FtpClient::openDataPort() {
    sockaddr_in local = localAddress_;
    local.sin_port = 0;
    // Listen only where the server reaches us, not on every address of the host.
    listenSocket_ = listenOn(local, 1);
    sockaddr_in bound{};
    if (!listenSocket_.valid() || !localAddressOf(listenSocket_, &bound)) return false;
    const auto* ip = reinterpret_cast<const unsigned char*>(&local.sin_addr.s_addr);
    const unsigned port = ntohs(bound.sin_port);
    char text[64];
    std::snprintf(text, sizeof text, "PORT %u,%u,%u,%u,%u,%u", ip[0], ip[1], ip[2], ip[3], port >> 8,
                  port & 0xFFu);
    // The reply to PORT is not checked: a refusal shows in the reply to LIST.
    return command(text) != 6;
}

bool FtpClient::acceptDataConnection() {
    const SteadyTime until = deadlineIn(timeOutMs_);
    for (;;) {
        const int left = msLeft(until);
        if (left <= 0) return false;
        sockaddr_in peer{};
        Socket s = acceptWithin(listenSocket_, left, &peer);
        if (!s.valid()) return false;
        // Anyone may connect to the port we announced; only the server's own
        // address may deliver the listing.
        if (peer.sin_addr.s_addr == address().sin_addr.s_addr) {
            dataSocket_ = std::move(s);
            return true;
        }
    }
}

FtpClient::Received FtpClient::receiveFile(bool* created) {
    FILE* file = openFile(dataFileName_, "wb");
    if (!file) {
        noteReplyFileError(errno);
        return Received::FileFailed;
    }
    *created = true;
    const SteadyTime deadline = deadlineIn(requestDeadlineMs(timeOutMs_));
    const size_t chunkBytes = 64 * 1024;
    std::unique_ptr<char[]> chunk(new char[chunkBytes]);
    int64_t total = 0;
    // Only the server's orderly close ends a listing; a reset or silence cuts it short.
    Received outcome = Received::CutShort;
    for (;;) {
        const int wait = std::min(timeOutMs_, msLeft(deadline));
        if (wait <= 0) break;
        const long n = receiveWithin(dataSocket_, chunk.get(), chunkBytes, wait);
        if (n == ReceiveClosed) {
            outcome = Received::Whole;
            break;
        }
        if (n < 0) break;
        total += n;
        if (total > kMaxReplyBytes) {
            outcome = Received::TooLarge;
            break;
        }
        if (std::fwrite(chunk.get(), 1, static_cast<size_t>(n), file) != static_cast<size_t>(n)) {
            noteReplyFileError(errno);
            outcome = Received::FileFailed;
            break;
        }
    }
    if (std::fclose(file) != 0 && outcome != Received::FileFailed) {
        noteReplyFileError(errno);
        outcome = Received::FileFailed;
    }
    return outcome;
}

void FtpClient::quit() {
    command("quit");
    shutdown(controlSocket_.fd(), SHUT_RDWR);
}

void FtpClient::closeSession() {
    dataSocket_.close();
    listenSocket_.close();
    // A lost server gets no goodbye: waiting for its answer would only add a time-out.
    if (loggedIn_ && !lost_) quit();
    controlSocket_.close();
    loggedIn_ = false;
    pending_.clear();
}

FtpPool& ftpPool() {
    static FtpPool& pool = *new FtpPool();
    return pool;
}

int32_t pooledFtpRequest(const std::string& host, uint16_t port, const std::string& user,
                         const std::string& password, const std::string& path,
                         const std::string& fileName, int timeOutMs) {
    if (FtpPool::Claim session = ftpPool().claim([&](FtpClient& s) {
            return s.port() == port && host == s.host() && s.user() == user && s.password() == password;
        }))
        return session->listDirectory(path, fileName, timeOutMs);

    // Nobody else knows the new session until it is in the pool: no lock needed.
    auto fresh = std::make_unique<FtpClient>(host.c_str(), port, user, password);
    if (!fresh->resolved()) return TcpUnresolved;
    const int32_t result = fresh->listDirectory(path, fileName, timeOutMs);
    ftpPool().add(std::move(fresh));
    return result;
}
