#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "support/server_process.h"

// Programs started for the tests: the argv_recorder helper writes the arguments
// it got (and its open descriptors) to the file named by ARGV_RECORD.

using Words = std::vector<std::string>;

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool waitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The state letter of /proc/PID/stat, or 0 when the process is gone.
inline char processState(pid_t pid) {
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

