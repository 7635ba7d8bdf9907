#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/os_wrappers.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "support/server_process.h"

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

TEST(BlankSeparators, BarsAndLineEndsBecomeBlanks) {
    char text[] = "a|b\r\nc";
    blankSeparators(text);
    EXPECT_STREQ(text, "a b  c");
    std::string s = "\n|x\r";
    blankSeparators(s);
    EXPECT_EQ(s, "  x ");
    blankSeparators(static_cast<char*>(nullptr));
}
