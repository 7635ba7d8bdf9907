// Web checks end to end: against nginx, lighttpd and tinyproxy started here on
// 127.0.0.1, and against scripted loopback servers where exact bytes matter.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>

#include "check_fixture.h"
#include "core/text_utils.h"
#include "core/web_vigil.h"
#include "support/real_servers.h"

namespace {

const char kPage[] = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>Hello world</body></html>\r\n";

std::string httpPage(const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body;
}

class WebCheck : public CheckTest {
protected:
    // A Vigil made new (no copy yet), the way the settings dialog makes one.
    static std::unique_ptr<WebVigil> newVigil(const std::string& host, uint16_t port, const char* path,
                                              int method = ChangeMethod::Content, int32_t options = 0,
                                              std::vector<std::string> tokens = {},
                                              std::optional<std::string> credentials = std::nullopt) {
        VigilParams p;
        p.host = host;
        p.port = port;
        p.description = "Test page";
        p.options = options;
        return std::make_unique<WebVigil>(p, SimpleString(path), method, 0, 0, tokens, credentials);
    }
};

}  // namespace

TEST_F(WebCheck, RequestBytesOfTheDirectRoad) {
    const std::string dated = "HTTP/1.0 200 OK\r\nDate: Mon, 02 Mar 2026 04:05:07 GMT\r\n"
                              "Last-Modified: Mon, 02 Mar 2026 04:05:06 GMT\r\n\r\n<html>a</html>";
    LoopbackServer server(LoopbackServer::reply(dated));
    auto v = newVigil("127.0.0.1", server.port(), "/a/b#part", ChangeMethod::Content, 0, {},
                      std::string("user:secret"));
    EXPECT_EQ(check(*v), VigilStatus::NoChange);

    // A later check asks whether the page changed since the date of the reference
    // copy, by the server's clock: not since this machine's last check.
    v->setLastChecked(time(nullptr) + 3600);
    EXPECT_EQ(check(*v), VigilStatus::NoChange);

    // Without a copy to compare with, the page is asked for whatever its date:
    // a "not modified" answer would leave nothing to compare the next one with.
    VigilParams lost;
    lost.host = "127.0.0.1";
    lost.port = server.port();
    lost.lastChecked = 1772424306;
    lost.cacheFileName = "cache\\00000042.mon";  // its file is gone
    WebVigil w(lost, SimpleString("/a/b"), ChangeMethod::Content, 0, 0, {}, std::string("user:secret"));
    EXPECT_EQ(check(w), VigilStatus::NoChange);
    // The copy gets a fresh name: one cut short never stands under the stored one.
    EXPECT_NE(w.cacheFileName(), "cache\\00000042.mon");
    EXPECT_EQ(current(w), dated);
    // A path from an edited or imported vigil.dat: its control bytes go out encoded.
    auto injected = newVigil("127.0.0.1", server.port(), "/a\rX-Injected: evil\x7f\t");
    EXPECT_EQ(check(*injected), VigilStatus::NoChange);
    server.stop();
    ASSERT_EQ(server.connections(), 4);
    EXPECT_EQ(server.received(3).rfind("GET /a%0DX-Injected: evil%7F%09 HTTP/1.0\r\nUser-Agent", 0), 0u);
    const std::string head =
        "GET /a/b HTTP/1.0\r\nUser-Agent: Tervane/2.24\r\nHost: 127.0.0.1\r\nIf-Modified-Since: ";
    EXPECT_EQ(server.received(0),
              head + "Thu, 01 Jan 1970 00:00:00 GMT\r\nAuthorization: Basic dXNlcjpzZWNyZXQ=\r\n\r\n");
    EXPECT_EQ(server.received(1),
              head + "Mon, 02 Mar 2026 04:05:06 GMT\r\nAuthorization: Basic dXNlcjpzZWNyZXQ=\r\n\r\n");
    EXPECT_EQ(server.received(2), server.received(0));
}

TEST_F(WebCheck, RequestBytesOfTheProxyRoad) {
    LoopbackServer proxy(LoopbackServer::reply(kPage));
    ProgramSettings::update([&](SettingsValues& s) {
        s.useHttpProxy = true;
        s.httpProxyHost = "127.0.0.1";
        s.httpProxyPort = proxy.port();
        s.httpProxyNeeds = true;
        s.proxyAuthorization = base64Encode("proxy:pw");
    });
    auto v = newVigil("www.example.test", 8080, "/p#x");
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    // A host with a line end would add headers: the request is refused unsent.
    EXPECT_EQ(check(*newVigil("www.example.test\r\nX-Injected: 1", 8080, "/p")), VigilStatus::BadRequest);
    proxy.stop();
    EXPECT_EQ(proxy.connections(), 1);
    EXPECT_EQ(proxy.received(0),
              "GET http://www.example.test:8080/p HTTP/1.0\r\nUser-Agent: Tervane/2.24\r\n"
              "Host: www.example.test\r\nPragma:no-cache\r\nProxy-authorization: Basic cHJveHk6cHc=\r\n"
              "If-Modified-Since: Thu, 01 Jan 1970 00:00:00 GMT\r\n\r\n");
}

TEST_F(WebCheck, ThroughTinyproxyWithAndWithoutCredentials) {
    Nginx web;
    if (!web.start()) GTEST_SKIP() << "nginx did not start: " << web.log();
    Tinyproxy proxy;
    if (!proxy.start()) GTEST_SKIP() << "tinyproxy did not start";
    writeWholeFile(web.www("index.html"), "<html><body>through the proxy</body></html>\n");
    ProgramSettings::update([&](SettingsValues& s) {
        s.useHttpProxy = true;
        s.httpProxyHost = "127.0.0.1";
        s.httpProxyPort = proxy.port();
    });

    auto refused = newVigil("127.0.0.1", web.port(), "/index.html");
    EXPECT_EQ(check(*refused), VigilStatus::ProxyAuthRequired);
    EXPECT_TRUE(cacheFiles().empty());  // the proxy's error page is no copy

    ProgramSettings::update([](SettingsValues& s) {
        s.httpProxyNeeds = true;
        s.proxyAuthorization = base64Encode("user:pass");
    });
    auto v = newVigil("127.0.0.1", web.port(), "/index.html");
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_NE(current(*v).find("through the proxy"), std::string::npos);
}

TEST_F(WebCheck, EachMappedReplyKeepsThePreviousCopy) {
    struct Row {
        const char* reply;
        int status;
    };
    const Row rows[] = {
        {"HTTP/1.1 404 Not Found\r\n\r\n<html>gone</html>", VigilStatus::NotFound},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\n\r\n<html>gone</html>", VigilStatus::NotFound},
        {"HTTP/1.0 400 Bad Request\r\n\r\n", VigilStatus::BadRequest},
        {"HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic\r\n\r\n", VigilStatus::NotAuthorized},
        {"HTTP/1.0 407 Proxy Authentication Required\r\n\r\n", VigilStatus::ProxyAuthRequired},
        {"HTTP/1.1 301 Moved Permanently\r\nLocation: http://elsewhere.test/\r\n\r\n",
         VigilStatus::MovedPermanently},
        {"HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n", VigilStatus::MovedTemporarily},
        {"HTTP/1.0 500 Error from proxy\r\n\r\n", VigilStatus::ProxyError},
        {"HTTP/1.0 502 Bad Gateway\r\n\r\n", VigilStatus::ServerError},
        {"HTTP/1.0 501 Not Implemented\r\n\r\n", VigilStatus::ServerError},
        {"HTTP/1.0 503 Service Unavailable\r\n\r\n", VigilStatus::ServerError},
    };
    ChangingReply page(kPage);
    LoopbackServer server(page.script());
    auto v = newVigil("127.0.0.1", server.port(), "/");
    ASSERT_EQ(check(*v), VigilStatus::NoChange);
    const std::string reference = v->cacheFileName();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reply);
        page.set(row.reply);
        EXPECT_EQ(check(*v), row.status);
        EXPECT_EQ(v->cacheFileName(), reference);
        EXPECT_EQ(v->previousCacheFileName(), reference);
        EXPECT_EQ(cacheFiles().size(), 1u);
        EXPECT_EQ(current(*v), kPage);
    }
    EXPECT_EQ(v->lastChanged(), 0);

    // The page's return after the errors is no change; interim heads before it are
    // neither page text nor kept.
    page.set("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\n" +
             std::string(kPage));
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_EQ(v->lastChanged(), 0);
    EXPECT_EQ(current(*v), kPage);
}

TEST_F(WebCheck, FirstFetchThenRealChangeAndNginxErrorPage) {
    Nginx web;
    if (!web.start()) GTEST_SKIP() << "nginx did not start: " << web.log();
    const std::string path = web.www("index.html");
    writeWholeFile(path, "<html><body><p>Opening hours: nine to five</p></body></html>\n");
    auto v = newVigil("127.0.0.1", web.port(), "/index.html");

    EXPECT_EQ(check(*v), VigilStatus::NoChange);  // a first copy is never a change
    EXPECT_EQ(v->cacheFileName(), v->previousCacheFileName());
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_EQ(cacheFiles().size(), 1u);
    EXPECT_EQ(v->lastChanged(), 0);

    std::filesystem::remove(path);
    EXPECT_EQ(check(*v), VigilStatus::NotFound);
    writeWholeFile(path, "<html><body><p>Opening hours: nine to five</p></body></html>\n");
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_EQ(v->lastChanged(), 0);

    writeWholeFile(path, "<html><body><p>Opening hours: ten to four</p></body></html>\n");
    const time_t before = time(nullptr);
    EXPECT_EQ(check(*v), VigilStatus::Changed);
    EXPECT_GE(v->lastChanged(), before);
    EXPECT_EQ(cacheFiles().size(), 1u);  // the replaced copy is gone
    EXPECT_NE(current(*v).find("ten to four"), std::string::npos);
}

TEST_F(WebCheck, IgnoreTokensAndIgnoredTags) {
    ChangingReply page(httpPage("<html><p class=\"a\">Visitors=17 Welcome</p></html>"));
    LoopbackServer server(page.script());
    auto tokens = newVigil("127.0.0.1", server.port(), "/", ChangeMethod::Content, 0, {"Visitors"});
    auto tags = newVigil("127.0.0.1", server.port(), "/", ChangeMethod::Content, WebOptions::IgnoreTags);
    auto plain = newVigil("127.0.0.1", server.port(), "/");
    for (auto* v : {tokens.get(), tags.get(), plain.get()}) ASSERT_EQ(check(*v), VigilStatus::NoChange);

    page.set(httpPage("<html><p class=\"a\">Visitors=18 Welcome</p></html>"));
    EXPECT_EQ(check(*tokens), VigilStatus::NoChange);
    EXPECT_EQ(check(*tags), VigilStatus::Changed);
    EXPECT_EQ(check(*plain), VigilStatus::Changed);

    page.set(httpPage("<html><p class=\"b\">Visitors=18 Welcome</p></html>"));
    EXPECT_EQ(check(*tokens), VigilStatus::Changed);
    EXPECT_EQ(check(*tags), VigilStatus::NoChange);
    EXPECT_EQ(check(*plain), VigilStatus::Changed);
}

TEST_F(WebCheck, StructureChangeRejectsTheNewCopy) {
    ChangingReply page(kPage);
    LoopbackServer server(page.script());
    auto v = newVigil("127.0.0.1", server.port(), "/");
    ASSERT_EQ(check(*v), VigilStatus::NoChange);
    const std::string reference = v->cacheFileName();
    page.set(httpPage("<body>Hello world</body>"));
    EXPECT_EQ(check(*v), VigilStatus::StructureChanged);
    EXPECT_EQ(v->cacheFileName(), reference);
    EXPECT_EQ(cacheFiles().size(), 1u);
    EXPECT_EQ(current(*v), kPage);
    // Found again, the change is the page's own: reported, and the new copy adopted.
    EXPECT_EQ(check(*v), VigilStatus::Changed);
    EXPECT_GT(v->lastChanged(), 0);
    EXPECT_EQ(current(*v), httpPage("<body>Hello world</body>"));
    EXPECT_EQ(cacheFiles().size(), 1u);
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
}

TEST_F(WebCheck, NotModifiedKeepsTheReferenceCopy) {
    Lighttpd web;
    if (!web.start()) GTEST_SKIP() << "lighttpd did not start";
    const std::string path = web.www("index.html");
    writeWholeFile(path, "<html><body>Monday</body></html>\n");
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) - std::chrono::hours(1));
    auto v = newVigil("127.0.0.1", web.port(), "/index.html");
    ASSERT_EQ(check(*v), VigilStatus::NoChange);
    const std::string reference = v->cacheFileName();

    // Not modified since the last check: 304 without a body, which is not kept.
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_EQ(v->cacheFileName(), reference);
    EXPECT_EQ(v->previousCacheFileName(), reference);
    EXPECT_EQ(cacheFiles().size(), 1u);
    EXPECT_NE(current(*v).find("Monday"), std::string::npos);

    // The next real change is compared with the whole page, not with the 304.
    writeWholeFile(path, "<html><body>Tuesday</body></html>\n");
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::hours(1));
    EXPECT_EQ(check(*v), VigilStatus::Changed);
    EXPECT_NE(current(*v).find("Tuesday"), std::string::npos);
}

TEST_F(WebCheck, RedirectsAdoptedEndToEnd) {
    Nginx web;
    if (!web.start("    location = /moved { return 301 /target.html; }\n")) GTEST_SKIP() << web.log();
    writeWholeFile(web.www("target.html"), "<html><body>new home</body></html>\n");
    auto v = newVigil("localhost", web.port(), "/moved");
    EXPECT_EQ(check(*v), VigilStatus::MovedPermanently);
    EXPECT_TRUE(cacheFiles().empty());
    // nginx names itself with its port: http://localhost:PORT/target.html
    v->applyRedirect();
    EXPECT_EQ(v->url(), "http://localhost:" + std::to_string(web.port()) + "/target.html");
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_NE(current(*v).find("new home"), std::string::npos);

    Lighttpd relative;
    if (!relative.start()) GTEST_SKIP() << "lighttpd did not start";
    writeWholeFile(relative.www("index.html"), "<html><body>lighttpd home</body></html>\n");
    auto r = newVigil("127.0.0.1", relative.port(), "/old");
    EXPECT_EQ(check(*r), VigilStatus::MovedTemporarily);
    r->applyRedirect();
    EXPECT_EQ(r->url(), "http://127.0.0.1:" + std::to_string(relative.port()) + "/index.html");
    EXPECT_EQ(check(*r), VigilStatus::NoChange);
    EXPECT_NE(current(*r).find("lighttpd home"), std::string::npos);
}

TEST_F(WebCheck, RedirectWithoutPortGoesToPort80) {
    // A second loopback address keeps port 80 of 127.0.0.1 out of it.
    const std::string other = "    server {\n      listen 127.0.0.77:80;\n      root ";
    Nginx web;
    TempDir www2;
    writeWholeFile(www2.file("target.html"), "<html><body>on port 80</body></html>\n");
    if (!web.start("    location = /away { return 302 http://127.0.0.77/target.html; }\n",
                   other + www2.path() + ";\n    }\n"))
        GTEST_SKIP() << "nginx could not listen on 127.0.0.77:80: " << web.log();
    auto v = newVigil("127.0.0.1", web.port(), "/away");
    EXPECT_EQ(check(*v), VigilStatus::MovedTemporarily);
    v->applyRedirect();
    EXPECT_EQ(v->host(), "127.0.0.77");
    EXPECT_EQ(v->port(), 80);
    EXPECT_EQ(v->url(), "http://127.0.0.77/target.html");
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_NE(current(*v).find("on port 80"), std::string::npos);
}

TEST_F(WebCheck, RedirectTargetsCannotBreakTheRequestLine) {
    ChangingReply page("HTTP/1.0 302 Found\r\nLocation: /p\rX-Inj: 1\r\n\r\n");
    LoopbackServer server(page.script());
    auto v = newVigil("127.0.0.1", server.port(), "/old");
    EXPECT_EQ(check(*v), VigilStatus::MovedTemporarily);
    v->applyRedirect();  // a target with a control character is refused
    EXPECT_EQ(std::string(v->path().text()), "/old");
    const std::string here = "http://127.0.0.1:" + std::to_string(server.port());
    page.set("HTTP/1.0 302 Found\r\nLocation: http://evil host/x\r\n\r\n");
    EXPECT_EQ(check(*v), VigilStatus::MovedTemporarily);
    v->applyRedirect();  // so is one whose host is no host name
    EXPECT_EQ(v->url(), here + "/old");

    page.set("HTTP/1.0 301 Moved Permanently\r\nLocation: " + here +
             "/a b/\xC3\xA9%41%zz\"<x>|{}?q=1 2#top\r\n\r\n");
    EXPECT_EQ(check(*v), VigilStatus::MovedPermanently);
    v->applyRedirect();
    EXPECT_EQ(v->url(), here + "/a%20b/%C3%A9%41%25zz%22%3Cx%3E%7C%7B%7D?q=1%202#top");
    page.set(kPage);
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    server.stop();
    ASSERT_EQ(server.connections(), 4);
    EXPECT_EQ(server.received(3).rfind("GET /a%20b/%C3%A9%41%25zz%22%3Cx%3E%7C%7B%7D?q=1%202 HTTP/1.0\r\n", 0), 0u)
        << server.received(3);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(server.received(i).find("X-Inj"), std::string::npos);
}

TEST_F(WebCheck, EndlessReplyHeadIsReadWithinBounds) {
    // 12 MB of one-byte header lines and no end of the head.
    LoopbackServer server([](LoopbackServer::Connection& c) {
        if (!c.readUntil("\r\n\r\n")) return;
        c.send("HTTP/1.0 200 OK\r\n");
        std::string lines;
        for (int i = 0; i < (1 << 18); ++i) lines += "a\r\n";
        for (int i = 0; i < 16 && c.send(lines); ++i) {
        }
        c.send("Expires: Thu, 01 Jan 2037 00:00:00 GMT\r\n");
    });
    auto peakKb = [] {
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss;
    };
    auto v = newVigil("127.0.0.1", server.port(), "/", ChangeMethod::Detect);
    const long before = peakKb();
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_EQ(v->changeMethod(), ChangeMethod::Content);  // a header past the head is not read
    EXPECT_LT(peakKb() - before, 32 * 1024);
    EXPECT_GT(current(*v).size(), size_t{12} << 20);  // the copy itself is whole
}

TEST_F(WebCheck, ChangeMethodsAndHeaderReads) {
    ChangingReply page(httpPage("<html>a</html>"));
    LoopbackServer server(page.script());

    // Detected from the first page reply: Expires before Last-Modified.
    page.set("HTTP/1.0 200 OK\r\nExpires: Thu, 01 Jan 2037 00:00:00 GMT\r\n"
             "Last-Modified: Thu, 01 Jan 2015 00:00:00 GMT\r\n\r\n<html>a</html>");
    auto detect = newVigil("127.0.0.1", server.port(), "/", ChangeMethod::Detect);
    // An error reply decides nothing about the method.
    const std::string expiresPage = page.get();
    page.set("HTTP/1.0 404 Not Found\r\nLast-Modified: Thu, 01 Jan 2015 00:00:00 GMT\r\n\r\n");
    EXPECT_EQ(check(*detect), VigilStatus::NotFound);
    EXPECT_EQ(detect->changeMethod(), ChangeMethod::Detect);
    page.set(expiresPage);
    EXPECT_EQ(check(*detect), VigilStatus::NoChange);
    EXPECT_EQ(detect->changeMethod(), ChangeMethod::Expires);
    const time_t expires = detect->expires();
    EXPECT_GT(expires, 0);

    // Expires is read from every reply received, error pages included.
    page.set("HTTP/1.0 404 Not Found\r\nExpires: Thu, 01 Jan 2032 00:00:00 GMT\r\n\r\n");
    EXPECT_EQ(check(*detect), VigilStatus::NotFound);
    EXPECT_GT(detect->expires(), 0);
    EXPECT_LT(detect->expires(), expires);

    // Last-Modified decides alone (without "always compare") while the reference
    // copy's date lies a second or more before its reply's Date.
    auto dated = newVigil("127.0.0.1", server.port(), "/", ChangeMethod::LastModified);
    auto reply = [&](const char* modified, const char* body, const char* date = "Fri, 01 Jan 2038 00:00:00") {
        page.set("HTTP/1.0 200 OK\r\n" + (date ? "Date: " + std::string(date) + " GMT\r\n" : "") +
                 "Last-Modified: " + modified + " GMT\r\n\r\n" + body);
    };
    reply("Thu, 01 Jan 2015 00:00:00", "<html>a</html>");
    EXPECT_EQ(check(*dated), VigilStatus::NoChange);
    EXPECT_GT(dated->lastModified(), 0);
    reply("Thu, 01 Jan 2015 00:00:00", "<html>b</html>");
    EXPECT_EQ(check(*dated), VigilStatus::NoChange);  // content differs, the date does not
    reply("Thu, 01 Jan 2037 00:00:00", "<html>b</html>");
    EXPECT_EQ(check(*dated), VigilStatus::Changed);
    // Any other date is a change, an earlier one too (the server's clock, not ours).
    reply("Thu, 01 Jan 2015 00:00:01", "<html>b</html>");
    EXPECT_EQ(check(*dated), VigilStatus::Changed);
    EXPECT_EQ(check(*dated), VigilStatus::NoChange);
    // Fetched in the second it was dated, or without a Date: the date cannot tell
    // two editions of one second apart, the whole page is asked for and compared.
    for (const char* date : {"Thu, 01 Jan 2015 00:00:02", static_cast<const char*>(nullptr)}) {
        const char* modified = date ? date : "Thu, 01 Jan 2015 00:00:03";
        reply(modified, "<html>c</html>", date);
        EXPECT_EQ(check(*dated), VigilStatus::Changed);
        EXPECT_EQ(check(*dated), VigilStatus::NoChange);
        reply(modified, "<html>d</html>", date);
        EXPECT_EQ(check(*dated), VigilStatus::Changed) << modified;
        EXPECT_NE(server.received(server.connections() - 1).find("Since: Thu, 01 Jan 1970"), std::string::npos);
    }

    // With "always compare" the content decides.
    auto compared = newVigil("127.0.0.1", server.port(), "/", ChangeMethod::LastModified,
                             WebOptions::AlwaysCompare);
    EXPECT_EQ(check(*compared), VigilStatus::NoChange);
    EXPECT_EQ(check(*compared), VigilStatus::NoChange);
    page.set("HTTP/1.0 200 OK\r\nLast-Modified: Thu, 01 Jan 2015 00:00:00 GMT\r\n\r\n<html>c</html>");
    EXPECT_EQ(check(*compared), VigilStatus::Changed);
}

TEST_F(WebCheck, DebugKeepsOldCopies) {
    runState().keepOldCacheFiles = true;
    ChangingReply page(httpPage("<html>one</html>"));
    LoopbackServer server(page.script());
    auto v = newVigil("127.0.0.1", server.port(), "/");
    ASSERT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    page.set(httpPage("<html>two</html>"));
    EXPECT_EQ(check(*v), VigilStatus::Changed);
    EXPECT_EQ(cacheFiles().size(), 3u);
}

TEST_F(WebCheck, FailedFetchIsHostUnavailable) {
    auto refused = newVigil("127.0.0.1", findFreePort(), "/");
    EXPECT_EQ(check(*refused), VigilStatus::Unavailable);
    EXPECT_TRUE(cacheFiles().empty());

    auto unresolved = newVigil("no-such-host.invalid", 80, "/");
    EXPECT_EQ(check(*unresolved), VigilStatus::HostNotResolved);

    ProgramSettings::update([](SettingsValues& s) { s.timeOutMs = 300; });
    LoopbackServer silent(LoopbackServer::silent());
    auto quiet = newVigil("127.0.0.1", silent.port(), "/");
    EXPECT_EQ(check(*quiet), VigilStatus::Unavailable);
    EXPECT_TRUE(cacheFiles().empty());

    // A later fetch that fails keeps the previous copy as the reference.
    std::atomic<bool> up{true};
    LoopbackServer flaky([&](LoopbackServer::Connection& c) {
        if (up && c.readUntil("\r\n\r\n")) c.send(kPage);
    });
    auto v = newVigil("127.0.0.1", flaky.port(), "/");
    ASSERT_EQ(check(*v), VigilStatus::NoChange);
    const std::string reference = v->cacheFileName();
    up = false;
    EXPECT_EQ(check(*v), VigilStatus::Unavailable);
    EXPECT_EQ(v->cacheFileName(), reference);
    EXPECT_EQ(v->previousCacheFileName(), reference);
    EXPECT_EQ(cacheFiles().size(), 1u);
    up = true;
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
}

TEST_F(WebCheck, ReplyCutShortIsAFailedFetchUnlessItsLengthArrived) {
    ProgramSettings::update([](SettingsValues& s) { s.timeOutMs = 400; });
    const std::string body = "<html><body>Hello world</body></html>\r\n";
    auto withLength = [](const std::string& text, size_t length) {
        return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" + text;
    };
    EndedReply reply;
    reply.set(httpPage(body), EndedReply::Close);
    LoopbackServer server(reply.script());
    auto v = newVigil("127.0.0.1", server.port(), "/");
    ASSERT_EQ(check(*v), VigilStatus::NoChange);
    const std::string reference = v->cacheFileName();

    // Half a page, then a reset or silence, or a close before the announced length:
    // nothing is stored or compared.
    const std::string half = body.substr(0, 20);
    for (const std::string& text : {httpPage(half), withLength(half, body.size())})
        for (EndedReply::Ending ending : {EndedReply::Reset, EndedReply::Stall, EndedReply::Close}) {
            if (ending == EndedReply::Close && text == httpPage(half)) continue;  // whole, for all we know
            reply.set(text, ending);
            EXPECT_EQ(check(*v), VigilStatus::Unavailable) << text << ending;
            EXPECT_EQ(v->cacheFileName(), reference);
            EXPECT_EQ(cacheFiles().size(), 1u);
        }

    // Leading zeros are read, however many; a length past the reply cap is too large.
    for (const std::string& length : {std::string(20, '0') + std::to_string(body.size()),
                                      std::string("99999999999999999999")}) {
        reply.set("HTTP/1.0 200 OK\r\nContent-Length: " + length + "\r\n\r\n" + half, EndedReply::Close);
        EXPECT_EQ(check(*v), VigilStatus::Unavailable) << length;
    }

    // Every announced byte in: the reply is whole however the connection ends.
    const std::string changed = "<html><body>Hello there</body></html>\r\n";
    reply.set(withLength(changed, changed.size()), EndedReply::Reset);
    EXPECT_EQ(check(*v), VigilStatus::Changed);
    reply.set(withLength(changed, changed.size()), EndedReply::Stall);
    EXPECT_EQ(check(*v), VigilStatus::NoChange);
    EXPECT_EQ(current(*v), withLength(changed, changed.size()));
    reply.set("HTTP/1.0 304 Not Modified\r\nContent-Length: 35\r\n\r\n", EndedReply::Close);
    EXPECT_EQ(check(*v), VigilStatus::NoChange);  // a 304 has no body, whatever length it names
}

TEST_F(WebCheck, BatchModeMailsOnlyAChange) {
    SmtpSink sink;
    if (!sink.start()) GTEST_SKIP() << "the SMTP sink did not start: " << sink.log();
    ProgramSettings::update([&](SettingsValues& s) {
        s.smtpHost = "127.0.0.1";
        s.smtpPort = sink.port();
        s.userEmail = "watcher@example.test";
    });
    runState().batchMode = true;

    ChangingReply page(httpPage("<html>one</html>"));
    LoopbackServer server(page.script());
    VigilParams p;
    p.host = "127.0.0.1";
    p.port = server.port();
    p.description = "Batch page";
    p.flags = NotifyFlags::Email;
    p.email = "reader@example.test";
    WebVigil v(p, SimpleString("/"), ChangeMethod::Content, 0, 0, {}, std::nullopt);
    EXPECT_EQ(check(v), VigilStatus::NoChange);
    EXPECT_EQ(check(v), VigilStatus::NoChange);
    page.set(httpPage("<html>two</html>"));
    EXPECT_EQ(check(v), VigilStatus::Changed);

    // The check sends on its own thread before it returns: exactly one message.
    const std::vector<std::string> messages = sink.messages();
    ASSERT_EQ(messages.size(), 1u);
    const std::string text = readWholeFile(sink.file(messages[0]));
    EXPECT_NE(text.find("Subject: Site Change - Batch page"), std::string::npos);
    EXPECT_NE(text.find("http://127.0.0.1:" + std::to_string(server.port()) + "/"), std::string::npos);
}
