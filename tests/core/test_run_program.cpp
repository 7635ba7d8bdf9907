#include <gtest/gtest.h>

#include "core/os_wrappers.h"
#include "platform/process.h"
#include "support/argv_recording.h"

// The notification program as the user's command line names it: no shell between.
using RunProgram = Recorder;

TEST_F(RunProgram, ArgumentsArriveWholeWithoutAShell) {
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

TEST_F(RunProgram, MissingProgramIsNoStart) {
    const std::string trace = dir + "/trace";
    setenv("TERVANE_TRACE", trace.c_str(), 1);
    EXPECT_FALSE(runProgram("/nonexistent/netscape.exe %URL"));
    EXPECT_FALSE(runProgram(""));
    EXPECT_FALSE(runProgram(nullptr));
    EXPECT_EQ(startProcess({}), -1);
    EXPECT_EQ(readAll(trace).rfind("run program failed: /nonexistent/netscape.exe %URL\n", 0), 0u);
}
