#include "net/smtp_client.h"

#include "net/protocol_text.h"

namespace {

struct Reply {
    int code = 0;  // 0 when the final line carries no three-digit code
    std::string lastLine;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads one reply, continuation lines ("250-...") included: each wait within
// "time out", the whole reply within the bound of a request.
bool readReply(SocketLineReader& reader, int timeOutMs, Reply* reply) {
    constexpr size_t kMaxLine = 4096;
    constexpr int kMaxLines = 200;
    const SteadyTime until = deadlineIn(TcpClient::requestDeadlineMs(timeOutMs));
    std::string line;
    for (int i = 0; i < kMaxLines; ++i) {
        if (reader.readLine(line, timeOutMs, kMaxLine, until) != SocketLineReader::Line) return false;
        const bool coded = line.size() >= 3 && isDigit(line[0]) && isDigit(line[1]) && isDigit(line[2]);
        if (coded && line.size() > 3 && line[3] == '-') continue;
        reply->code = coded ? (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0') : 0;
        reply->lastLine = line;
        return true;
    }
    return false;
}

}  // namespace

bool isSafeMailAddress(const std::string& address) {
    if (address.empty()) return false;
    for (char c : address) {
        if (isControlChar(c) || c == ' ' || c == '<' || c == '>') return false;
    }
    return true;
}

std::string dotStuff(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

SmtpClient::SmtpClient(const char* host, uint16_t port) : TcpClient(host, port) {}

SmtpClient::~SmtpClient() = default;

int32_t SmtpClient::fail(int32_t result, const std::string& command, const std::string& reply) {
    failedCommand_ = command;
    failedReply_ = reply;
    return result;
}

int32_t SmtpClient::send(const std::string& from, const std::vector<std::string>& recipients,
                         const std::string& text, int timeOut) {
    failedCommand_.clear();
    failedReply_.clear();
    if (!isSafeMailAddress(from)) return fail(SmtpRefused, "MAIL FROM", "");

    Socket sock;
    if (const int32_t rc = connectSocket(sock, timeOut)) return rc;
    SocketLineReader reader(sock);
    Reply reply;

    // Sends one line (when given) and wants a reply of the given class.
    auto step = [&](const std::string& command, int wantedClass) -> int32_t {
        if (!command.empty() && !sendAll(sock, command + "\r\n", timeOut))
            return fail(TcpSendFailed, command, "");
        if (!readReply(reader, timeOut, &reply)) return fail(SmtpNoAnswer, command, "");
        if (reply.code / 100 != wantedClass) {
            const std::string refusal = reply.lastLine;
            // Leave politely; the answer to QUIT is not the one to report.
            if (sendAll(sock, "QUIT\r\n", timeOut)) readReply(reader, timeOut, &reply);
            return fail(SmtpRefused, command, refusal);
        }
        return 0;
    };

    const std::string helo = blankControlChars("HELO " + std::string(host()));  // one command, one line
    int32_t rc = step("", 2);  // the greeting
    if (rc == 0) rc = step(helo, 2);
    if (rc == 0) rc = step("MAIL FROM: <" + from + ">", 2);
    for (const std::string& to : recipients) {
        if (rc != 0) break;
        if (isSafeMailAddress(to)) rc = step("RCPT TO: <" + to + ">", 2);
    }
    if (rc == 0) rc = step("DATA", 3);
    if (rc != 0) return rc;
    // The text ends with its own line end, so an empty line comes before the dot.
    if (!sendAll(sock, dotStuff(text) + "\r\n", timeOut, deadlineIn(requestDeadlineMs(timeOut))))
        return fail(TcpSendFailed, "DATA", "");
    if ((rc = step(".", 2)) != 0) return rc;
    // The message is accepted; the goodbye is a courtesy.
    if (sendAll(sock, "QUIT\r\n", timeOut)) readReply(reader, timeOut, &reply);
    return SmtpSent;
}
