#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "support/scratch_dir.h"

namespace {

const std::string kScript = std::string(TERVANE_SOURCE_DIR) + "/scripts/install-deps.sh";

void tool(const std::string& name, const std::string& body) {
    std::filesystem::create_directories("bin");
    ScratchDir::write("bin/" + name, "#!/bin/sh\n" + body);
    chmod(("bin/" + name).c_str(), 0755);
}

// The script with the fake tools of bin/ first on PATH; its output in out.txt.
int runScript(const std::string& args) {
    const std::string line = "PATH=\"$PWD/bin:/usr/bin:/bin\" TERVANE_POLICY_RC_D=\"$PWD/policy-rc.d\" bash " + kScript +
                             " " + args + " >out.txt 2>&1";
    return std::system(line.c_str());
}

bool listed(const std::string& list, const std::string& package) {
    return ("\n" + list).find("\n" + package + "\n") != std::string::npos;
}

}  // namespace

TEST(InstallDeps, RunSetHasNoTestServersAndTestInstallsNeverStartThem) {
    ScratchDir dir;
    ASSERT_EQ(runScript("--list run"), 0);
    const std::string run = ScratchDir::read("out.txt");
    ASSERT_EQ(runScript("--list test"), 0);
    const std::string test = ScratchDir::read("out.txt");
    for (const char* p : {"g++", "cmake", "ninja-build", "qt6-base-dev", "xdg-utils"}) {
        EXPECT_TRUE(listed(run, p)) << p;
        EXPECT_TRUE(listed(test, p)) << p;
    }
    for (const char* p : {"nginx-light", "lighttpd", "tinyproxy", "gophernicus", "vsftpd", "socat",
                          "python3-pyftpdlib", "libgtest-dev", "libbenchmark-dev"}) {
        EXPECT_FALSE(listed(run, p)) << p;
        EXPECT_TRUE(listed(test, p)) << p;
    }

    // Nothing installed yet; apt-get notes whether services may start meanwhile.
    tool("dpkg-query", "exit 1\n");
    tool("apt-get", "echo \"apt-get $* policy:$(cat \"$TERVANE_POLICY_RC_D\" 2>/dev/null | tail -1)\" >>log\n");
    tool("sudo", "echo \"sudo $1\" >>log\nexec \"$@\"\n");
    for (const char* uid : {"1000", "0"}) {
        SCOPED_TRACE(uid);
        tool("id", std::string("echo ") + uid + "\n");
        ScratchDir::write("log", "");
        ASSERT_EQ(runScript("test"), 0) << ScratchDir::read("out.txt");
        std::istringstream log(ScratchDir::read("log"));
        std::string installLine;
        for (std::string l; std::getline(log, l);)
            if (l.rfind("apt-get install", 0) == 0) installLine = l;
        EXPECT_NE(installLine.find(" nginx-light "), std::string::npos) << installLine;
        EXPECT_NE(installLine.find("policy:exit 101"), std::string::npos) << installLine;
        // Every step as root: through sudo for a normal user, directly for root.
        const bool viaSudo = ScratchDir::read("log").find("sudo ") != std::string::npos;
        EXPECT_EQ(viaSudo, std::string(uid) != "0");
        EXPECT_FALSE(std::filesystem::exists("policy-rc.d"));  // removed afterwards
    }
}
