#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "core/text_utils.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "support/server_process.h"

namespace {

class FileHelpers : public ::testing::Test {
protected:
    void TearDown() override { unsetenv("TERVANE_TRACE"); }
    static std::vector<std::string> linesOf(const std::string& path) {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    TempDir scratch{"tervane-files"};
    std::string dir = scratch.path();
};

}  // namespace

TEST_F(FileHelpers, BackslashPathsOpenCreateAndRemove) {
    ASSERT_TRUE(createDirectory(dir + "\\cache"));
    EXPECT_TRUE(createDirectory(dir + "/cache")) << "an existing folder is fine";
    FILE* f = openFile(dir + "\\cache\\00000001.mon", "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_TRUE(fileExists(dir + "/cache/00000001.mon"));
    EXPECT_TRUE(removeFile(dir + "\\cache\\00000001.mon"));
    EXPECT_FALSE(fileExists(dir + "\\cache\\00000001.mon"));
    EXPECT_FALSE(createDirectory(dir + "/missing/deeper"));
}

TEST_F(FileHelpers, LineReaderTakesLongCrLfLinesWhole) {
    const std::string longLine(70000, 'x');
    const std::string path = dir + "/vigil.dat";
    {
        std::ofstream out(path, std::ios::binary);
        out << "2\r\n" << longLine << "\r\n\r\nlast\r";
    }
    const std::vector<std::string> expected{"2", longLine, "", "last"};

    FILE* f = openFile(path, "r");
    ASSERT_NE(f, nullptr);
    std::vector<std::string> got;
    for (std::string line; readLine(f, line);) got.push_back(line);
    std::fclose(f);
    EXPECT_EQ(got, expected);

    std::ifstream in(path, std::ios::binary);
    got.clear();
    for (std::string line; readLine(in, line);) got.push_back(line);
    EXPECT_EQ(got, expected);

    std::istringstream unix("a\nb");
    std::string line;
    ASSERT_TRUE(readLine(unix, line));
    EXPECT_EQ(line, "a");
    ASSERT_TRUE(readLine(unix, line));
    EXPECT_EQ(line, "b");
    EXPECT_FALSE(readLine(unix, line));
}

TEST_F(FileHelpers, TraceWritesWholeLinesOnlyWhenAsked) {
    const std::string trace = dir + "/trace.txt";
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
}
