#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "core/ini_file.h"
#include "core/program_settings.h"
#include "support/scratch_dir.h"

namespace {

std::optional<std::string> profileValue(const std::string& key) {
    IniFile ini;
    ini.load(IniFile::resolveName("VGW.INI"));
    return ini.text("Vigil", key);
}

}  // namespace

TEST(ProgramSettingsProfile, OnlyMaxConnGiven) {
    ScratchDir dir;
    ScratchDir::write("vgw.ini", "[Vigil]\r\nmax conn=3\r\n");
    ASSERT_TRUE(ProgramSettings::profileExists());
    ASSERT_TRUE(ProgramSettings::load());
    const SettingsValues s = ProgramSettings::snapshot();
    const SettingsValues initial;
    EXPECT_EQ(s.maxConn, 3);
    // Every bool reads false when missing, also those that start true.
    EXPECT_FALSE(s.showStatus || s.showChecked || s.showChanged || s.showIcons || s.showToolbar ||
                 s.smallIcons || s.showSettings);
    EXPECT_EQ(s.timeOutMs, initial.timeOutMs);
    EXPECT_EQ(s.defCheckInterval, initial.defCheckInterval);
    EXPECT_EQ(s.descWidth, 350);
    EXPECT_EQ(s.smtpPort, 25);
    EXPECT_EQ(s.buttonView, ButtonBoth);
    EXPECT_FALSE(s.font.set);
    EXPECT_FALSE(s.foreground.set);
    EXPECT_FALSE(s.mainWindow.hasSize);
    // Missing "ftp client": it becomes empty and the other five none.
    EXPECT_TRUE(s.hasFtpClient);
    EXPECT_EQ(s.ftpClient, "");
    EXPECT_FALSE(s.hasWebClient || s.hasWebParams || s.hasFtpParams || s.hasGopherClient);
}

TEST(ProgramSettingsProfile, NoProfileOrNoSection) {
    ScratchDir dir;
    EXPECT_FALSE(ProgramSettings::profileExists());
    EXPECT_FALSE(ProgramSettings::load());
    ScratchDir::write("VGW.INI", "[Other]\nmax conn=3\n");
    EXPECT_FALSE(ProgramSettings::profileExists());
    EXPECT_FALSE(ProgramSettings::load());
    EXPECT_TRUE(ProgramSettings::snapshot().showStatus);
}

TEST(ProgramSettingsProfile, KeyRules) {
    ScratchDir dir;
    ProgramSettings::update([](SettingsValues& s) {
        s.buttonView = ButtonText;
        s.smtpPort = 2525;
        s.defNotify = 0x21;
    });
    ScratchDir::write("VGW.INI",
                      "[Vigil]\nbutton view=x\nsmtp port=120749\nhttp proxy port=-1\ndef notify=70000\nfont face=Sans\nfont size=10\nfont flags=b  i \n"
                      "use http proxy=t\nhttp proxy host=proxy.local\nhttp proxy needs=t\n"
                      "http proxy user=me\nhttp proxy pass=secret\n"
                      "web client=firefox\ntime out=0\nmax conn=-2\nshow status=T\n"
                      "main width=640\nmain height=480\nnew web settings x=5\n");
    ASSERT_TRUE(ProgramSettings::load());
    const SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.buttonView, ButtonText);  // an unknown text leaves it as it was
    EXPECT_TRUE(s.font.set);
    EXPECT_EQ(s.font.face, "Sans");
    EXPECT_EQ(s.font.size, 10);
    EXPECT_TRUE(s.font.bold && s.font.italic);
    EXPECT_FALSE(s.font.outline || s.font.underscore || s.font.strikeout);
    EXPECT_TRUE(s.useHttpProxy);
    EXPECT_EQ(s.httpProxyHost, "proxy.local");
    EXPECT_EQ(s.httpProxyPort, 8080);  // out of range: as if missing
    EXPECT_EQ(s.smtpPort, 2525);
    EXPECT_EQ(s.defNotify, 0x21);
    EXPECT_EQ(s.proxyAuthorization, "bWU6c2VjcmV0");  // me:secret
    EXPECT_FALSE(s.hasWebClient);  // without "ftp client" no client key is read
    EXPECT_FALSE(s.showStatus);    // only "t" is true
    EXPECT_EQ(s.mainWindow.x, 0);
    EXPECT_TRUE(s.mainWindow.hasSize);
    EXPECT_EQ(s.mainWindow.width, 640);
    EXPECT_EQ(s.newWeb.x, 5);
    // The stored values stay; the readers get usable ones.
    EXPECT_EQ(s.timeOutMs, 0);
    EXPECT_EQ(s.maxConn, -2);
    EXPECT_EQ(ProgramSettings::timeOutMs(), 30000);
    EXPECT_EQ(ProgramSettings::maxConn(), 1);
}

TEST(ProgramSettingsProfile, RoundTripKeepsUnknownKeys) {
    ScratchDir dir;
    ScratchDir::write("Vgw.ini", "[Vigil]\nfuture key=1\nmax conn=3\n[Elsewhere]\nx=y\n");
    ProgramSettings::update([](SettingsValues& s) {
        s.font = {true, "Serif", 12, false, true, false, false, true};
        s.background = {true, 10, 20, 30};
        s.mainWindow = {true, true, 3, 4, 800, 600};
        s.importWindow = {true, true, 1, 2, 300, 200};
        s.hasWebClient = s.hasWebParams = s.hasFtpClient = true;
        s.webClient = "firefox";
        s.webParams = "-new-tab %URL";
        s.ftpClient = "filezilla";
        s.useHttpProxy = true;
        s.httpProxyHost = "proxy";
        s.httpProxyPort = 3128;
        s.hasFtpUser = true;
        s.ftpUser = "anonymous";
        s.defCmd = "notify-send %desc";
        s.defNotify = 0x21;
        s.buttonView = ButtonBitmaps;
        s.showIcons = false;
        s.maxConn = 8;
    });
    const SettingsValues before = ProgramSettings::snapshot();
    ASSERT_TRUE(ProgramSettings::save());
    EXPECT_FALSE(std::filesystem::exists("VGW.INI"));  // the existing file was rewritten
    EXPECT_EQ(profileValue("future key"), "1");
    EXPECT_NE(ScratchDir::read("Vgw.ini").find("\nfont flags= o  s\n"), std::string::npos);
    EXPECT_EQ(profileValue("button view"), "b");
    EXPECT_EQ(profileValue("show icons"), "f");
    EXPECT_FALSE(profileValue("ftp password"));
    IniFile ini;
    ini.load("Vgw.ini");
    EXPECT_EQ(ini.text("Elsewhere", "x"), "y");

    ProgramSettings::reset();
    ASSERT_TRUE(ProgramSettings::load());
    const SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.font.face, "Serif");
    EXPECT_TRUE(s.font.outline && s.font.strikeout && !s.font.bold);
    EXPECT_EQ(s.background.green, 20);
    EXPECT_EQ(s.background.blue, 30);
    EXPECT_FALSE(s.foreground.set);
    EXPECT_EQ(s.mainWindow.x, 3);
    EXPECT_EQ(s.mainWindow.height, 600);
    EXPECT_EQ(s.importWindow.width, 300);
    EXPECT_EQ(s.webParams, "-new-tab %URL");
    EXPECT_EQ(s.ftpClient, "filezilla");
    EXPECT_TRUE(s.hasGopherClient);  // a none client comes back empty, not lost
    EXPECT_EQ(s.gopherClient, "");
    EXPECT_EQ(s.httpProxyPort, 3128);
    EXPECT_EQ(s.ftpUser, "anonymous");
    EXPECT_FALSE(s.hasFtpPassword);
    EXPECT_EQ(s.defCmd, before.defCmd);
    EXPECT_EQ(s.defNotify, 0x21);
    EXPECT_EQ(s.buttonView, ButtonBitmaps);
    EXPECT_EQ(s.maxConn, 8);
    EXPECT_EQ(s.showStatus, before.showStatus);
    EXPECT_FALSE(s.showIcons);
}

TEST(ProgramSettingsProfile, CommandLineProxyIsNeitherReadNorWritten) {
    ScratchDir dir;
    ScratchDir::write("VGW.INI", "[Vigil]\nuse http proxy=f\nhttp proxy host=stored\nhttp proxy port=1\n");
    ProgramSettings::update([](SettingsValues& s) {
        s.proxyFromCommandLine = s.useHttpProxy = true;
        s.httpProxyHost = "cmdline";
        s.httpProxyPort = 3128;
    });
    ASSERT_TRUE(ProgramSettings::load());
    EXPECT_EQ(ProgramSettings::snapshot().httpProxyHost, "cmdline");
    EXPECT_TRUE(ProgramSettings::snapshot().useHttpProxy);
    ASSERT_TRUE(ProgramSettings::save());
    EXPECT_EQ(profileValue("use http proxy"), "f");
    EXPECT_EQ(profileValue("http proxy host"), "stored");
    EXPECT_EQ(profileValue("http proxy port"), "1");
    EXPECT_FALSE(profileValue("http proxy user"));
}

TEST(ProgramSettingsProfile, WindowsOffScreenOrNeverShownSaveNoPlace) {
    ScratchDir dir;
    ProgramSettings::reset();
    ProgramSettings::update([](SettingsValues& s) {
        s.mainWindow = {true, true, -4, 10, 800, 600};
        s.newFtp = {true, true, 40, 50, 300, 200};
    });
    ASSERT_TRUE(ProgramSettings::save());
    EXPECT_FALSE(profileValue("main x"));
    EXPECT_FALSE(profileValue("main width"));
    // Dialogs never opened keep no place, so the next start opens them at the default one.
    for (const char* key : {"new web settings x", "new web settings width", "glob settings x", "import settings height",
                            "ftp details x"})
        EXPECT_FALSE(profileValue(key)) << key;
    EXPECT_EQ(profileValue("new ftp settings y"), "50");
    ProgramSettings::reset();
    ASSERT_TRUE(ProgramSettings::load());
    EXPECT_FALSE(ProgramSettings::snapshot().newWeb.hasPosition);
    EXPECT_FALSE(ProgramSettings::snapshot().hasFtpDetailsPlace);
    EXPECT_EQ(ProgramSettings::snapshot().newFtp.height, 200);
    EXPECT_EQ(profileValue("max conn"), "5");
    struct stat st;
    ASSERT_EQ(stat("VGW.INI", &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);  // may hold the proxy password
}

TEST(ProgramSettingsClients, ClientListLines) {
    ScratchDir dir;
    ScratchDir::write("vigil.cli",
                      "netscape.exe=%URL\r\n\nno equals sign\n=%URL\nempty.exe=\n"
                      "opera.exe=-newwindow %URL\nlynx=-cfg=my.cfg %URL\n");
    ProgramSettings::loadClientList();
    const std::vector<ProgramSettings::ClientParam> expected{
        {"netscape.exe", "%URL"}, {"opera.exe", "-newwindow %URL"}, {"lynx", "-cfg=my.cfg %URL"}};
    EXPECT_EQ(ProgramSettings::clientParams(), expected);
}

TEST(ProgramSettingsClients, MissingClientListIsEmpty) {
    ScratchDir dir;
    ProgramSettings::loadClientList();
    EXPECT_TRUE(ProgramSettings::clientParams().empty());
}

namespace {

void pointXdgAt(const std::string& fixture) {
    const std::string base = std::string(TERVANE_FIXTURES_DIR) + "/" + fixture;
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", "/nonexistent", 1);
    setenv("XDG_DATA_DIRS", "/nonexistent", 1);
}

void expectAllClients(const std::string& client) {
    const SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.webClient, client);
    EXPECT_EQ(s.ftpClient, client);
    EXPECT_EQ(s.gopherClient, client);
    EXPECT_EQ(s.webParams, "%URL");
    EXPECT_EQ(s.ftpParams, "%URL");
    EXPECT_EQ(s.gopherParams, "%URL");
    EXPECT_TRUE(s.hasWebClient && s.hasFtpParams && s.hasGopherParams);
}

}  // namespace

TEST(ProgramSettingsFirstRun, DesktopDefaultHandler) {
    pointXdgAt("xdg");
    ProgramSettings::applyFirstRunClients();
    expectAllClients("/opt/fake/bin/fakebrowser");
}

TEST(ProgramSettingsFirstRun, QuotedHandlerFromDataHomeList) {
    pointXdgAt("xdg-quoted");
    ProgramSettings::applyFirstRunClients();
    expectAllClients("/opt/My Browser/browser");
}

TEST(ProgramSettingsFirstRun, WithoutADesktopHandlerXdgOpen) {
    ScratchDir dir;
    pointXdgAt("none");
    setenv("PATH", (dir.path() / "empty").c_str(), 1);
    ProgramSettings::applyFirstRunClients();
    expectAllClients("xdg-open");  // even where it is missing: no Windows program name
}

TEST(ProgramSettingsProfile, BlanksAroundKeysAndValuesAreLayout) {
    ScratchDir dir;
    ScratchDir::write("VGW.INI", "[Vigil]\nsmtp host = mail.example \nshow status = t\n"
                                 "user email=\tme@example.org\nmax conn = 4\n");
    ASSERT_TRUE(ProgramSettings::load());
    SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.smtpHost, "mail.example");
    EXPECT_TRUE(s.showStatus);
    EXPECT_EQ(s.userEmail, "me@example.org");
    EXPECT_EQ(s.maxConn, 4);

    // Written back as key=value.
    ASSERT_TRUE(ProgramSettings::save());
    const std::string saved = ScratchDir::read("VGW.INI");
    EXPECT_NE(saved.find("\nsmtp host=mail.example\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\nshow status=t\n"), std::string::npos) << saved;
}
