#include <fcntl.h>
#include <gtest/gtest.h>

#include "support/server_process.h"
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/text_utils.h"
#include "platform/files.h"
#include "platform/process.h"

namespace {

using Words = std::vector<std::string>;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool waitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The state letter of /proc/PID/stat, or 0 when the process is gone.
char processState(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(in, text)) return 0;
    const size_t paren = text.rfind(')');
    return paren == std::string::npos || paren + 2 >= text.size() ? 0 : text[paren + 2];
}

class Recorder : public ::testing::Test {
protected:
    void SetUp() override {
        record = dir + "/argv";
        setenv("ARGV_RECORD", record.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("ARGV_RECORD");
        unsetenv("TERVANE_TRACE");
    }
    Words recordedArgs() {
        EXPECT_TRUE(waitFor([&] { return fileExists(record); }));
        Words words;
        std::string all = readAll(record);
        for (size_t start = 0; start < all.size();) {
            const size_t end = all.find('\0', start);
            words.push_back(all.substr(start, end - start));
            start = end + 1;
        }
        return words;
    }
    TempDir scratch{"tervane-proc"};
    std::string dir = scratch.path();
    std::string record;
};

}  // namespace

TEST(SplitCommandLine, WindowsRules) {
    EXPECT_EQ(splitCommandLine("  prog   a\tb  "), (Words{"prog", "a", "b"}));
    EXPECT_EQ(splitCommandLine("\"C:\\Program Files\\x.exe\" \"a b\" c"),
              (Words{"C:\\Program Files\\x.exe", "a b", "c"}));
    EXPECT_EQ(splitCommandLine(R"(p a\"b "c\"d" e\\"f g" h\\\\i j\\)"),
              (Words{"p", "a\"b", "c\"d", "e\\f g", "h\\\\\\\\i", "j\\\\"}));
    EXPECT_EQ(splitCommandLine(R"(p "" "say ""hi""" x"y z"w)"), (Words{"p", "", "say \"hi\"", "xy zw"}));
    EXPECT_EQ(splitCommandLine("   "), Words{});
}

TEST(SplitCommandLine, QuoteArgumentRoundTrips) {
    const Words words{"p", "", "plain", "a b", "say \"hi\"", "back\\slash", "end\\", "q\\\"", "\t"};
    std::string line;
    for (const std::string& w : words) line += quoteArgument(w) + " ";
    EXPECT_EQ(splitCommandLine(line), words);
}

TEST_F(Recorder, ArgumentsArriveWholeWithoutAShell) {
    const std::string trace = dir + "/trace";
    setenv("TERVANE_TRACE", trace.c_str(), 1);
    const std::string line = std::string(TERVANE_ARGV_RECORDER) +
                             R"( "Page title: a b" "say \"hi\"" $HOME;touch${IFS}x `id` 'q')";
    ASSERT_TRUE(runProgram(line.c_str()));
    EXPECT_EQ(recordedArgs(),
              (Words{TERVANE_ARGV_RECORDER, "Page title: a b", "say \"hi\"", "$HOME;touch${IFS}x", "`id`", "'q'"}));
    EXPECT_EQ(readAll(trace), "run program: " + std::string(TERVANE_ARGV_RECORDER) +
                                  R"( "Page title: a b" "say \"hi\"" $HOME;touch${IFS}x `id` 'q')" + "\n");
}

TEST_F(Recorder, ChildGetsNoDescriptorOfOursAndIsReaped) {
    // A descriptor opened the careless way, without close-on-exec.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 3);
    const pid_t pid = startProcess({TERVANE_ARGV_RECORDER, "x"});
    ASSERT_GT(pid, 0);
    recordedArgs();
    EXPECT_TRUE(waitFor([&] { return fileExists(record + ".fds"); }));
    EXPECT_EQ(readAll(record + ".fds"), "");
    EXPECT_TRUE(waitFor([&] { return processState(pid) == 0; }))
        << "child left in state " << processState(pid);
    ::close(leaky);
}

TEST_F(Recorder, MissingProgramIsNoStart) {
    const std::string trace = dir + "/trace";
    setenv("TERVANE_TRACE", trace.c_str(), 1);
    EXPECT_FALSE(runProgram("/nonexistent/netscape.exe %URL"));
    EXPECT_FALSE(runProgram(""));
    EXPECT_FALSE(runProgram(nullptr));
    EXPECT_EQ(startProcess({}), -1);
    EXPECT_EQ(readAll(trace).rfind("run program failed: /nonexistent/netscape.exe %URL\n", 0), 0u);
}
