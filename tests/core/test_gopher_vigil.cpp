#include <gtest/gtest.h>

#include "core/gopher_vigil.h"
#include "support/scratch_dir.h"

namespace {

VigilParams params() {
    VigilParams p;
    p.host = "gopher.example.test";
    p.port = 70;
    p.cacheFileName = "cache\\00000001.mon";
    return p;
}

}  // namespace

TEST(GopherVigil, RequestTextUrlAndSelector) {
    GopherVigil none(params(), std::nullopt);
    EXPECT_EQ(none.selector(), " ");
    EXPECT_EQ(none.requestText(), "\r\n\n");
    EXPECT_EQ(none.url(), "gopher://gopher.example.test:70/1 ");

    // The stored form of "no selector" is a blank; the server never sees it.
    GopherVigil blank(params(), std::string(" "));
    EXPECT_EQ(blank.selector(), " ");
    EXPECT_EQ(blank.requestText(), "\r\n\n");

    GopherVigil v(params(), std::string("/news"));
    v.setSelector(std::nullopt);
    EXPECT_EQ(v.selector(), "/news");
    v.setSelector(std::string("/other"));
    EXPECT_EQ(v.requestText(), "/other\r\n");
    EXPECT_EQ(v.url(), "gopher://gopher.example.test:70/1/other");
    v.setSelector(std::string("  "));
    EXPECT_EQ(v.requestText(), "\r\n");
}

TEST(GopherVigil, FilesDifferLineByLine) {
    ScratchDir dir;
    const std::string longLine(2000, 'x');
    ScratchDir::write("a", "one\ntwo\n" + longLine + "a\n");
    ScratchDir::write("same", "one\r\ntwo\r\n" + longLine + "a\r\n");  // written on Windows
    ScratchDir::write("tail", "one\ntwo\n" + longLine + "b\n");       // differs past 2000 characters
    ScratchDir::write("more", "one\ntwo\n" + longLine + "a\nthree\n");
    ScratchDir::write("less", "one\ntwo\n");
    ScratchDir::write("empty", "");

    EXPECT_EQ(filesDiffer("a", "same"), 0);
    EXPECT_NE(filesDiffer("a", "tail"), 0);
    // Lines added or removed at the end are a change too.
    EXPECT_NE(filesDiffer("a", "more"), 0);
    EXPECT_NE(filesDiffer("more", "a"), 0);
    EXPECT_NE(filesDiffer("a", "less"), 0);
    EXPECT_NE(filesDiffer("empty", "less"), 0);
    EXPECT_EQ(filesDiffer("empty", "empty"), 0);
    // A copy that cannot be opened counts as unchanged.
    EXPECT_EQ(filesDiffer("a", "missing"), 0);
    // Stored names use a backslash.
    std::filesystem::create_directory("cache");
    ScratchDir::write("cache/00000003.mon", "one\ntwo\n");
    EXPECT_EQ(filesDiffer("cache\\00000003.mon", "less"), 0);
    EXPECT_NE(filesDiffer("cache\\00000003.mon", "a"), 0);
}
