#include <gtest/gtest.h>

#include "core/ftp_vigil.h"
#include "core/gopher_vigil.h"
#include "core/web_vigil.h"

namespace {

VigilParams params(const char* host, uint16_t port) {
    VigilParams p;
    p.host = host;
    p.port = port;
    p.description = "Daily menu";
    p.cacheFileName = "cache\\00000001.mon";
    return p;
}

}  // namespace

TEST(Placeholders, EachKindFillsItsOwnWholeWordsInAnyCase) {
    const WebVigil web(params("www.example.test", 8080), SimpleString("/a"), ChangeMethod::Detect, 0, 0, {},
                       std::nullopt);
    EXPECT_EQ(web.placeholderValue("%url"), "http://www.example.test:8080/a");
    EXPECT_EQ(web.placeholderValue("%DESC"), "Daily menu");
    // Another kind's placeholder and glued text are no placeholders.
    EXPECT_FALSE(web.placeholderValue("%host"));
    EXPECT_FALSE(web.placeholderValue("%URL/"));

    const GopherVigil gopher(params("gopher.example.test", 7070), std::string("/menu"));
    EXPECT_EQ(gopher.placeholderValue("%HOST"), "gopher.example.test");
    EXPECT_EQ(gopher.placeholderValue("%Port"), "7070");
    EXPECT_EQ(gopher.placeholderValue("%selector"), "/menu");
    EXPECT_EQ(gopher.placeholderValue("%URL"), "gopher://gopher.example.test:7070/1/menu");
    EXPECT_FALSE(gopher.placeholderValue("%dir"));

    const FtpVigil ftp(params("ftp.example.test", 2121), "anna", "se cret", std::nullopt, std::nullopt, {});
    EXPECT_EQ(ftp.placeholderValue("%port"), "2121");
    EXPECT_EQ(ftp.placeholderValue("%user"), "anna");
    EXPECT_EQ(ftp.placeholderValue("%PASSWORD"), "se cret");
    EXPECT_EQ(ftp.placeholderValue("%dir"), "");  // no directory: filled with nothing
    EXPECT_EQ(ftp.placeholderValue("%desc"), "Daily menu");
    EXPECT_FALSE(ftp.placeholderValue("%selector"));
}
