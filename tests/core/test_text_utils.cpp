#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <limits>
#include <thread>
#include <vector>

#include "core/os_wrappers.h"
#include "core/text_utils.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "support/server_process.h"

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

TEST(BlankSeparators, BarsAndLineEndsBecomeBlanks) {
    char text[] = "a|b\r\nc";
    blankSeparators(text);
    EXPECT_STREQ(text, "a b  c");
    std::string s = "\n|x\r";
    blankSeparators(s);
    EXPECT_EQ(s, "  x ");
    blankSeparators(static_cast<char*>(nullptr));
}

// The trace of outward actions: whole lines from any thread, tones and boxes told.
TEST(OsWrappers, TraceWritesWholeLinesOnlyWhenAsked) {
    TempDir scratch{"tervane-trace"};
    const std::string trace = scratch.path() + "/trace.txt";
    auto linesOf = [](const std::string& path) {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    };
    traceLine("nobody sees this");
    EXPECT_FALSE(fileExists(trace));

    setenv("TERVANE_TRACE", trace.c_str(), 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) traceLine("thread " + std::to_string(t) + std::string(300, 'y'));
        });
    }
    for (auto& th : threads) th.join();
    playTone(50, 50);
    showMessageBox("Tervane", "two\nlines");
    const std::vector<std::string> lines = linesOf(trace);
    ASSERT_EQ(lines.size(), 802u);
    for (size_t i = 0; i < 800; ++i) ASSERT_EQ(lines[i].size(), 308u) << lines[i];
    EXPECT_EQ(lines[800], "tone: 50 Hz 50 ms");
    EXPECT_EQ(lines[801], "message box: Tervane: two\\nlines");
    unsetenv("TERVANE_TRACE");
}

TEST(LeadingNumber, ReadsBlanksSignAndDigitsAndHoldsAtTheLimits) {
    EXPECT_EQ(leadingNumber(" \t+42 min"), 42);
    EXPECT_EQ(leadingNumber("-7x"), -7);
    EXPECT_EQ(leadingNumber("99999999999999999999"), std::numeric_limits<long long>::max());
    EXPECT_EQ(leadingNumber("-9223372036854775808"), std::numeric_limits<long long>::min());
    EXPECT_EQ(leadingNumber("-99999999999999999999"), std::numeric_limits<long long>::min());
    for (const char* none : {"", " ", "-", "+ 5", "min 5"}) EXPECT_FALSE(leadingNumber(none)) << none;
}
