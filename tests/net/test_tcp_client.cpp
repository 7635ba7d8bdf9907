#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "net/ftp_client.h"
#include "net/tcp_client.h"
#include "support/loopback_server.h"
#include "support/server_process.h"

namespace {

const char* const kRequest = "GET /page HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";

class TcpClientTest : public ::testing::Test {
protected:
    void setTimeOut(int ms) { timeOut = ms; }
    std::string replyFile(const std::string& name = "reply.mon") const { return dir.file(name); }
    // A request through the Web pool.
    int32_t web(const char* host, uint16_t port, const char* text, const std::string& file) const {
        return pooledTcpRequest(webPool(), host, port, text, file.c_str(), ReplyEnd::HttpLength, timeOut);
    }

    TempDir dir;
    int timeOut = 2000;  // "time out" given to every request
};

// Holds an endpoint's lock on another thread, as a running check would.
class BusyHolder {
public:
    explicit BusyHolder(OwnedMutex* lock) {
        thread_ = std::thread([this, lock] {
            OwnedLock hold(*lock);
            held_ = true;
            while (!release_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        });
        while (!held_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~BusyHolder() {
        release_ = true;
        thread_.join();
    }

private:
    std::thread thread_;
    std::atomic<bool> held_{false}, release_{false};
};

}  // namespace

TEST_F(TcpClientTest, SendsRequestAndStoresChunkedReplyWhole) {
    const std::string a(500, 'a'), b(400, 'b'), c(400, 'c');
    LoopbackServer server(LoopbackServer::replyInChunks({a, b, c}, 100));
    TcpClient client("127.0.0.1", server.port());
    ASSERT_TRUE(client.resolved());
    EXPECT_EQ(client.request(kRequest, replyFile().c_str(), timeOut), 1300);
    EXPECT_EQ(readWholeFile(replyFile()), a + b + c);
    server.stop();
    EXPECT_EQ(server.received(0), kRequest);

    // Interim heads, however split, are no part of an HTTP reply; a cut in one is.
    const std::string real = "HTTP/1.0 200 OK\r\n\r\nok";
    for (const bool cut : {false, true}) {
        LoopbackServer interim(LoopbackServer::replyInChunks(
            {"HTTP/1.1 10", "0 Continue\r\n\r", cut ? "\nHTTP/1.1 103 Hints\r\n" : "\n" + real}, 50));
        TcpClient http("127.0.0.1", interim.port());
        const std::string file = replyFile(cut ? "cut" : "whole");
        EXPECT_EQ(http.request(kRequest, file.c_str(), timeOut, ReplyEnd::HttpLength),
                  cut ? TcpReplyAborted : static_cast<int32_t>(real.size()));
        EXPECT_EQ(pathExists(file) ? readWholeFile(file) : "", cut ? "" : real);
    }
}

TEST_F(TcpClientTest, StoredNameWithBackslashLandsInItsFolder) {
    LoopbackServer server(LoopbackServer::reply("cached"));
    TcpClient client("127.0.0.1", server.port());
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("cache")));
    EXPECT_EQ(client.request(kRequest, dir.file("cache\\00000001.mon").c_str(), timeOut), 6);
    EXPECT_EQ(readWholeFile(dir.file("cache/00000001.mon")), "cached");
}

TEST_F(TcpClientTest, HostNameResolvesThroughNameService) {
    LoopbackServer server(LoopbackServer::reply("hello"));
    TcpClient client("localhost", server.port());
    ASSERT_TRUE(client.resolved());
    EXPECT_EQ(addressText(client.address()), "127.0.0.1");
    EXPECT_EQ(client.request(kRequest, replyFile().c_str(), timeOut), 5);
}

TEST_F(TcpClientTest, SilentServerAndEarlyCloseGiveZeroAndNoFile) {
    setTimeOut(300);
    LoopbackServer silent(LoopbackServer::silent());
    TcpClient quiet("127.0.0.1", silent.port());
    EXPECT_EQ(quiet.request(kRequest, replyFile().c_str(), timeOut), 0);
    EXPECT_FALSE(pathExists(replyFile()));

    LoopbackServer closing(LoopbackServer::reply(""));
    TcpClient closer("127.0.0.1", closing.port());
    EXPECT_EQ(closer.request(kRequest, replyFile().c_str(), timeOut), 0);
    EXPECT_FALSE(pathExists(replyFile()));
}

TEST_F(TcpClientTest, RefusedConnectionGivesConnectFailed) {
    const uint16_t port = findFreePort();  // nobody listens there now
    TcpClient client("127.0.0.1", port);
    EXPECT_EQ(client.request(kRequest, replyFile().c_str(), timeOut), TcpConnectFailed);
    EXPECT_FALSE(pathExists(replyFile()));
}

TEST_F(TcpClientTest, ConnectThatNeverCompletesIsBoundedByTimeOut) {
    // A listener that accepts nothing: once its queue is full the kernel drops
    // further connection attempts, so they hang until the client gives up.
    Socket listener = listenOnLoopback(0, 0);
    const uint16_t port = localPortOf(listener);
    std::vector<Socket> fillers;
    bool queueFull = false;
    for (int i = 0; i < 16 && !queueFull; ++i) {
        Socket s = openStreamSocket();
        queueFull = connectWithin(s, loopbackAddress(port), 200) == ConnectTimedOut;
        fillers.push_back(std::move(s));
    }
    if (!queueFull) GTEST_SKIP() << "this kernel completes connections past the listen queue";

    setTimeOut(1000);
    TcpClient client("127.0.0.1", port);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.request(kRequest, replyFile().c_str(), timeOut), TcpConnectFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(TcpClientTest, PeerThatResetsDuringSendGivesSendFailed) {
    // The reset comes once the request has begun: one at once could beat the end
    // of the client's connect and make it a connect failure.
    LoopbackServer server([](LoopbackServer::Connection& c) {
        c.resetOnClose();
        c.readUntil("q");
    });
    TcpClient client("127.0.0.1", server.port());
    const std::string big(16 << 20, 'q');  // far more than the socket buffers hold
    EXPECT_EQ(client.request(big.c_str(), replyFile().c_str(), timeOut), TcpSendFailed);
}

TEST_F(TcpClientTest, NoDescriptorLeftGivesNoSocket) {
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    TcpClient client("127.0.0.1", 9);
    // Everything but the request is done while descriptors are left: a sanitizer
    // run checks an object's type through a pipe the first time it meets it.
    const std::string file = replyFile();
    const int wait = timeOut;
    const int lowest = dup(0);
    ASSERT_GE(lowest, 0);
    close(lowest);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowest);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    const int32_t result = client.request(kRequest, file.c_str(), wait);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(result, TcpNoSocket);
}

TEST_F(TcpClientTest, TricklingServerHitsTheOverallDeadline) {
    setTimeOut(1000);  // the deadline is then its ten-second floor
    ASSERT_EQ(TcpClient::requestDeadlineMs(1000), 10000);
    ASSERT_EQ(TcpClient::requestDeadlineMs(30000), 120000);
    LoopbackServer server(LoopbackServer::trickle(200));
    TcpClient client("127.0.0.1", server.port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.request(kRequest, replyFile().c_str(), timeOut), TcpReplyAborted);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(13));
    EXPECT_FALSE(pathExists(replyFile()));
}

TEST_F(TcpClientTest, ReplyUpToTheSizeCapIsStoredAndAnEndlessOneIsNot) {
    const std::string full(static_cast<size_t>(TcpClient::kMaxReplyBytes), 'r');
    LoopbackServer fits(LoopbackServer::reply(full));
    TcpClient whole("127.0.0.1", fits.port());
    EXPECT_EQ(whole.request(kRequest, replyFile("full").c_str(), timeOut), TcpClient::kMaxReplyBytes);
    EXPECT_EQ(readWholeFile(replyFile("full")).size(), full.size());

    LoopbackServer server(LoopbackServer::endless());
    TcpClient client("127.0.0.1", server.port());
    EXPECT_EQ(client.request(kRequest, replyFile().c_str(), timeOut), TcpReplyAborted);
    EXPECT_FALSE(pathExists(replyFile()));
}

TEST_F(TcpClientTest, ReplyFileThatCannotBeWrittenIsAFailure) {
    LoopbackServer server(LoopbackServer::reply("some reply"));
    TcpClient client("127.0.0.1", server.port());
    EXPECT_EQ(client.request(kRequest, dir.file("missing/reply.mon").c_str(), timeOut), TcpFileFailed);
    // A directory in the way of the name.
    EXPECT_EQ(client.request(kRequest, dir.path().c_str(), timeOut), TcpFileFailed);
    if (pathExists("/dev/full")) {
        LoopbackServer big(LoopbackServer::reply(std::string(1 << 20, 'b')));
        TcpClient toFull("127.0.0.1", big.port());
        EXPECT_EQ(toFull.request(kRequest, "/dev/full", timeOut), TcpFileFailed);
    }
}

TEST_F(TcpClientTest, UnresolvableHostGivesUnresolvedAndNoEndpoint) {
    TcpClient client("no-such-host.invalid", 70);
    EXPECT_FALSE(client.resolved());
    EXPECT_EQ(client.request(kRequest, replyFile().c_str(), timeOut), TcpConnectFailed);

    EXPECT_EQ(pooledTcpRequest(gopherPool(), "no-such-host.invalid", 70, kRequest, replyFile().c_str(),
                               ReplyEnd::ServerClose, timeOut),
              TcpUnresolved);
    EXPECT_EQ(gopherPool().size(), 0u);
}

TEST_F(TcpClientTest, EmptyHostOrTextTouchesNoPool) {
    // With the pool lock held elsewhere, touching the pool would hang.
    BusyHolder busy(webPool().lock());
    EXPECT_EQ(web("", 80, kRequest, replyFile()), 0);
    EXPECT_EQ(web("127.0.0.1", 80, "", replyFile()), 0);
}

TEST_F(TcpClientTest, PoolReusesFreeEndpointsAndAddsOneForABusyOrOtherHost) {
    LoopbackServer server(LoopbackServer::reply("0123456789", "\r\n"));
    auto gopher = [&](const char* host) {
        return pooledTcpRequest(gopherPool(), host, server.port(), "sel\r\n", replyFile().c_str(),
                                ReplyEnd::ServerClose, timeOut);
    };
    EXPECT_EQ(gopher("127.0.0.1"), 10);
    EXPECT_EQ(gopher("127.0.0.1"), 10);
    ASSERT_EQ(gopherPool().size(), 1u);
    TcpClient* first = gopherPool().endpoints()[0];
    EXPECT_FALSE(first->lock()->held());

    {
        BusyHolder busy(first->lock());
        EXPECT_EQ(gopher("127.0.0.1"), 10);  // passes the busy one over, never waits
    }
    ASSERT_EQ(gopherPool().size(), 2u);

    // The host is compared exactly: another spelling is another endpoint, and the
    // endpoints tried on the way are left free.
    EXPECT_EQ(gopher("localhost"), 10);
    ASSERT_EQ(gopherPool().size(), 3u);
    for (TcpClient* e : gopherPool().endpoints()) EXPECT_FALSE(e->lock()->held());
    EXPECT_STREQ(gopherPool().endpoints()[2]->host(), "localhost");
    EXPECT_EQ(webPool().size(), 0u);
}

TEST_F(TcpClientTest, ConcurrentGopherRequestsUseTwoEndpoints) {
    LoopbackServer server(LoopbackServer::replyAfter(400, "done", "\r\n"));
    auto run = [&](const std::string& file, int32_t* result) {
        *result = pooledTcpRequest(gopherPool(), "127.0.0.1", server.port(), "x\r\n", file.c_str(),
                                   ReplyEnd::ServerClose, timeOut);
    };
    int32_t r1 = 0, r2 = 0;
    std::thread t1(run, replyFile("1"), &r1), t2(run, replyFile("2"), &r2);
    t1.join();
    t2.join();
    EXPECT_EQ(r1, 4);
    EXPECT_EQ(r2, 4);
    EXPECT_EQ(server.maxConcurrent(), 2);
    EXPECT_EQ(gopherPool().size(), 2u);
}

TEST_F(TcpClientTest, RequestsOnAReusedWebEndpointRunOneAtATime) {
    LoopbackServer server(LoopbackServer::replyAfter(300, "HTTP/1.0 200 OK\r\n\r\n"));
    ASSERT_GT(web("127.0.0.1", server.port(), kRequest, replyFile("0")), 0);
    ASSERT_EQ(webPool().size(), 1u);

    std::vector<std::thread> threads;
    std::atomic<int> stored{0};
    for (int i = 1; i <= 3; ++i) {
        threads.emplace_back([&, i] {
            if (web("127.0.0.1", server.port(), kRequest, replyFile(std::to_string(i))) > 0)
                ++stored;
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(stored, 3);
    EXPECT_EQ(server.maxConcurrent(), 1);
    EXPECT_EQ(webPool().size(), 1u);
}

TEST_F(TcpClientTest, FailedRequestOnReusedWebEndpointLeavesItFree) {
    uint16_t port = 0;
    {
        LoopbackServer server(LoopbackServer::reply("ok"));
        port = server.port();
        ASSERT_EQ(web("127.0.0.1", port, kRequest, replyFile()), 2);
    }
    EXPECT_EQ(web("127.0.0.1", port, kRequest, replyFile("x")), TcpConnectFailed);
    ASSERT_EQ(webPool().size(), 1u);
    EXPECT_FALSE(webPool().endpoints()[0]->lock()->held());
    EXPECT_FALSE(webPool().lock()->held());
}

TEST(TcpClientPools, ProcessLocksExistAndAreDistinct) {
    OwnedMutex* const all[] = {gopherPool().lock(), webPool().lock(), ftpPool().lock()};
    for (size_t i = 0; i < std::size(all); ++i) {
        ASSERT_NE(all[i], nullptr);
        for (size_t j = i + 1; j < std::size(all); ++j) EXPECT_NE(all[i], all[j]);
    }
    EXPECT_EQ(gopherPool().lock()->lock(0), 0);
    EXPECT_EQ(gopherPool().lock()->unlock(), 1);
}
