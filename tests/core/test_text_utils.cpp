#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "core/text_utils.h"

using Fields = std::vector<std::string>;

TEST(SplitString, EmptyFieldsKeepTheirPlaceOrCollapse) {
    EXPECT_EQ(splitString("a||b", '|', false), (Fields{"a", "", "b"}));
    EXPECT_EQ(splitString("a||b", '|', true), (Fields{"a", "b"}));
    for (bool skip : {false, true}) {
        EXPECT_EQ(splitString("|a", '|', skip), (Fields{"", "a"})) << skip;
        EXPECT_EQ(splitString("a|", '|', skip), (Fields{"a", ""})) << skip;
        EXPECT_EQ(splitString("a|b\nc", '|', skip), (Fields{"a", "b"})) << skip;
        EXPECT_EQ(splitString("", '|', skip), (Fields{""})) << skip;
    }
}

TEST(SplitString, AsctimeWordsWithPaddedDay) {
    EXPECT_EQ(splitString("Sun Nov  6 08:49:37 1994\n", ' ', true),
              (Fields{"Sun", "Nov", "6", "08:49:37", "1994"}));
}

TEST(FindNoCase, MatchesAcrossCaseAndReportsOffset) {
    const char* text = "Content-Type: TEXT/html";
    EXPECT_EQ(findNoCase(text, "text/HTML"), text + 14);
    EXPECT_EQ(findNoCase(text, "xml"), nullptr);
    EXPECT_EQ(findNoCase(text, ""), text);
    EXPECT_EQ(findNoCase(std::string_view("abcABC"), "CA"), 2u);
    EXPECT_EQ(findNoCase(std::string_view("ab"), "abc"), std::string_view::npos);
}

TEST(Base64Encode, PaddingForEveryRemainder) {
    EXPECT_EQ(base64Encode(""), "");
    EXPECT_EQ(base64Encode("f"), "Zg==");
    EXPECT_EQ(base64Encode("fo"), "Zm8=");
    EXPECT_EQ(base64Encode("foo"), "Zm9v");
    EXPECT_EQ(base64Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(base64Encode("fooba"), "Zm9vYmE=");
    const unsigned char high[] = {0xff, 0xfe, 0x00};
    EXPECT_EQ(base64Encode(high, 3), "//4A");
}

// Only well-formed text reads as UTF-8: the rest is shown as the 8-bit text it is.
TEST(IsUtf8, WellFormedOnly) {
    EXPECT_TRUE(isUtf8("plain \xC3\xA4 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    for (const char* bad : {"\xE4", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
        EXPECT_FALSE(isUtf8(bad)) << bad;
}

TEST(LeadingNumber, ReadsBlanksSignAndDigitsAndHoldsAtTheLimits) {
    EXPECT_EQ(leadingNumber(" \t+42 min"), 42);
    EXPECT_EQ(leadingNumber("-7x"), -7);
    EXPECT_EQ(leadingNumber("99999999999999999999"), std::numeric_limits<long long>::max());
    EXPECT_EQ(leadingNumber("-9223372036854775808"), std::numeric_limits<long long>::min());
    EXPECT_EQ(leadingNumber("-99999999999999999999"), std::numeric_limits<long long>::min());
    for (const char* none : {"", " ", "-", "+ 5", "min 5"}) EXPECT_FALSE(leadingNumber(none)) << none;
}
