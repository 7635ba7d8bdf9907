#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/files.h"
#include "support/server_process.h"

namespace {

class FileHelpers : public ::testing::Test {
protected:
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
