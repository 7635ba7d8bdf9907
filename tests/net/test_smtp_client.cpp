#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "net/smtp_client.h"
#include "support/loopback_server.h"

namespace {

const std::vector<std::string> kThree = {"first@example.test", "second@example.test",
                                         "third@example.test"};

class SmtpClientTest : public ::testing::Test {
protected:
    int timeOutMs_ = 2000;
};

// An accepting SMTP dialogue up to the end of the text.
std::vector<LoopbackServer::Exchange> acceptAll(int recipients) {
    std::vector<LoopbackServer::Exchange> x = {{"HELO ", "250 hello\r\n"}, {"MAIL FROM:", "250 ok\r\n"}};
    for (int i = 0; i < recipients; ++i) x.push_back({"RCPT TO:", "250 ok\r\n"});
    x.push_back({"DATA", "354 go ahead\r\n", true});
    x.push_back({".", "250 queued\r\n", true});
    x.push_back({"QUIT", "221 bye\r\n", true});
    return x;
}

}  // namespace

TEST_F(SmtpClientTest, WireBytesOfAnAcceptedMessage) {
    LoopbackServer server(LoopbackServer::dialogue("220 ready\r\n", acceptAll(2)));
    SmtpClient client("127.0.0.1", server.port());
    const std::string text = "Subject: x\r\n\r\nbody\r\n";
    EXPECT_EQ(client.send("me@x.test", {"a@x.test", "b c@x.test", "", "d@x.test"}, text,
                          timeOutMs_),
              SmtpSent);
    server.stop();
    EXPECT_EQ(server.received(0),
              "HELO 127.0.0.1\r\n"
              "MAIL FROM: <me@x.test>\r\n"
              "RCPT TO: <a@x.test>\r\n"
              "RCPT TO: <d@x.test>\r\n"
              "DATA\r\n"
              "Subject: x\r\n\r\nbody\r\n"
              "\r\n"
              ".\r\n"
              "QUIT\r\n");
}

TEST_F(SmtpClientTest, SilentOrVanishingServerIsNoAnswer) {
    timeOutMs_ = 500;
    LoopbackServer silent(LoopbackServer::silent());
    SmtpClient quiet("127.0.0.1", silent.port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(quiet.send("me@x.test", kThree, "x\r\n", timeOutMs_), SmtpNoAnswer);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

    // Answers the greeting and HELO, then stops answering.
    LoopbackServer vanishing(LoopbackServer::dialogue("220 hi\r\n", {{"HELO", "250 hi\r\n"}, {"MAIL", ""}}));
    SmtpClient client("127.0.0.1", vanishing.port());
    EXPECT_EQ(client.send("me@x.test", kThree, "x\r\n", timeOutMs_), SmtpNoAnswer);
    EXPECT_EQ(client.failedCommand(), "MAIL FROM: <me@x.test>");
}

