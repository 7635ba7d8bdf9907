#include <gtest/gtest.h>

#include <string_view>

#include "platform/ascii_text.h"

using namespace std::string_view_literals;

// Trimming takes spaces, tabs and line ends, never a form feed; case folds for ASCII
// letters alone, and every other byte, a NUL too, matches only itself.
TEST(AsciiText, TrimmingAndCaseOfProtocolWords) {
    EXPECT_EQ(trimmed(" \t\r\nLast-Modified : x \r\n"), "Last-Modified : x");
    EXPECT_EQ(trimmed("\fx\v"), "\fx\v");
    EXPECT_TRUE(equalsNoCase("Last-Modified", "LAST-modified"));
    EXPECT_FALSE(equalsNoCase("\xC4", "\xE4"));
    EXPECT_FALSE(equalsNoCase("a\0b"sv, "a\0c"sv));  // no C-string compare stopping at the NUL
    EXPECT_FALSE(startsWithNoCase("ht", "http"));
    EXPECT_EQ(asciiLower('['), '[');
}
