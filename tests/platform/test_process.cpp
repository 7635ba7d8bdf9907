#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/process.h"
#include "support/argv_recording.h"


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

using StartProcess = Recorder;

TEST_F(StartProcess, ChildGetsNoDescriptorOfOursAndIsReaped) {
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
