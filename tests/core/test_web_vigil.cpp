#include <gtest/gtest.h>

#include "core/text_utils.h"
#include "core/web_vigil.h"
#include "support/scratch_dir.h"

namespace {

std::unique_ptr<WebVigil> webVigil(const char* host, uint16_t port, const char* path,
                                   std::optional<std::string> credentials = std::nullopt) {
    VigilParams p;
    p.host = host;
    p.port = port;
    p.cacheFileName = "cache\\00000001.mon";
    return std::make_unique<WebVigil>(p, SimpleString(path), ChangeMethod::Detect, 0, 0,
                                      std::vector<std::string>{"a", "b"}, credentials);
}

// Stores a reply as the cache file of that name and classifies it.
int classify(WebVigil& v, const std::string& reply) {
    ScratchDir::write("cache/00000009.mon", reply);
    return v.responseCode("cache\\00000009.mon");
}

}  // namespace

TEST(WebVigil, CredentialsUrlAndRequestText) {
    auto v = webVigil("www.example.test", 80, "a", std::string("user:pa:ss"));
    EXPECT_STREQ(v->user().text(), "user");
    EXPECT_STREQ(v->password().text(), "pa:ss");
    EXPECT_EQ(v->basicCredentials(), "dXNlcjpwYTpzcw==");
    EXPECT_EQ(v->url(), "http://www.example.test/a");
    EXPECT_EQ(v->ignoreTokens().size(), 2u);

    auto alone = webVigil("h", 8080, "/x#top", std::string("solo"));
    EXPECT_STREQ(alone->user().text(), "solo");
    EXPECT_STREQ(alone->password().text(), "");
    EXPECT_EQ(alone->basicCredentials(), base64Encode("solo:"));  // as it reads back after a save
    EXPECT_FALSE(webVigil("h", 80, "/", std::string(":"))->basicCredentials());
    EXPECT_EQ(alone->url(), "http://h:8080/x#top");
    EXPECT_EQ(alone->requestText(), "/x#top HTTP/1.0\r\nUser-Agent: Tervane/2.24\r\nHost: h\r\n");
    alone->setCredentials(SimpleString(""));
    EXPECT_FALSE(alone->basicCredentials());
    EXPECT_FALSE(webVigil("h", 80, "/")->basicCredentials());

    alone->setHost(std::string("other.test"));
    alone->setPath(std::string("/y"));
    EXPECT_EQ(alone->requestText(), "/y HTTP/1.0\r\nUser-Agent: Tervane/2.24\r\nHost: other.test\r\n");
}

TEST(WebVigil, RedirectAdoptionTakesWhatTheReplyAnalysisAccepts) {
    ScratchDir dir;
    std::filesystem::create_directory("cache");
    auto v = webVigil("old.test", 8080, "/dir/page");

    EXPECT_EQ(classify(*v, "HTTP/1.1 302 Found\r\nLocation: http://new.test:8081/x/y\r\n\r\n"), 302);
    v->applyRedirect();
    EXPECT_EQ(v->host(), "new.test");
    EXPECT_EQ(v->port(), 8081);
    EXPECT_STREQ(v->path().text(), "/x/y");
    EXPECT_EQ(v->requestText(), "/x/y HTTP/1.0\r\nUser-Agent: Tervane/2.24\r\nHost: new.test\r\n");

    // Without a port the port is 80; without a path the path is "/".
    classify(*v, "HTTP/1.0 301 Moved Permanently\r\nlocation: http://third.test\r\n\r\n");
    v->applyRedirect();
    EXPECT_EQ(v->url(), "http://third.test/");

    // A target starting with '/' changes the path only.
    classify(*v, "HTTP/1.0 302 Moved Temporarily\r\nLocation: /moved/here\r\n\r\n");
    v->applyRedirect();
    EXPECT_EQ(v->url(), "http://third.test/moved/here");

    // Other schemes are left alone.
    classify(*v, "HTTP/1.1 301 Moved Permanently\r\nLocation: https://secure.test/\r\n\r\n");
    v->applyRedirect();
    EXPECT_EQ(v->url(), "http://third.test/moved/here");

    // A later reply without a redirect clears a target not yet adopted.
    classify(*v, "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\n\r\n");
    EXPECT_EQ(classify(*v, "HTTP/1.1 200 OK\r\n\r\n<html></html>"), 200);
    v->applyRedirect();
    EXPECT_EQ(v->url(), "http://third.test/moved/here");
}
