#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "net/tcp_client.h"

// Results of SmtpClient::send beyond those of TcpClient (-3, -4, -5).
enum SmtpResult : int32_t {
    SmtpSent = 0,
    SmtpNoAnswer = -8,  // no complete reply within "time out", or the server hung up
    SmtpRefused = -9,   // a reply other than the one the step needs
};

// A minimal SMTP sender for one message per connection: HELO, MAIL, RCPT for
// each recipient, DATA, the text, ".", QUIT. Every reply is awaited (the greeting
// too) and checked: each wait within "time out", each whole reply within
// requestDeadlineMs, however slowly its bytes come.
class SmtpClient : public TcpClient {
public:
    SmtpClient(const char* host, uint16_t port);
    ~SmtpClient() override;

    // Recipients that are empty or not safe to put in a command are skipped.
    // text holds the message with CR LF line ends (ending with one); lines that
    // begin with '.' are doubled on the wire. Each wait is bounded by timeOutMs.
    int32_t send(const std::string& from, const std::vector<std::string>& recipients,
                 const std::string& text, int timeOutMs);

    // After SmtpRefused or SmtpNoAnswer: the command that was not accepted (empty
    // for the greeting) and the server's reply, if any.
    const std::string& failedCommand() const { return failedCommand_; }
    const std::string& failedReply() const { return failedReply_; }

private:
    int32_t fail(int32_t result, const std::string& command, const std::string& reply);

    std::string failedCommand_;
    std::string failedReply_;
};

// An address fit for "<...>" in a command or header: not empty and without control
// characters, blanks, '<' or '>'.
bool isSafeMailAddress(const std::string& address);

// Doubles a '.' that begins a line, so no line of the text can end the DATA phase.
std::string dotStuff(const std::string& text);
