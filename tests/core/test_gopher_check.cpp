// Gopher checks end to end: a scripted loopback server for the exact request and
// line comparison, gophernicus for a real server.
#include <gtest/gtest.h>

#include <fstream>

#include "check_fixture.h"
#include "core/gopher_vigil.h"
#include "support/real_servers.h"

namespace {

const char kMenu[] = "iWelcome\t\terror.host\t1\r\n0About\t/about\tgopher.test\t70\r\n.\r\n";

class GopherCheck : public CheckTest {
protected:
    static std::unique_ptr<GopherVigil> newVigil(uint16_t port, std::optional<std::string> selector,
                                                 const std::string& host = "127.0.0.1") {
        VigilParams p;
        p.host = host;
        p.port = port;
        return std::make_unique<GopherVigil>(p, selector);
    }
};

}  // namespace

TEST_F(GopherCheck, RequestBytesForBlankAndRealSelectors) {
    ChangingReply menu(kMenu);
    LoopbackServer server(menu.script("\r\n"));
    auto blank = newVigil(server.port(), std::string(" "));  // as vigil.dat stores "no selector"
    auto none = newVigil(server.port(), std::nullopt);
    auto named = newVigil(server.port(), std::string("/news"));
    for (auto* v : {blank.get(), none.get(), named.get()}) EXPECT_EQ(check(*v), VigilStatus::NoChange);
    named->setSelector(std::string("/other"));
    EXPECT_EQ(check(*named), VigilStatus::NoChange);
    // A search's TAB goes as it is; other control bytes refuse the check unsent.
    EXPECT_EQ(check(*newVigil(server.port(), std::string("7/search\tword"))), VigilStatus::NoChange);
    for (const char* selector : {"/a\r\n/b", "/a\x1b[2J", "/a\x7f"})
        EXPECT_EQ(check(*newVigil(server.port(), std::string(selector))), VigilStatus::BadRequest) << selector;
    EXPECT_EQ(check(*newVigil(server.port(), std::string("/s"), "127.0.0.1\n")), VigilStatus::BadRequest);
    server.stop();
    ASSERT_EQ(server.connections(), 5);
    EXPECT_EQ(server.received(0), "\r\n\n");
    EXPECT_EQ(server.received(1), "\r\n\n");
    EXPECT_EQ(server.received(2), "/news\r\n\n");
    EXPECT_EQ(server.received(3), "/other\r\n");
    EXPECT_EQ(server.received(4), "7/search\tword\r\n\n");
}

TEST_F(GopherCheck, LineComparisonOverChecks) {
    ChangingReply menu(kMenu);
    LoopbackServer server(menu.script("\r\n"));
    auto v = newVigil(server.port(), std::string("/"));
    EXPECT_EQ(check(*v), VigilStatus::NoChange);  // a first copy is never a change
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_EQ(v->lastChanged(), 0);

    const std::string base = "iWelcome\t\terror.host\t1\r\n0About\t/about\tgopher.test\t70\r\n";
    menu.set(base + "0News\t/news\tgopher.test\t70\r\n.\r\n");  // a line added before the end
    EXPECT_EQ(check(*v), VigilStatus::Changed);
    EXPECT_GT(v->lastChanged(), 0);
    menu.set(base + "0News\t/news\tgopher.test\t70\r\n.\r\n1More\t/more\tgopher.test\t70\r\n");
    EXPECT_EQ(check(*v), VigilStatus::Changed);  // appended at the end
    menu.set(base + "0News\t/news\tgopher.test\t70\r\n.\r\n");
    EXPECT_EQ(check(*v), VigilStatus::Changed);  // removed at the end
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    menu.set(base + "0News\t/news2\tgopher.test\t70\r\n.\r\n");
    EXPECT_EQ(check(*v), VigilStatus::Changed);
    EXPECT_EQ(cacheFiles().size(), 1u);
    EXPECT_EQ(v->cacheFileName(), v->previousCacheFileName());
}

TEST_F(GopherCheck, DebugKeepsOldCopies) {
    runState().keepOldCacheFiles = true;
    ChangingReply menu(kMenu);
    LoopbackServer server(menu.script("\r\n"));
    auto v = newVigil(server.port(), std::string("/"));
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_EQ(cacheFiles().size(), 2u);
}

TEST_F(GopherCheck, FailedFetchIsHostUnavailable) {
    auto refused = newVigil(findFreePort(), std::string("/"));
    EXPECT_EQ(check(*refused), VigilStatus::Unavailable);
    EXPECT_EQ(cacheFiles().size(), 0u);

    auto unresolved = newVigil(70, std::string("/"), "no-such-host.invalid");
    EXPECT_EQ(check(*unresolved), VigilStatus::HostNotResolved);

    // Nothing received, then a later fetch that fails: the copy stays the reference.
    LoopbackServer empty(LoopbackServer::reply("", "\r\n"));
    auto nothing = newVigil(empty.port(), std::string("/"));
    EXPECT_EQ(check(*nothing), VigilStatus::Unavailable);
    EXPECT_EQ(cacheFiles().size(), 0u);

    auto menu = std::make_unique<ChangingReply>(kMenu);
    auto server = std::make_unique<LoopbackServer>(menu->script("\r\n"));
    const uint16_t port = server->port();
    auto v = newVigil(port, std::string("/"));
    ASSERT_EQ(check(*v), VigilStatus::NoChange);
    const std::string reference = v->cacheFileName();
    server.reset();  // nobody listens there any more
    EXPECT_EQ(check(*v), VigilStatus::Unavailable);
    EXPECT_EQ(v->cacheFileName(), reference);
    EXPECT_EQ(v->previousCacheFileName(), reference);
    EXPECT_EQ(cacheFiles().size(), 1u);
}

TEST_F(GopherCheck, ReplyCutShortIsAFailedFetch) {
    ProgramSettings::update([](SettingsValues& s) { s.timeOutMs = 400; });
    EndedReply reply;
    reply.set(kMenu, EndedReply::Close);
    LoopbackServer server(reply.script("\r\n"));
    auto v = newVigil(server.port(), std::string("/"));
    ASSERT_EQ(check(*v), VigilStatus::NoChange);
    const std::string reference = v->cacheFileName();
    for (EndedReply::Ending ending : {EndedReply::Reset, EndedReply::Stall}) {
        reply.set(std::string(kMenu).substr(0, 30), ending);
        EXPECT_EQ(check(*v), VigilStatus::Unavailable) << ending;
        EXPECT_EQ(v->cacheFileName(), reference);
        EXPECT_EQ(cacheFiles().size(), 1u);
    }
    reply.set(kMenu, EndedReply::Close);
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
}

TEST_F(GopherCheck, AgainstGophernicus) {
    Gophernicus server;
    if (!server.start()) GTEST_SKIP() << "socat with gophernicus did not start";
    std::ofstream(server.file("hello.txt")) << "line one\nline two\n";
    const uint16_t port = server.port();

    auto file = newVigil(port, std::string("/hello.txt"));
    auto listing = newVigil(port, std::string(" "));
    EXPECT_EQ(check(*file), VigilStatus::NoChange);
    EXPECT_EQ(check(*listing), VigilStatus::NoChange);
    std::ifstream copy(listing->cacheFileName().replace(5, 1, "/"));
    std::string text((std::istreambuf_iterator<char>(copy)), {});
    if (text.find("hello.txt") == std::string::npos)
        GTEST_SKIP() << "gophernicus could not read its root as nobody: " << text;

    EXPECT_EQ(check(*file), VigilStatus::NoChange);
    std::ofstream(server.file("hello.txt"), std::ios::app) << "line three\n";
    std::ofstream(server.file("added.txt")) << "new\n";
    EXPECT_EQ(check(*file), VigilStatus::Changed);
    EXPECT_EQ(check(*listing), VigilStatus::Changed);
}
