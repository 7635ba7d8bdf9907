#include <gtest/gtest.h>

#include <string_view>

#include "platform/ascii_text.h"

using namespace std::string_view_literals;

// The blank sets differ on purpose: words on a line are split at spaces and tabs,
// trimming also takes line ends, and neither takes a form feed or vertical tab.
TEST(AsciiText, BlankSetsAndTrimming) {
    EXPECT_TRUE(isSpaceOrTab('\t'));
    EXPECT_FALSE(isSpaceOrTab('\r'));
    EXPECT_TRUE(isSpaceTabOrLineEnd('\n'));
    EXPECT_FALSE(isSpaceTabOrLineEnd('\f'));
    EXPECT_EQ(trimmed(" \t\r\nLast-Modified : x \r\n"), "Last-Modified : x");
    EXPECT_EQ(trimmed("\fx\v"), "\fx\v");
    EXPECT_EQ(trimmed(" \r\n\t"), "");
}

// Only ASCII letters fold; every other byte, a NUL too, matches only itself.
TEST(AsciiText, CaseIgnoredForAsciiLettersOnly) {
    EXPECT_TRUE(equalsNoCase("Last-Modified", "LAST-modified"));
    EXPECT_FALSE(equalsNoCase("Expires", "Expire"));
    EXPECT_FALSE(equalsNoCase("\xC4", "\xE4"));
    EXPECT_FALSE(equalsNoCase("a\0b"sv, "a\0c"sv));  // no C-string compare stopping at the NUL
    EXPECT_TRUE(startsWithNoCase("HTTP/1.0 200 OK", "http/"));
    EXPECT_TRUE(startsWithNoCase("/HPROXY:host:8080", "/hproxy:"));
    EXPECT_FALSE(startsWithNoCase("ht", "http"));
    EXPECT_TRUE(startsWithNoCase("", ""));
    EXPECT_EQ(asciiLower('Q'), 'q');
    EXPECT_EQ(asciiLower('@'), '@');
    EXPECT_EQ(asciiLower('['), '[');
}
