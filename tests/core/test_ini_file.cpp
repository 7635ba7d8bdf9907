#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "core/ini_file.h"
#include "support/scratch_dir.h"

TEST(IniFile, ReadsCrlfValuesAsWrittenAndIntegersStrictly) {
    ScratchDir dir;
    ScratchDir::write("p.ini",
                      "[Other]\r\nmax conn=9\r\n[vigil]\r\nmax conn=3\r\nweb params= -a=b %URL \r\n"
                      "time out=12ms\r\nsmtp port=\r\n  def notify =  17 \r\n");
    IniFile ini;
    ASSERT_TRUE(ini.load("p.ini"));
    EXPECT_TRUE(ini.hasSection("Vigil"));
    EXPECT_EQ(ini.integer("Vigil", "max conn"), 3);
    EXPECT_EQ(ini.integer("Vigil", "MAX CONN"), 3);
    EXPECT_EQ(ini.text("Vigil", "web params"), "-a=b %URL");
    EXPECT_TRUE(ini.contains("Vigil", "time out"));
    EXPECT_FALSE(ini.integer("Vigil", "time out"));
    EXPECT_EQ(ini.text("Vigil", "smtp port"), "");
    EXPECT_FALSE(ini.integer("Vigil", "smtp port"));
    EXPECT_EQ(ini.integer("Vigil", "def notify"), 17);
    EXPECT_FALSE(ini.contains("Vigil", "missing"));
}

TEST(IniFile, SaveKeepsWhatItWasNotAskedAbout) {
    ScratchDir dir;
    ScratchDir::write("p.ini",
                      "; written by hand\n[Vigil]\nmax conn=3\nfuture key=x=y\n\n[Other]\nkeep=1\n");
    IniFile ini;
    ASSERT_TRUE(ini.load("p.ini"));
    ini.setInteger("Vigil", "max conn", 4);
    ini.setText("Vigil", "smtp host", "mail\r\nmax conn=99");  // no key injected by a line break
    ini.setText("New", "a", "b");
    ASSERT_TRUE(ini.save("p.ini"));
    EXPECT_EQ(ScratchDir::read("p.ini"),
              "; written by hand\n[Vigil]\nmax conn=4\nfuture key=x=y\nsmtp host=mail  max conn=99\n\n"
              "[Other]\nkeep=1\n[New]\na=b\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);  // no temporary left

    // Values with blanks at the ends come back whole; quotes written by hand stay.
    for (const std::string v : {" secret ", "\tpw", "\" x \"", "\"\" y\"\"", "\"/opt/my browser\"", " "}) {
        ini.setText("Vigil", "http proxy pass", v);
        ASSERT_TRUE(ini.save("p.ini") && ini.load("p.ini"));
        EXPECT_EQ(ini.text("Vigil", "http proxy pass"), v);
    }
    ScratchDir::write("p.ini", "[Vigil]\nweb client = \"/opt/my browser\" \n");
    ASSERT_TRUE(ini.load("p.ini"));
    EXPECT_EQ(ini.text("Vigil", "web client"), "\"/opt/my browser\"");
}

TEST(IniFile, FindsTheProfileWithoutRegardToCase) {
    ScratchDir dir;
    EXPECT_EQ(IniFile::resolveName("VGW.INI"), "VGW.INI");
    ScratchDir::write("vgw.ini", "[Vigil]\n");
    EXPECT_EQ(IniFile::resolveName("VGW.INI"), "vgw.ini");
    std::filesystem::create_directory("sub");
    ScratchDir::write("sub/Vgw.Ini", "[Vigil]\n");
    EXPECT_EQ(IniFile::resolveName("sub/VGW.INI"), "sub/Vgw.Ini");
}

TEST(IniFile, FailedSaveLeavesTheOldProfile) {
    ScratchDir dir;
    const std::string old = "[Vigil]\nmax conn=3\n";
    ScratchDir::write("p.ini", old);
    IniFile ini;
    ASSERT_TRUE(ini.load("p.ini"));
    ini.setText("Vigil", "def cmd", std::string(4096, 'x'));

    // A disk that fills up halfway through the write.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1024, 1024};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    EXPECT_FALSE(ini.save("p.ini"));
    EXPECT_EQ(ScratchDir::read("p.ini"), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);

    EXPECT_FALSE(ini.save("no-such-dir/p.ini"));
}
