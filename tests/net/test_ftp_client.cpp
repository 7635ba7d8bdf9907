#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/check_slots.h"
#include "core/ftp_vigil.h"
#include "core/program_settings.h"
#include "net/ftp_client.h"
#include "platform/files.h"
#include "support/loopback_server.h"
#include "support/scratch_dir.h"
#include "support/server_process.h"

namespace {

using Connection = LoopbackServer::Connection;

// One exchange of a scripted FTP server: it reads lines until one begins with
// expect, sends reply, then runs the action (with the address of the last PORT).
struct Step {
    using Action = std::function<void(Connection&, const sockaddr_in&)>;
    Step(std::string e, std::string r, Action a = nullptr)
        : expect(std::move(e)), reply(std::move(r)), action(std::move(a)) {}
    std::string expect;
    std::string reply;
    Action action;
};

bool parsePort(const std::string& line, sockaddr_in* out, unsigned (&n)[6]) {
    if (std::sscanf(line.c_str(), "PORT %u,%u,%u,%u,%u,%u", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]) != 6)
        return false;
    for (unsigned v : n)
        if (v > 255) return false;
    in_addr ip{};
    ip.s_addr = htonl(n[0] << 24 | n[1] << 16 | n[2] << 8 | n[3]);
    *out = makeAddress(ip, static_cast<uint16_t>(n[4] << 8 | n[5]));
    return true;
}

LoopbackServer::Script ftpScript(std::string greeting, std::vector<Step> steps) {
    return [greeting, steps](Connection& c) {
        if (!c.send(greeting)) return;
        sockaddr_in dataAddress{};
        for (const Step& s : steps) {
            std::string line;
            for (;;) {
                if (!c.readLine(line)) return;
                unsigned n[6];
                parsePort(line, &dataAddress, n);
                if (line.rfind(s.expect, 0) == 0) break;
            }
            if (!s.reply.empty() && !c.send(s.reply)) return;
            if (s.action) s.action(c, dataAddress);
        }
        c.drainUntilClosed();
    };
}

// Connects to the client's data port (from source, when given) and sends bytes.
bool sendData(const sockaddr_in& to, const std::string& bytes, const char* source = nullptr) {
    Socket s = openStreamSocket();
    if (source) {
        in_addr ip{};
        inet_pton(AF_INET, source, &ip);
        const sockaddr_in from = makeAddress(ip, 0);
        if (::bind(s.fd(), reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0) return false;
    }
    if (connectWithin(s, to, 2000) != ConnectOk) return false;
    return sendAll(s, bytes, 2000);
}

// LIST answered with 150, the listing on the data connection, then the final reply.
Step listStep(const std::string& listing, const std::string& finalReply = "226 done\r\n") {
    return {"LIST", "150 here it comes\r\n", [listing, finalReply](Connection& c, const sockaddr_in& to) {
                sendData(to, listing);
                c.send(finalReply);
            }};
}

const std::string kListing =
    "-rw-r--r--   1 owner    group         100 Dec 24 23:59 read  me.txt\r\n"
    "-rw-r--r--   1 owner    group           5 Jan 02  2021 a.txt\r\n";

// "time out" of the clients and, through the settings, of the checks.
constexpr int kTimeOutMs = 1000;

class FtpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramSettings::update([](SettingsValues& v) { v.timeOutMs = kTimeOutMs; });
    }
    void TearDown() override { ProgramSettings::reset(); }

    ScratchDir dir_;
};

int32_t listVia(const LoopbackServer& server, const std::string& path, const std::string& user = "watcher",
                const std::string& password = "secret") {
    FtpClient client("127.0.0.1", server.port(), user, password);
    return client.listDirectory(path, "listing.lst", kTimeOutMs);
}

}  // namespace

TEST_F(FtpClientTest, OneListingWireBytesAndFile) {
    std::string portLine;
    bool reachableElsewhere = true;
    const std::string data = kListing + std::string("bin\0ary\r\n", 9);
    LoopbackServer server(ftpScript(
        // Inside a multi-line reply a line may begin with another code: only
        // "220 " ends it.
        "220-Welcome\r\n text without a code\r\n230 not the end\r\n220 ready\r\n",
        {{"USER", "331 password please\r\n"},
         {"PASS", "230-logged in\r\n230 go ahead\r\n"},
         {"CWD", "250 ok\r\n"},
         {"PWD", "257 \"/pub\"\r\n"},
         {"PORT", "200 ok\r\n",
          [&](Connection&, const sockaddr_in& to) {
              // The data port listens on the control connection's address only.
              sockaddr_in other = to;
              inet_pton(AF_INET, "127.0.0.2", &other.sin_addr);
              Socket s = openStreamSocket();
              reachableElsewhere = connectWithin(s, other, 1000) == ConnectOk;
          }},
         listStep(data),
         {"quit", "221 bye\r\n"}}));

    EXPECT_EQ(listVia(server, "/pub"), 226);
    server.stop();
    EXPECT_EQ(ScratchDir::read("listing.lst"), data);
    EXPECT_FALSE(reachableElsewhere);

    const std::string wire = server.received(0);
    const size_t port = wire.find("PORT ");
    ASSERT_NE(port, std::string::npos);
    const std::string line = wire.substr(port, wire.find("\r\n", port) - port);
    sockaddr_in announced{};
    unsigned n[6];
    ASSERT_TRUE(parsePort(line, &announced, n)) << line;
    EXPECT_EQ(addressText(announced), "127.0.0.1");
    EXPECT_EQ(wire, "USER watcher\r\nPASS secret\r\nCWD /pub\r\nPWD\r\n" + line + "\r\nLIST\r\nquit\r\n");
}

TEST_F(FtpClientTest, RootListsWithoutDirectoryChangeAndUser230SkipsPass) {
    for (const std::string path : {"/", ""}) {
        // NUL bytes in a reply are dropped, not taken for its end.
        LoopbackServer server(ftpScript("220 ready\r\n", {{"USER", std::string("23\0" "0 in\r\n", 9)},
                                                          {"PWD", "257 \"/\"\r\n"},
                                                          {"PORT", "200 ok\r\n"},
                                                          listStep(kListing),
                                                          {"quit", "221 bye\r\n"}}));
        EXPECT_EQ(listVia(server, path, "anonymous", "guest@localhost"), 226);
        server.stop();
        const std::string wire = server.received(0);
        EXPECT_EQ(wire.find("CWD"), std::string::npos) << wire;
        EXPECT_EQ(wire.find("PASS"), std::string::npos) << wire;
        EXPECT_EQ(ScratchDir::read("listing.lst"), kListing);
    }
}

TEST_F(FtpClientTest, DirectoryChangeFallsBackToXcwdOrRepeatsCwd) {
    const std::vector<Step> tail = {{"PWD", "500 what?\r\n"},
                                    {"XPWD", "257 \"/pub\"\r\n"},
                                    {"PORT", "200 ok\r\n"},
                                    listStep(kListing),
                                    {"quit", "221 bye\r\n"}};
    auto with = [&](std::vector<Step> head) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    // Unknown CWD (500): XCWD; another refusal: the same CWD once more.
    const std::vector<std::pair<Step, std::string>> seconds = {
        {{"XCWD", "250 ok\r\n"}, "CWD /pub\r\nXCWD /pub\r\nPWD\r\nXPWD\r\n"},
        {{"CWD", "250 ok\r\n"}, "CWD /pub\r\nCWD /pub\r\nPWD\r\nXPWD\r\n"},
    };
    for (const auto& [second, wire] : seconds) {
        const std::string first = second.expect == "XCWD" ? "500 unknown\r\n" : "550 not yet\r\n";
        LoopbackServer server(ftpScript(
            "220 ready\r\n", with({{"USER", "331 pw\r\n"}, {"PASS", "230 in\r\n"}, {"CWD", first}, second})));
        EXPECT_EQ(listVia(server, "/pub"), 226);
        server.stop();
        EXPECT_NE(server.received(0).find(wire), std::string::npos) << server.received(0);
    }
    {
        LoopbackServer server(ftpScript("220 ready\r\n", {{"USER", "331 pw\r\n"},
                                                          {"PASS", "230 in\r\n"},
                                                          {"CWD", "550 no such directory\r\n"},
                                                          {"CWD", "550 still none\r\n"},
                                                          {"quit", "221 bye\r\n"}}));
        EXPECT_EQ(listVia(server, "/pub"), 550);
        server.stop();
        EXPECT_EQ(server.received(0), "USER watcher\r\nPASS secret\r\nCWD /pub\r\nCWD /pub\r\nquit\r\n");
    }
}

TEST_F(FtpClientTest, RefusalsGiveTheirCodeAndLeaveNoFile) {
    struct Case {
        const char* name;
        std::string greeting;
        std::vector<Step> steps;
        int32_t result;
    };
    const std::vector<Step> login = {{"USER", "331 pw\r\n"}, {"PASS", "230 in\r\n"}, {"PWD", "257 \"/\"\r\n"}};
    auto after = [&](std::vector<Step> more) {
        std::vector<Step> all = login;
        all.insert(all.end(), more.begin(), more.end());
        all.emplace_back("quit", "221 bye\r\n");
        return all;
    };
    const std::vector<Case> cases = {
        {"greeting", "421 too many users\r\n", {}, 421},
        {"greeting not 2xx", "332 odd\r\n", {}, -1},
        {"user", "220 ready\r\n", {{"USER", "530 not you\r\n"}}, 530},
        {"password", "220 ready\r\n", {{"USER", "331 pw\r\n"}, {"PASS", "530 wrong\r\n"}}, 530},
        {"list", "220 ready\r\n", after({{"PORT", "200 ok\r\n"}, {"LIST", "550 no access\r\n"}}), 550},
        {"list 2xx", "220 ready\r\n", after({{"PORT", "200 ok\r\n"}, {"LIST", "226 nothing\r\n"}}), -1},
        {"final reply", "220 ready\r\n", after({{"PORT", "200 ok\r\n"}, listStep(kListing, "426 aborted\r\n")}),
         426},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server(ftpScript(c.greeting, c.steps));
        EXPECT_EQ(listVia(server, "/"), c.result);
        server.stop();
        EXPECT_FALSE(pathExists("listing.lst"));
        if (std::string(c.name) == "user") {
            EXPECT_EQ(server.received(0).find("PASS"), std::string::npos);
        }
    }
}

TEST_F(FtpClientTest, LostConnectionsGive421AndNoFile) {
    {
        // The server hangs up while the answer to USER is awaited.
        LoopbackServer server([](Connection& c) {
            std::string line;
            if (c.send("220 ready\r\n") && c.readLine(line)) c.resetOnClose();
        });
        EXPECT_EQ(listVia(server, "/"), 421);
        server.stop();
        // A lost session gets no "quit".
        EXPECT_EQ(server.received(0), "USER watcher\r\n");
    }
    {
        // Part of the listing, then the control connection drops.
        LoopbackServer server([](Connection& c) {
            std::string line;
            sockaddr_in to{};
            unsigned n[6];
            c.send("220 ready\r\n");
            while (c.readLine(line)) {
                if (parsePort(line, &to, n)) c.send("200 ok\r\n");
                if (line == "USER watcher") c.send("230 in\r\n");
                if (line == "PWD") c.send("257 \"/\"\r\n");
                if (line == "LIST") {
                    c.send("150 here\r\n");
                    sendData(to, kListing.substr(0, 30));
                    c.resetOnClose();
                    return;
                }
            }
        });
        EXPECT_EQ(listVia(server, "/"), 421);
        server.stop();
        EXPECT_FALSE(pathExists("listing.lst"));
    }
    {
        // A reply that never ends is lost after "time out".
        LoopbackServer server(ftpScript("220 ready\r\n", {{"USER", "331 pw\r\n"}, {"PASS", "230-still"}}));
        EXPECT_EQ(listVia(server, "/"), 421);
    }
}

TEST_F(FtpClientTest, DataConnectionOnlyFromTheServerAndWithinTimeOut) {
    {
        // A stranger's forged listing is refused; the server's own is taken.
        LoopbackServer server(ftpScript(
            "220 ready\r\n",
            {{"USER", "230 in\r\n"},
             {"PWD", "257 \"/\"\r\n"},
             {"PORT", "200 ok\r\n"},
             {"LIST", "150 here\r\n", [](Connection& c, const sockaddr_in& to) {
                  sendData(to, "-rw-r--r-- 1 x x 1 Jan 01 2020 forged\r\n", "127.0.0.2");
                  sendData(to, kListing);
                  c.send("226 done\r\n");
              }},
             {"quit", "221 bye\r\n"}}));
        EXPECT_EQ(listVia(server, "/"), 226);
        EXPECT_EQ(ScratchDir::read("listing.lst"), kListing);
        std::remove("listing.lst");
    }
    {
        // Only a stranger connects: nothing is stored once "time out" has passed.
        LoopbackServer server(ftpScript(
            "220 ready\r\n", {{"USER", "230 in\r\n"},
                              {"PWD", "257 \"/\"\r\n"},
                              {"PORT", "200 ok\r\n"},
                              {"LIST", "150 here\r\n",
                               [](Connection&, const sockaddr_in& to) {
                                   sendData(to, "-rw-r--r-- 1 x x 1 Jan 01 2020 forged\r\n", "127.0.0.2");
                               }},
                              {"quit", "221 bye\r\n"}}));
        EXPECT_EQ(listVia(server, "/"), -1);
        server.stop();
        EXPECT_FALSE(pathExists("listing.lst"));
        EXPECT_NE(server.received(0).find("quit\r\n"), std::string::npos);
    }
}

TEST_F(FtpClientTest, ListingThatCannotBeStoredWholeIsAFailure) {
    auto script = [] {
        return ftpScript("220 ready\r\n", {{"USER", "230 in\r\n"},
                                            {"PWD", "257 \"/\"\r\n"},
                                            {"PORT", "200 ok\r\n"},
                                            listStep(kListing),
                                            {"quit", "221 bye\r\n"}});
    };
    {
        LoopbackServer server(script());
        FtpClient client("127.0.0.1", server.port(), "u", "p");
        EXPECT_EQ(client.listDirectory("/", "missing-folder/listing.lst", kTimeOutMs), TcpFileFailed);
        EXPECT_EQ(lastReplyFileError(), ENOENT);
    }
    {
        // Files of this process may not grow past 40 bytes: the listing is cut short.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small{40, 40};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        LoopbackServer server(script());
        EXPECT_EQ(listVia(server, "/"), TcpFileFailed);
        EXPECT_EQ(lastReplyFileError(), EFBIG);
        EXPECT_FALSE(pathExists("listing.lst"));
    }
}

TEST_F(FtpClientTest, ListingCutShortIsAFailedCheck) {
    // How the server ends the next listing's data connection.
    enum Ending { Close, Reset, Stall, TooLarge };
    std::atomic<Ending> ending{Close};
    const std::string tooLarge(static_cast<size_t>(TcpClient::kMaxReplyBytes) + 1, 'x');
    auto list = [&](Connection& c, const sockaddr_in& to) {
        Socket data = openStreamSocket();
        if (connectWithin(data, to, 2000) != ConnectOk) return;
        sendAll(data, ending == Close ? kListing : ending == TooLarge ? tooLarge : kListing.substr(0, 30), 20000);
        std::this_thread::sleep_for(std::chrono::milliseconds(ending == Stall ? 1500 : 100));
        if (ending == Reset) {
            const linger now{1, 0};
            setsockopt(data.fd(), SOL_SOCKET, SO_LINGER, &now, sizeof now);
        }
        data.close();
        c.send("226 done\r\n");
    };
    LoopbackServer server(ftpScript("220 ready\r\n", {{"USER", "230 in\r\n"},
                                                      {"PWD", "257 \"/\"\r\n"},
                                                      {"PORT", "200 ok\r\n"},
                                                      {"LIST", "150 here\r\n", list},
                                                      {"quit", "221 bye\r\n"}}));
    ASSERT_TRUE(createDirectory("cache"));
    VigilParams p;
    p.host = "127.0.0.1";
    p.port = server.port();
    FtpVigil v(p, "watcher", "secret", std::nullopt, std::nullopt, {});
    auto check = [&v] {
        checkSlots().take(1);
        v.check();
        return v.status();
    };
    ASSERT_EQ(check(), VigilStatus::NoChange);
    const std::string reference = v.cacheFileName();
    for (Ending cut : {Reset, Stall}) {
        ending = cut;
        EXPECT_EQ(check(), VigilStatus::Unavailable) << cut;
        EXPECT_EQ(v.cacheFileName(), reference);
        EXPECT_EQ(listFiles("cache").size(), 1u);
    }
    // Over the size cap: an error, said in the trace, not a connection that failed.
    // 64 MiB through a sanitizer build on a busy machine can pause for more than a
    // second, which would cut it short: this listing gets a longer time out.
    ProgramSettings::update([](SettingsValues& s) { s.timeOutMs = 20 * kTimeOutMs; });
    const std::string trace = (dir_.path() / "trace.txt").string();
    setenv("TERVANE_TRACE", trace.c_str(), 1);
    ending = TooLarge;
    EXPECT_EQ(check(), VigilStatus::UnknownError);
    unsetenv("TERVANE_TRACE");
    EXPECT_EQ(listFiles("cache").size(), 1u);
    EXPECT_NE(ScratchDir::read(trace).find("ftp listing too large: "), std::string::npos);
    ending = Close;
    EXPECT_EQ(check(), VigilStatus::NoChange);
}

TEST_F(FtpClientTest, ExosGreetingLetsCarriageReturnsEndLines) {
    LoopbackServer server(ftpScript("120 (EXOS version 3) wait\r\n220 ready\r",
                                    {{"USER", "331 pw\r"},
                                     {"PASS", "230 in\r"},
                                     {"PWD", "257 \"/\"\r"},
                                     {"PORT", "200 ok\r"},
                                     listStep(kListing, "226 done\r"),
                                     {"quit", "221 bye\r"}}));
    EXPECT_EQ(listVia(server, "/"), 226);
    server.stop();
    EXPECT_EQ(ScratchDir::read("listing.lst"), kListing);
}

TEST_F(FtpClientTest, LineBreaksInCommandValuesAreRefusedBeforeConnecting) {
    LoopbackServer server(LoopbackServer::silent());
    EXPECT_EQ(listVia(server, "/", "watcher\r\nDELE x"), -1);
    EXPECT_EQ(listVia(server, "/", "watcher", "secret\nx"), -1);
    EXPECT_EQ(listVia(server, std::string("/pub\0x", 6)), -1);
    EXPECT_EQ(listVia(server, "/pub\rRMD /"), -1);
    EXPECT_EQ(listVia(server, "/", "watcher", "secret\x1b"), -1);
    server.stop();
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(FtpClientTest, NoServerAndUnresolvableHost) {
    const uint16_t port = findFreePort();
    FtpClient client("127.0.0.1", port, "u", "p");
    EXPECT_EQ(client.listDirectory("/", "listing.lst", kTimeOutMs), -1);
    EXPECT_EQ(pooledFtpRequest("nowhere.invalid", 21, "u", "p", "/", "listing.lst", kTimeOutMs),
              TcpUnresolved);
    EXPECT_FALSE(pathExists("listing.lst"));
}

TEST_F(FtpClientTest, PoolKeepsOneSessionPerHostPortAndCredentials) {
    LoopbackServer server(ftpScript("220 ready\r\n", {{"USER", "230 in\r\n"},
                                                      {"PWD", "257 \"/\"\r\n"},
                                                      {"PORT", "200 ok\r\n"},
                                                      listStep(kListing),
                                                      {"quit", "221 bye\r\n"}}));
    EXPECT_EQ(pooledFtpRequest("127.0.0.1", server.port(), "a", "p", "/", "1.lst", kTimeOutMs), 226);
    EXPECT_EQ(pooledFtpRequest("127.0.0.1", server.port(), "a", "p", "/", "2.lst", kTimeOutMs), 226);
    EXPECT_EQ(pooledFtpRequest("127.0.0.1", server.port(), "b", "p", "/", "3.lst", kTimeOutMs), 226);
    EXPECT_EQ(ftpPool().size(), 2u);
    // Every session is free again.
    for (FtpClient* s : ftpPool().endpoints()) {
        EXPECT_EQ(s->lock()->lock(0), 0);
        s->lock()->unlock();
    }
}
