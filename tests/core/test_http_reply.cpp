#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

#include "core/http_reply.h"
#include "core/text_utils.h"
#include "support/scratch_dir.h"

namespace {

const char kNeverChecked[] = "If-Modified-Since: Thu, 01 Jan 1970 00:00:00 GMT\r\n";

HttpRequestInputs page(const std::string& host, uint16_t port, const std::string& path) {
    HttpRequestInputs in;
    in.host = host;
    in.port = port;
    in.path = path;
    return in;
}

// Writes a file in the scratch folder (the working directory) and names it.
std::string put(const std::string& name, const std::string& bytes) {
    ScratchDir::write(name, bytes);
    return name;
}

void useUtc() {
    setenv("TZ", "UTC", 1);
    tzset();
}

}  // namespace

// ---- Request bytes ----

TEST(HttpRequest, DirectRoadWithAndWithoutCredentials) {
    HttpRequestInputs in = page("www.example.test", 8080, "/a/b.html");
    HttpRequest r = buildHttpRequest(in);
    EXPECT_EQ(r.text, std::string("GET /a/b.html HTTP/1.0\r\n"
                                  "User-Agent: Tervane/2.24\r\n"
                                  "Host: www.example.test\r\n") +
                          kNeverChecked + "\r\n");
    EXPECT_EQ(r.connectHost, "www.example.test");
    EXPECT_EQ(r.connectPort, 8080);

    in.basicCredentials = base64Encode("user:secret");
    r = buildHttpRequest(in);
    EXPECT_EQ(r.text, std::string("GET /a/b.html HTTP/1.0\r\n"
                                  "User-Agent: Tervane/2.24\r\n"
                                  "Host: www.example.test\r\n") +
                          kNeverChecked + "Authorization: Basic dXNlcjpzZWNyZXQ=\r\n\r\n");
}

TEST(HttpRequest, ProxyRoadCarriesTheFullUrlAndThePagesHost) {
    HttpRequestInputs in = page("h.test", 8080, "/x?q=1");
    in.useProxy = true;
    in.proxyHost = "proxy.test";
    in.proxyPort = 3128;
    in.proxyAuthorization = "cHU6cHA=";
    HttpRequest r = buildHttpRequest(in);
    EXPECT_EQ(r.text, std::string("GET http://h.test:8080/x?q=1 HTTP/1.0\r\n"
                                  "User-Agent: Tervane/2.24\r\n"
                                  "Host: h.test\r\n"
                                  "Pragma:no-cache\r\n") +
                          kNeverChecked + "\r\n");
    EXPECT_EQ(r.connectHost, "proxy.test");
    EXPECT_EQ(r.connectPort, 3128);

    in.proxyNeedsAuth = true;
    in.basicCredentials = "dTpw";
    in.port = 80;
    r = buildHttpRequest(in);
    EXPECT_EQ(r.text, std::string("GET http://h.test/x?q=1 HTTP/1.0\r\n"
                                  "User-Agent: Tervane/2.24\r\n"
                                  "Host: h.test\r\n"
                                  "Pragma:no-cache\r\n"
                                  "Proxy-authorization: Basic cHU6cHA=\r\n") +
                          kNeverChecked + "Authorization: Basic dTpw\r\n\r\n");
}

TEST(HttpRequest, FragmentIsRemovedAndAMissingSlashAdded) {
    HttpRequestInputs in = page("h", 80, "/a#top");
    EXPECT_EQ(buildHttpRequest(in).text.substr(0, 20), "GET /a HTTP/1.0\r\nUse");
    in.useProxy = true;
    EXPECT_EQ(buildHttpRequest(in).text.substr(0, 27), "GET http://h/a HTTP/1.0\r\nUs");
    in = page("h", 80, "");
    EXPECT_EQ(buildHttpRequest(in).text.substr(0, 17), "GET / HTTP/1.0\r\nU");
    EXPECT_EQ(webUrl("h", 80, "a"), "http://h/a");
    EXPECT_EQ(webUrl("h", 8080, "/a"), "http://h:8080/a");
}

TEST(HttpRequest, IfModifiedSinceIsRfc1123WithEnglishNamesInAnyLocale) {
    HttpRequestInputs in = page("h", 80, "/");
    const char* const epoch = "If-Modified-Since: Thu, 01 Jan 1970 00:00:00 GMT\r\n";
    EXPECT_NE(buildHttpRequest(in).text.find(epoch), std::string::npos);
    // The server's own date goes back as it wrote it; one that could end the line does not.
    in.ifModifiedSince = "Sunday, 06-Nov-94 08:49:37 GMT";
    EXPECT_NE(buildHttpRequest(in).text.find("If-Modified-Since: Sunday, 06-Nov-94 08:49:37 GMT\r\n"),
              std::string::npos);
    in.ifModifiedSince = "Sun, 06 Nov 1994 08:49:37 GMT\r\nX-Injected: 1";
    EXPECT_NE(buildHttpRequest(in).text.find(epoch), std::string::npos);
    in.ifModifiedSince = httpDate(1709373909);  // 2 March 2024 10:05:09 UTC
    const char* const wanted = "If-Modified-Since: Sat, 02 Mar 2024 10:05:09 GMT\r\n";
    EXPECT_NE(buildHttpRequest(in).text.find(wanted), std::string::npos);

    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE")) {
        ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    }
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    EXPECT_EQ(httpDate(1709373909), "Sat, 02 Mar 2024 10:05:09 GMT");
    EXPECT_EQ(httpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(httpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
    std::setlocale(LC_ALL, "C");
}

// ---- Reply classification ----

TEST(ReplyClassification, EveryRowOfThePhraseTable) {
    struct Row {
        const char* statusLine;
        int code;
        int status;
    };
    const Row rows[] = {
        {"HTTP/1.0 200 OK", 200, 0},
        {"HTTP/1.0 200 Document follows", 0, 0},
        {"HTTP/1.1 404 Not Found", 404, 1075},
        {"HTTP/1.0 404 Object Not Found", 404, 1075},
        {"HTTP/1.0 404 File not found", 404, 1075},
        {"HTTP/1.0 404 Nicht gefunden", 404, 1075},
        {"HTTP/1.0 400 Bad Request", 400, 1078},
        {"HTTP/1.0 401 Unauthorized", 401, 1080},
        {"HTTP/1.0 401 Access Denied", 401, 1080},
        {"HTTP/1.0 407 Proxy Authentication Required", 407, 1079},
        {"HTTP/1.0 301 Moved Permanently", 301, 1074},
        {"HTTP/1.0 302 Moved Temporarily", 302, 1076},
        {"HTTP/1.1 302 Found", 302, 1076},
        {"HTTP/1.0 302 Object Moved", 302, 1076},
        {"HTTP/1.0 302 Moved", 302, 1076},
        {"HTTP/1.0 500 Error from proxy", 500, 1082},
        {"HTTP/1.0 502 Bad Gateway", 502, 1083},
        {"HTTP/1.0 501 Not Implemented", 502, 1083},
        {"HTTP/1.1 503 SERVICE UNAVAILABLE", 502, 1083},
        {"HTTP/1.1 403 Forbidden", 0, 0},
    };
    for (const Row& row : rows) {
        const ReplyClass c =
            classifyReply(parseReplyHead(std::string(row.statusLine) + "\r\nServer: t\r\n\r\n<html></html>"));
        EXPECT_EQ(c.code, row.code) << row.statusLine;
        EXPECT_EQ(replyCodeStatus(c.code), row.status) << row.statusLine;
    }
    // The error page of a database gateway, in a header line
    EXPECT_EQ(classifyReply(parseReplyHead("HTTP/1.0 200 Document follows\n"
                                           "X-Error: [Error=0][Microsoft][ODBC Driver Manager] x\n\nbody"))
                  .code,
              502);
}

TEST(ReplyClassification, TheBodyAndHeaderValuesDoNotClassify) {
    // A page that talks about " 404" or a proxy error is still a page.
    EXPECT_EQ(classifyReply(parseReplyHead("HTTP/1.0 200 Document follows\r\n\r\n"
                                           "<html>Error 404 here, 500 Error from proxy</html>\r\n"))
                  .code,
              0);
    // A body of exactly 404 bytes is not a missing page.
    EXPECT_EQ(classifyReply(parseReplyHead("HTTP/1.0 200 Document follows\r\nContent-Length: 404\r\n\r\nx")).code,
              0);
    // A reply without a status line has no head to classify.
    EXPECT_EQ(classifyReply(parseReplyHead("<html>404 not found</html>")).code, 0);
}

TEST(ReplyClassification, LocationComesOnlyFromTheLocationHeader) {
    ReplyClass c = classifyReply(parseReplyHead("HTTP/1.1 302 Found\r\n"
                                                "Content-Location: /wrong\r\n"
                                                "LOCATION:   http://other.test/x/y  \r\n"
                                                "\r\n"
                                                "Location: http://body.test/\r\n"));
    EXPECT_EQ(c.code, 302);
    ASSERT_TRUE(c.location.has_value());
    EXPECT_EQ(*c.location, "http://other.test/x/y");

    c = classifyReply(parseReplyHead("HTTP/1.1 301 Moved Permanently\r\n\r\nLocation: http://body.test/\r\n"));
    EXPECT_EQ(c.code, 301);
    EXPECT_FALSE(c.location.has_value());

    c = classifyReply(parseReplyHead("HTTP/1.1 200 OK\r\nLocation: http://a.test/\r\n\r\nx"));
    EXPECT_FALSE(c.location.has_value());
}

TEST(ReplyClassification, ReadsTheStoredFileWithEitherLineEnd) {
    ScratchDir dir;
    const std::string crlf = put("a.mon", "HTTP/1.0 302 Moved\r\nlocation: /next\r\n\r\n<html></html>\r\n");
    const std::string lf = put("b.mon", "HTTP/1.0 302 Moved\nlocation: /next\n\n<html></html>\n");
    for (const std::string& f : {crlf, lf}) {
        const ReplyClass c = classifyReplyFile(f.c_str());
        EXPECT_EQ(c.code, 302);
        ASSERT_TRUE(c.location.has_value());
        EXPECT_EQ(*c.location, "/next");
    }
    EXPECT_EQ(classifyReplyFile("missing").code, 0);
}

// ---- Not modified ----

TEST(NotModified, StatusCodeLocalCopyOrNoBody) {
    // Status 304 in any wording
    EXPECT_TRUE(isNotModified(parseReplyHead("HTTP/1.0 304 NOT MODIFIED\r\n\r\n<html>x</html>")));
    EXPECT_TRUE(isNotModified(parseReplyHead("HTTP/1.1 304 Nicht geaendert\r\n\r\n<html>x</html>")));
    // A proxy's line
    EXPECT_TRUE(isNotModified(parseReplyHead("HTTP/1.0 200 OK\r\nX-Cache: 304 USE LOCAL COPY\r\n\r\n<html>x")));
    // No body at all, or a head that never ends
    EXPECT_TRUE(isNotModified(parseReplyHead("HTTP/1.0 200 OK\r\nServer: t\r\n\r\n")));
    EXPECT_TRUE(isNotModified(parseReplyHead("HTTP/1.0 200 OK\r\nServer: t\r\n")));
    EXPECT_TRUE(isNotModified(parseReplyHead("")));

    // Pages are compared whatever their html tag looks like, or without one
    EXPECT_FALSE(isNotModified(parseReplyHead("HTTP/1.0 200 OK\r\n\r\n<html lang=\"en\"><p>x</p></html>")));
    EXPECT_FALSE(isNotModified(parseReplyHead("HTTP/1.0 200 OK\r\n\r\n<Html><p>x</p></Html>")));
    EXPECT_FALSE(isNotModified(parseReplyHead("HTTP/1.0 200 OK\r\n\r\nplain text")));
    // A page that mentions the phrase in its body is still a page
    EXPECT_FALSE(isNotModified(parseReplyHead("HTTP/1.0 200 OK\r\n\r\n<p>304 use local copy</p>")));
    EXPECT_FALSE(isNotModified(parseReplyHead("HTTP/1.0 200 OK\r\n\r\n<p>HTTP/1.0 304</p>")));
}

TEST(NotModified, FromFiles) {
    ScratchDir dir;
    EXPECT_TRUE(isNotModifiedFile("missing"));
    EXPECT_TRUE(isNotModifiedFile(put("a", "HTTP/1.0 304 Not Modified\r\n\r\n").c_str()));
    // The head ends exactly at a block boundary of the reader
    std::string big = "HTTP/1.0 200 OK\r\nX-Pad: ";
    big += std::string(16384 - big.size() - 4, 'p');
    big += "\r\n\r\n";
    ASSERT_EQ(big.size(), 16384u);
    EXPECT_TRUE(isNotModifiedFile(put("b", big).c_str()));
    EXPECT_FALSE(isNotModifiedFile(put("c", big + "<html>").c_str()));
    EXPECT_FALSE(isNotModifiedFile(put("d", big + std::string(100000, 'x')).c_str()));
}

// ---- Change method and header times ----

TEST(ChangeMethod, FirstDateHeaderDecides) {
    EXPECT_EQ(detectChangeMethod(parseReplyHead("HTTP/1.0 200 OK\r\nExpires: Sun, 06 Nov 1994 08:49:37 GMT\r\n"
                                                "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\nx")),
              2);
    EXPECT_EQ(detectChangeMethod(parseReplyHead("HTTP/1.0 200 OK\r\nlast-modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n"
                                                "Expires: Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\nx")),
              1);
    EXPECT_EQ(detectChangeMethod(parseReplyHead("HTTP/1.0 200 OK\r\nServer: t\r\n\r\nExpires: soon\r\n")), 0);
    EXPECT_EQ(detectChangeMethod(parseReplyHead("HTTP/1.0 200 OK\r\nX-Expires: x\r\n\r\n")), 0);
    EXPECT_EQ(detectChangeMethod(parseReplyHead("")), -1);
    ScratchDir dir;
    EXPECT_EQ(detectChangeMethodFile("missing"), -1);
    EXPECT_EQ(detectChangeMethodFile(put("a", "HTTP/1.0 200 OK\nExpires: 0\n\nx").c_str()), 2);
}

TEST(HeaderTimes, LastModifiedAndExpiresAreReadAsLocalFields) {
    useUtc();
    const ReplyHead head = parseReplyHead("HTTP/1.0 200 OK\r\n"
                                          "Expires: Sunday, 06-Nov-05 08:49:37 GMT\r\n"
                                          "Last-Modified:Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\nx");
    EXPECT_EQ(lastModifiedTime(head), 784111777);
    EXPECT_EQ(expiresTime(head), 1131266977);

    ScratchDir dir;
    const std::string f = put("a", "HTTP/1.0 200 OK\nLast-Modified: Sun Nov  6 08:49:37 1994\n\nx");
    EXPECT_EQ(lastModifiedTimeFile(f.c_str()), 784111777);
    EXPECT_EQ(expiresTimeFile(f.c_str()), 0);
    // "Already expired" markers are no time
    EXPECT_EQ(expiresTime(parseReplyHead("HTTP/1.0 200 OK\r\nExpires: 0\r\n\r\nx")), 0);
    EXPECT_EQ(expiresTime(parseReplyHead("HTTP/1.0 200 OK\r\nExpires: -1\r\n\r\nx")), 0);
    EXPECT_EQ(lastModifiedTimeFile("missing"), 0);
}

// ---- Redirect targets ----

TEST(Redirect, AbsoluteRelativeAndRefusedTargets) {
    const WebLocation here{"old.test", 8080, "/dir/page.html"};
    auto expectAt = [&](const char* target, const char* host, uint16_t port, const char* path) {
        const std::optional<WebLocation> to = resolveRedirect(target, here);
        ASSERT_TRUE(to.has_value()) << target;
        EXPECT_EQ(to->host, host) << target;
        EXPECT_EQ(to->port, port) << target;
        EXPECT_EQ(to->path, path) << target;
    };
    expectAt("http://new.test/x/y", "new.test", 80, "/x/y");
    expectAt("HTTP://New.Test:8081/x?a=b:c", "New.Test", 8081, "/x?a=b:c");
    expectAt("http://new.test", "new.test", 80, "/");
    expectAt("http://new.test:81?q", "new.test", 81, "/?q");
    expectAt("http://u:p@new.test/z\r\n", "new.test", 80, "/z");
    expectAt("//cdn.test/a", "cdn.test", 80, "/a");
    expectAt("/moved/here", "old.test", 8080, "/moved/here");
    expectAt("next.html", "old.test", 8080, "/dir/next.html");
    expectAt("?page=2", "old.test", 8080, "/dir/page.html?page=2");

    EXPECT_FALSE(resolveRedirect("https://new.test/", here).has_value());
    EXPECT_FALSE(resolveRedirect("ftp://new.test/", here).has_value());
    EXPECT_FALSE(resolveRedirect("http://new.test:99999/", here).has_value());
    EXPECT_FALSE(resolveRedirect("http://new.test:8x/", here).has_value());
    EXPECT_FALSE(resolveRedirect("http:///path", here).has_value());
    EXPECT_FALSE(resolveRedirect("  ", here).has_value());
    for (const char* badHost : {"http://evil host/x", "//a%20b/", "http://u@/x", "http://a..b/", "http://<a>/"})
        EXPECT_FALSE(resolveRedirect(badHost, here).has_value()) << badHost;
    expectAt("http://[::1]:8081/", "[::1]", 8081, "/");
}
