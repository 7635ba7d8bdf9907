#include <gtest/gtest.h>

#include "core/change_message.h"
#include "core/program_settings.h"
#include "net/smtp_client.h"
#include "support/loopback_server.h"
#include "support/real_servers.h"

// The change e-mail: its text, and its delivery as the user is told of it.

namespace {

const std::vector<std::string> kThree = {"first@example.test", "second@example.test",
                                         "third@example.test"};

class ChangeMailDelivery : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramSettings::update([](SettingsValues& v) { v.timeOutMs = 2000; });
    }
    void TearDown() override { ProgramSettings::reset(); }

    static ChangeMailSettings settingsFor(uint16_t port) {
        ChangeMailSettings s;
        s.smtpHost = "127.0.0.1";
        s.smtpPort = port;
        s.userEmail = "watcher@example.test";
        s.timeOutMs = ProgramSettings::timeOutMs();
        return s;
    }
};

}  // namespace

TEST(ChangeMail, MessageHeadersAndBody) {
    const std::string m = composeChangeMessage("Weekly news", "http://news.test/", kThree,
                                               "watcher@example.test", "Tue, 08 Dec 2026 07:23:27 +0100");
    EXPECT_EQ(m,
              "From: \"\" <watcher@example.test>\r\n"
              "To: \"first@example.test\" <first@example.test>\r\n"
              "Date: Tue, 08 Dec 2026 07:23:27 +0100\r\n"
              "Reply-To: \"watcher@example.test\" <watcher@example.test>\r\n"
              "Priority: Normal\r\n"
              "X-Mailer: Tervane 2.23\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "Subject: Site Change - Weekly news\r\n"
              "\r\n"
              "Weekly news has changed.\r\n"
              "\r\n"
              "http://news.test/\r\n");
}

TEST(ChangeMail, DateIsRfc5322WithFourDigitYearAndZone) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_wday = 2;
    t.tm_hour = 7;
    t.tm_min = 23;
    t.tm_sec = 27;
    EXPECT_EQ(formatMailDate(t, 3600), "Tue, 08 Dec 2026 07:23:27 +0100");
    EXPECT_EQ(formatMailDate(t, -(4 * 3600 + 30 * 60)), "Tue, 08 Dec 2026 07:23:27 -0430");
    t.tm_year = 99;
    EXPECT_EQ(formatMailDate(t, 0), "Tue, 08 Dec 1999 07:23:27 +0000");

    setenv("TZ", "UTC0", 1);
    tzset();
    std::string date;
    ASSERT_TRUE(mailDate(0, &date));
    EXPECT_EQ(date, "Thu, 01 Jan 1970 00:00:00 +0000");
}

TEST(ChangeMail, SettingsErrorsComeInOrder) {
    ChangeMailSettings ok;
    ok.smtpHost = "mail.test";
    ok.smtpPort = 25;
    ok.userEmail = "me@example.test";
    EXPECT_EQ(changeMailSettingsError(kThree, ok), "");

    ChangeMailSettings bad;  // everything wrong: the recipients come first
    bad.smtpPort = 0;
    EXPECT_EQ(changeMailSettingsError({}, bad), kMailNeedsRecipient);
    EXPECT_EQ(changeMailSettingsError({"a b@x", "<x>"}, ok), kMailNeedsRecipient);
    EXPECT_EQ(changeMailSettingsError(kThree, bad), kMailNeedsSmtpHost);
    bad.smtpHost = "mail.test";
    EXPECT_EQ(changeMailSettingsError(kThree, bad), kMailNeedsSmtpPort);
    bad.smtpPort = 25;
    EXPECT_EQ(changeMailSettingsError(kThree, bad), kMailNeedsSender);
    bad.userEmail = "me@x\r\nRCPT TO: <y@z>";
    EXPECT_EQ(changeMailSettingsError(kThree, bad), kMailNeedsSender);

    ChangeMailSettings nowhere = ok;
    nowhere.smtpHost = "mail.invalid";
    EXPECT_EQ(deliverChangeMail("d", "u", kThree, nowhere, 0), kMailHostUnresolved);
}

TEST(ChangeMail, ControlCharactersCannotAddHeadersOrLines) {
    const std::string m = composeChangeMessage("News\r\nBcc: victim@x.test", "http://a.test/\r\n.\r\nQUIT",
                                               {"<evil>", "ok@x.test"}, "me@x.test", "date");
    EXPECT_EQ(m.find("\r\nBcc:"), std::string::npos);
    EXPECT_NE(m.find("Subject: Site Change - News  Bcc: victim@x.test\r\n"), std::string::npos);
    EXPECT_NE(m.find("To: \"ok@x.test\" <ok@x.test>\r\n"), std::string::npos);
    EXPECT_NE(m.find("\r\nhttp://a.test/  .  QUIT\r\n"), std::string::npos);
    // Every line break in the message is one of ours.
    size_t breaks = 0;
    for (size_t i = 0; i < m.size(); ++i) {
        if (m[i] != '\r' && m[i] != '\n') continue;
        EXPECT_EQ(m.compare(i, 2, "\r\n"), 0) << i;
        ++breaks;
        ++i;
    }
    EXPECT_EQ(breaks, 14u);
}

TEST(ChangeMail, DotStuffingDoublesLeadingDots) {
    EXPECT_EQ(dotStuff(".a\r\nb.\r\n.\r\n..c\r\n"), "..a\r\nb.\r\n..\r\n...c\r\n");
    EXPECT_EQ(dotStuff("x\n.y"), "x\n..y");
}

TEST_F(ChangeMailDelivery, RefusalsEndTheDialogueAndAreReported) {
    struct Case {
        const char* refused;
        const char* command;
        const char* answer;  // the refusing reply, not the answer to the QUIT after it
        std::vector<LoopbackServer::Exchange> script;
    };
    const std::vector<Case> cases = {
        {"greeting", "", "554 go away", {{"QUIT", "221 bye\r\n"}}},
        {"MAIL", "MAIL FROM: <watcher@example.test>", "550 sender rejected",
         {{"HELO", "250 hi\r\n"}, {"MAIL", "550 sender rejected\r\n"}, {"QUIT", "221 bye\r\n"}}},
        {"RCPT", "RCPT TO: <second@example.test>", "550 5.1.1 no such user here",
         {{"HELO", "250 hi\r\n"},
          {"MAIL", "250 ok\r\n"},
          {"RCPT", "250 ok\r\n"},
          {"RCPT", "550-5.1.1 mailbox\r\n550 5.1.1 no such user here\r\n"},
          {"QUIT", "221 bye\r\n"}}},
        {"DATA", "DATA", "554 no valid recipients",
         {{"HELO", "250 hi\r\n"},
          {"MAIL", "250 ok\r\n"},
          {"RCPT", "250 ok\r\n"},
          {"RCPT", "250 ok\r\n"},
          {"RCPT", "250 ok\r\n"},
          {"DATA", "554 no valid recipients\r\n"},
          {"QUIT", "221 bye\r\n"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refused);
        const bool greetingRefused = std::string(c.refused) == "greeting";
        LoopbackServer server(LoopbackServer::dialogue(
            greetingRefused ? "554 go away\r\n" : "220-welcome\r\n220 ready\r\n", c.script));
        SmtpClient client("127.0.0.1", server.port());
        EXPECT_EQ(client.send("watcher@example.test", kThree, "Subject: s\r\n\r\nx\r\n",
                              ProgramSettings::timeOutMs()),
                  SmtpRefused);
        EXPECT_EQ(client.failedCommand(), c.command);
        EXPECT_EQ(client.failedReply(), c.answer);

        const std::string shown = deliverChangeMail("d", "u", kThree, settingsFor(server.port()), 0);
        EXPECT_NE(shown.find("refused"), std::string::npos) << shown;
        EXPECT_NE(shown.find(std::string("was: ") + c.answer), std::string::npos) << shown;
        EXPECT_EQ(shown.find("221 bye"), std::string::npos) << shown;  // QUIT's reply; the port may hold 221
        if (!greetingRefused) {
            EXPECT_NE(shown.find(c.command), std::string::npos) << shown;
        }
        server.stop();
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(server.received(i).find("Subject:"), std::string::npos);
            EXPECT_NE(server.received(i).find("QUIT\r\n"), std::string::npos);
        }
    }
}

TEST_F(ChangeMailDelivery, UnreachableHostIsTold) {
    const uint16_t closed = findFreePort();
    const std::string shown = deliverChangeMail("d", "u", kThree, settingsFor(closed), 0);
    EXPECT_NE(shown.find("Could not connect to SMTP host 127.0.0.1"), std::string::npos) << shown;
}

TEST_F(ChangeMailDelivery, ChangeMailReachesARealServerIntact) {
    SmtpSink sink;
    ASSERT_TRUE(sink.start()) << sink.log();

    // A description that begins with a dot makes a body line that needs stuffing.
    const std::string shown = deliverChangeMail(".plan of the week", "http://plan.test/a.b", kThree,
                                                settingsFor(sink.port()), 1000000000);
    EXPECT_EQ(shown, "");
    ASSERT_TRUE(pathExists(sink.file("msg001.eml")));
    EXPECT_EQ(readWholeFile(sink.file("msg001.env")),
              "watcher@example.test\nfirst@example.test\nsecond@example.test\nthird@example.test\n");

    std::string date;
    ASSERT_TRUE(mailDate(1000000000, &date));
    const std::string expected = composeChangeMessage(".plan of the week", "http://plan.test/a.b", kThree,
                                                      "watcher@example.test", date);
    const std::string stored = readWholeFile(sink.file("msg001.eml"));
    EXPECT_EQ(stored.substr(0, expected.size()), expected);
    EXPECT_NE(stored.find("\r\n.plan of the week has changed.\r\n"), std::string::npos);
    EXPECT_NE(stored.find("Subject: Site Change - .plan of the week\r\n"), std::string::npos);
}
