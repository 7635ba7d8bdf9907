#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <climits>
#include <string>
#include <vector>

#include "core/ini_file.h"
#include "core/notify_overrides.h"
#include "core/program_settings.h"
#include "support/scratch_dir.h"
#include "core/text_utils.h"
#include "core/vigil.h"
#include "dialogs/program_settings_notebook.h"
#include "support/qt_test_app.h"

namespace {

// A notebook over fresh settings, in a scratch working directory.
struct NotebookTest : ::testing::Test {
    NotebookTest() {
        testApp();
        ProgramSettings::reset();
        NotifyOverrides::reset();
    }
    ~NotebookTest() override {
        ProgramSettings::reset();
        NotifyOverrides::reset();
    }

    ProgramSettingsNotebook& open() {
        notebook_ = std::make_unique<ProgramSettingsNotebook>(nullptr);
        return *notebook_;
    }
    template <class T>
    T* child(const char* name) {
        T* found = notebook_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* entry(const char* name) { return child<QLineEdit>(name); }
    QString text(const char* name) { return entry(name)->text(); }
    // As the user types: the entry counts as changed.
    void type(const char* name, const QString& value) {
        QLineEdit* e = entry(name);
        e->selectAll();
        e->insert(value);
    }
    void check(const char* name, bool on) { child<QCheckBox>(name)->setChecked(on); }
    void click(int id) { child<QPushButton>(("command" + std::to_string(id)).c_str())->click(); }

    ScratchDir dir_;
    std::unique_ptr<ProgramSettingsNotebook> notebook_;
};

const char* const kAllEntries[] = {"ftpClient", "ftpParams", "webClient", "webParams", "gopherClient",
                                   "gopherParams", "overrideSound", "timeOut", "maxConn", "userEmail",
                                   "smtpHost", "smtpPort", "ftpUser", "ftpPassword", "interval",
                                   "program", "soundFile", "emailList", "proxyHost", "proxyPort",
                                   "proxyUser", "proxyPass"};

}  // namespace

TEST_F(NotebookTest, PagesShowTheSettingsUntouched) {
    ProgramSettings::update([](SettingsValues& s) {
        s.ftpClient = "/usr/bin/ftp";
        s.hasFtpClient = true;
        s.webClient = "/usr/bin/Firefox";
        s.hasWebClient = true;
        s.webParams = "-new-window %URL";
        s.hasWebParams = true;
        s.timeOutMs = 1500;
        s.maxConn = 7;
        s.smtpHost = "mail.example.test";
        s.smtpPort = 40000;
        s.userEmail = "me@example.test";
        s.startup = true;
        s.showSettings = false;
        s.ftpUser = "anonymous";
        s.hasFtpUser = true;
        s.defNotify = NotifyFlags::Tone | NotifyFlags::Program | NotifyFlags::Email;
        s.defCmd = "notify.sh";
        s.defEmail = "";
        s.useHttpProxy = true;
        s.httpProxyHost = "proxy.example.test";
        s.httpProxyPort = 3128;
    });
    NotifyOverrides::update([](GlobalOverrides& o) {
        o.showAllBoxes = o.showNoBoxes = true;  // "for all" wins
        o.playNoTones = true;
        o.overrideSoundFile = "ding.wav";
    });
    ProgramSettingsNotebook& nb = open();

    EXPECT_EQ(nb.windowTitle(), "Tervane Settings Notebook");
    const QStringList tabs = {"FTP Settings", "Web Settings", "Gopher Settings", "Global Overrides",
                              "Preferences", "Defaults", "Proxies"};
    ASSERT_EQ(nb.notebook()->count(), tabs.size());
    for (int i = 0; i < tabs.size(); ++i) EXPECT_EQ(nb.notebook()->tabText(i), tabs[i]);

    EXPECT_EQ(text("ftpClient"), "/usr/bin/ftp");
    EXPECT_EQ(text("ftpParams"), "");
    EXPECT_EQ(text("webClient"), "/usr/bin/Firefox");
    EXPECT_EQ(text("webParams"), "-new-window %URL");
    EXPECT_EQ(child<QSpinBox>("boxOverride")->text(), "Show message boxes for all Vigils");
    EXPECT_EQ(child<QSpinBox>("toneOverride")->text(), "Don't play tones for any Vigils");
    EXPECT_EQ(child<QSpinBox>("soundOverride")->text(), "Don't override sound files");
    EXPECT_EQ(text("overrideSound"), "ding.wav");
    EXPECT_EQ(text("timeOut"), "1");
    EXPECT_EQ(text("maxConn"), "7");
    EXPECT_EQ(text("smtpPort"), "40000");  // a port, never a negative number
    EXPECT_TRUE(child<QCheckBox>("startup")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("showSettings")->isChecked());
    EXPECT_EQ(text("ftpUser"), "anonymous");
    EXPECT_EQ(entry("ftpPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(entry("proxyPass")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(child<QCheckBox>("tone")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("runProgram")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("messageBox")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("email")->isChecked());  // no list, whatever the bit says
    EXPECT_EQ(text("program"), "notify.sh");
    EXPECT_EQ(text("proxyHost"), "proxy.example.test");
    EXPECT_EQ(text("proxyPort"), "3128");
    EXPECT_EQ(child<QCheckBox>("proxyNeeds")->text(), "Needs User Name && Password");

    EXPECT_EQ(entry("ftpClient")->maxLength(), 2048);
    EXPECT_EQ(entry("gopherParams")->maxLength(), 2048);
    EXPECT_EQ(entry("userEmail")->maxLength(), 2048);
    EXPECT_EQ(entry("overrideSound")->maxLength(), 1024);
    for (const char* name : kAllEntries) EXPECT_FALSE(entry(name)->isModified()) << name;
}

TEST_F(NotebookTest, DefaultIntervalInTheLargestWholeUnit) {
    const struct {
        int seconds;
        const char* number;
        const char* unit;
    } cases[] = {{7200, "2", "Hour(s)"}, {5400, "90", "Minute(s)"}, {172800, "2", "Day(s)"},
                 {0, "0", "Day(s)"},     {21600, "6", "Hour(s)"},   {90, "1", "Minute(s)"}};
    for (const auto& c : cases) {
        ProgramSettings::update([&c](SettingsValues& s) { s.defCheckInterval = c.seconds; });
        open();
        EXPECT_EQ(text("interval"), c.number) << c.seconds;
        EXPECT_EQ(child<QComboBox>("intervalUnit")->currentText(), c.unit) << c.seconds;
    }
}

// Every page typed into, applied, written to the profile and read back.
TEST_F(NotebookTest, EveryPageRoundTripsThroughTheProfile) {
    ProgramSettings::update([](SettingsValues& s) { s.defCmd = "old.sh"; });
    ProgramSettingsNotebook& nb = open();
    type("ftpClient", "/opt/ftp/gftp");
    type("ftpParams", "%HOST");
    type("webClient", "/opt/Browser/Run");
    type("webParams", "%URL");
    type("gopherClient", "/usr/bin/lynx");
    type("gopherParams", "gopher://%HOST");
    child<QSpinBox>("boxOverride")->setValue(2);
    child<QSpinBox>("toneOverride")->setValue(1);
    child<QSpinBox>("soundOverride")->setValue(1);
    type("overrideSound", "/snd/all.wav");
    check("checkChanged", true);
    check("startup", true);
    check("showSettings", false);
    type("timeOut", "45");
    type("maxConn", "9");
    type("userEmail", "me@example.test");
    type("smtpHost", "127.0.0.1");
    type("smtpPort", "2525");
    type("ftpUser", "watcher");
    type("ftpPassword", "secret");
    type("interval", "3");
    child<QComboBox>("intervalUnit")->setCurrentIndex(1);
    check("runProgram", true);
    type("program", "/bin/notify");
    check("messageBox", true);
    check("tone", true);
    check("sound", true);
    type("soundFile", "/snd/one.wav");
    check("email", true);
    type("emailList", "a@example.test b@example.test");
    check("useProxy", true);
    type("proxyHost", "127.0.0.1");
    type("proxyPort", "8888");
    check("proxyNeeds", true);
    type("proxyUser", "user");
    type("proxyPass", "pa:ss");
    nb.apply();
    ASSERT_TRUE(ProgramSettings::save("VGW.INI"));

    const GlobalOverrides o = NotifyOverrides::current();
    EXPECT_TRUE(o.showNoBoxes && !o.showAllBoxes);
    EXPECT_TRUE(o.playAllTones && !o.playNoTones);
    EXPECT_TRUE(o.playAllSounds && !o.playNoSounds);
    EXPECT_EQ(o.overrideSoundFile, std::optional<std::string>("/snd/all.wav"));

    ProgramSettings::reset();
    ASSERT_TRUE(ProgramSettings::load("VGW.INI"));
    const SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.ftpClient, "/opt/ftp/gftp");
    EXPECT_EQ(s.ftpParams, "%HOST");
    EXPECT_EQ(s.webClient, "/opt/Browser/Run");  // case kept: the path must still start
    EXPECT_EQ(s.webParams, "%URL");
    EXPECT_EQ(s.gopherClient, "/usr/bin/lynx");
    EXPECT_EQ(s.gopherParams, "gopher://%HOST");
    EXPECT_TRUE(s.checkChanged);
    EXPECT_TRUE(s.startup);
    EXPECT_FALSE(s.showSettings);
    EXPECT_EQ(s.timeOutMs, 45000);
    EXPECT_EQ(s.maxConn, 9);
    EXPECT_EQ(s.userEmail, "me@example.test");
    EXPECT_EQ(s.smtpHost, "127.0.0.1");
    EXPECT_EQ(s.smtpPort, 2525);
    EXPECT_EQ(s.ftpUser, "watcher");
    EXPECT_EQ(s.ftpPassword, "secret");
    EXPECT_EQ(s.defCheckInterval, 3 * 3600);
    EXPECT_EQ(s.defNotify, NotifyFlags::Program | NotifyFlags::MessageBox | NotifyFlags::Tone |
                               NotifyFlags::SoundFile | NotifyFlags::Email);
    EXPECT_EQ(s.defCmd, "/bin/notify");
    EXPECT_EQ(s.defSoundFile, "/snd/one.wav");
    EXPECT_EQ(s.defEmail, "a@example.test b@example.test");
    EXPECT_TRUE(s.useHttpProxy);
    EXPECT_EQ(s.httpProxyHost, "127.0.0.1");
    EXPECT_EQ(s.httpProxyPort, 8888);
    EXPECT_TRUE(s.httpProxyNeeds);
    EXPECT_EQ(s.httpProxyUser, "user");
    EXPECT_EQ(s.httpProxyPass, "pa:ss");
    EXPECT_EQ(s.proxyAuthorization, base64Encode("user:pa:ss"));
}

TEST_F(NotebookTest, UntouchedEntriesKeepTheirSettingsEvenAfterReset) {
    ProgramSettings::update([](SettingsValues& s) {
        s.webClient = "/usr/bin/first";
        s.hasWebClient = true;
    });
    ProgramSettingsNotebook& nb = open();
    // Changed elsewhere while the notebook is open; Reset shows the new value.
    ProgramSettings::update([](SettingsValues& s) { s.webClient = "/usr/bin/second"; });
    for (int id : {673, 676, 679, 1071, 1080, 1002, 682}) click(id);
    EXPECT_EQ(text("webClient"), "/usr/bin/second");
    ProgramSettings::update([](SettingsValues& s) { s.webClient = "/usr/bin/third"; });
    nb.apply();

    const SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.webClient, "/usr/bin/third");
    EXPECT_FALSE(s.hasWebParams);
    EXPECT_FALSE(s.hasGopherClient);
    EXPECT_FALSE(s.hasFtpUser);
    EXPECT_FALSE(s.hasFtpPassword);
}

TEST_F(NotebookTest, ResetPutsBackOnlyItsOwnPage) {
    ProgramSettings::update([](SettingsValues& s) {
        s.ftpClient = "/usr/bin/ftp";
        s.ftpParams = "-p";
        s.hasFtpParams = true;
        s.timeOutMs = 20000;
    });
    open();
    type("ftpClient", "x");
    type("ftpParams", "y");
    type("webClient", "z");
    type("timeOut", "99");
    check("showSettings", false);
    click(673);
    EXPECT_EQ(text("ftpClient"), "/usr/bin/ftp");
    EXPECT_EQ(text("ftpParams"), "-p");
    EXPECT_FALSE(entry("ftpClient")->isModified());
    EXPECT_EQ(text("webClient"), "z");  // another page
    click(676);
    EXPECT_EQ(text("webClient"), "z");  // no Web client set: nothing to put back
    click(1080);
    EXPECT_EQ(text("timeOut"), "20");
    EXPECT_FALSE(child<QCheckBox>("showSettings")->isChecked());  // left as it is
}

TEST_F(NotebookTest, TimeOutAndNumbersAsTyped) {
    const struct {
        const char* typed;
        int timeOutMs;
    } cases[] = {{"2147483", 2147483000}, {"2147484", INT_MAX}, {"99999999999999999999", INT_MAX},
                 {" 7 s", 7000},          {"none", 30000},      {"-5", 30000}};
    for (const auto& c : cases) {
        ProgramSettings::reset();
        ProgramSettingsNotebook& nb = open();
        type("timeOut", c.typed);
        type("maxConn", "0");       // no range test: taken as typed
        type("smtpPort", "port");  // no number: unchanged
        nb.apply();
        const SettingsValues s = ProgramSettings::snapshot();
        EXPECT_EQ(s.timeOutMs, c.timeOutMs) << c.typed;
        EXPECT_EQ(s.maxConn, 0);
        EXPECT_EQ(s.smtpPort, 25);
    }
}

TEST_F(NotebookTest, DefaultNotificationsRebuiltFromTheBoxes) {
    ProgramSettings::update([](SettingsValues& s) {
        s.defCmd = "keep.sh";
        s.defSoundFile = "keep.wav";
        s.defEmail = "old@example.test";
        s.defNotify = NotifyFlags::Program | NotifyFlags::SoundFile | NotifyFlags::Email;
        s.defCheckInterval = 600;
    });
    ProgramSettingsNotebook& nb = open();
    type("program", "");  // checked but empty
    check("sound", false);
    type("soundFile", "new.wav");
    type("emailList", "");  // checked but empty
    for (const char* unreadable : {"-3", "many"}) {
        type("interval", unreadable);
        nb.apply();
        EXPECT_EQ(ProgramSettings::snapshot().defCheckInterval, 600) << unreadable;  // unchanged
    }
    SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.defNotify, NotifyFlags::Email);
    EXPECT_EQ(s.defCmd, "keep.sh");
    EXPECT_EQ(s.defSoundFile, "keep.wav");
    EXPECT_EQ(s.defEmail, "");

    check("email", false);
    type("emailList", "someone@example.test");
    type("interval", "5x");
    nb.apply();
    EXPECT_EQ(ProgramSettings::snapshot().defCheckInterval, 300);  // its leading digits, in minutes
    type("interval", "40000");
    child<QComboBox>("intervalUnit")->setCurrentIndex(2);
    nb.apply();
    s = ProgramSettings::snapshot();
    EXPECT_EQ(s.defNotify, 0);
    EXPECT_EQ(s.defEmail, "");
    EXPECT_EQ(s.defCheckInterval, INT_MAX);  // held at the limit, not wrapped
}

TEST_F(NotebookTest, ProxyOffClearsHostAndLogin) {
    ProgramSettings::update([](SettingsValues& s) {
        s.useHttpProxy = true;
        s.httpProxyHost = "proxy";
        s.httpProxyPort = 3128;
        s.httpProxyNeeds = true;
        s.httpProxyUser = "u";
        s.httpProxyPass = "p";
        s.proxyAuthorization = base64Encode("u:p");
    });
    ProgramSettingsNotebook& nb = open();
    // Untouched user, password and port keep their values while the proxy is on.
    nb.apply();
    SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.httpProxyUser, "u");
    EXPECT_EQ(s.httpProxyPort, 3128);
    EXPECT_EQ(s.proxyAuthorization, base64Encode("u:p"));

    check("useProxy", false);
    type("proxyPort", "9999");
    nb.apply();
    s = ProgramSettings::snapshot();
    EXPECT_FALSE(s.useHttpProxy);
    EXPECT_EQ(s.httpProxyHost, "");
    EXPECT_EQ(s.httpProxyPort, 3128);  // the port is left alone with the proxy off
    EXPECT_TRUE(s.httpProxyNeeds);
    EXPECT_EQ(s.httpProxyUser, "");
    EXPECT_EQ(s.httpProxyPass, "");
    EXPECT_EQ(s.proxyAuthorization, "");

    check("useProxy", true);
    type("proxyPort", "70000");  // kept in 16 bits
    check("proxyNeeds", false);
    nb.apply();
    s = ProgramSettings::snapshot();
    EXPECT_EQ(s.httpProxyPort, 70000 & 0xffff);
    EXPECT_EQ(s.httpProxyUser, "");
}

TEST_F(NotebookTest, OverrideSoundFileTakenOnlyForAllVigils) {
    NotifyOverrides::update([](GlobalOverrides& o) { o.overrideSoundFile = "kept.wav"; });
    ProgramSettingsNotebook& nb = open();
    type("overrideSound", "ignored.wav");
    child<QSpinBox>("soundOverride")->setValue(2);
    nb.apply();
    GlobalOverrides o = NotifyOverrides::current();
    EXPECT_TRUE(o.playNoSounds);
    EXPECT_EQ(o.overrideSoundFile, std::optional<std::string>("kept.wav"));

    type("overrideSound", "");
    child<QSpinBox>("soundOverride")->setValue(1);
    child<QSpinBox>("boxOverride")->setValue(0);
    nb.apply();
    o = NotifyOverrides::current();
    EXPECT_TRUE(o.playAllSounds && !o.playNoSounds);
    EXPECT_EQ(o.overrideSoundFile, std::optional<std::string>(""));
    EXPECT_FALSE(o.showAllBoxes || o.showNoBoxes);

    // Reset shows the overrides in force; the sound file entry is left alone.
    child<QSpinBox>("soundOverride")->setValue(0);
    type("overrideSound", "typed.wav");
    click(682);
    EXPECT_EQ(child<QSpinBox>("soundOverride")->value(), 1);
    EXPECT_EQ(text("overrideSound"), "typed.wav");
}

TEST_F(NotebookTest, BrowseForAClientFillsItsParametersFromTheKnownClients) {
    ScratchDir::write("vigil.cli", "lynx=-dump %URL\r\nFIREFOX=-new-tab %URL\r\nfirefox=second\r\n");
    ProgramSettings::loadClientList("vigil.cli");
    ScratchDir::write("FireFox", "#!/bin/sh\n");
    ScratchDir::write("other", "#!/bin/sh\n");
    const std::string dir = dir_.path().string();
    ProgramSettingsNotebook& nb = open();
    std::vector<QString> titles;
    QString answer;
    nb.chooseFile = [&](const QString& title, const QString&) {
        titles.push_back(title);
        return answer;
    };

    answer = QString::fromStdString(dir + "/FireFox");
    click(629);
    EXPECT_EQ(text("webClient"), answer);
    EXPECT_EQ(text("webParams"), "-new-tab %URL");  // the first match, case ignored
    answer = QString::fromStdString(dir + "/other");
    click(622);
    EXPECT_EQ(text("ftpClient"), answer);
    EXPECT_EQ(text("ftpParams"), "");
    answer = QString::fromStdString(dir + "/missing/lynx");  // unreadable: nothing
    click(642);
    answer.clear();  // cancelled: nothing
    click(642);
    EXPECT_EQ(text("gopherClient"), "");
    EXPECT_EQ(titles, (std::vector<QString>{"Web Client", "FTP Client", "Gopher Client", "Gopher Client"}));

    nb.apply();
    const SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.webClient, dir + "/FireFox");
    EXPECT_EQ(s.webParams, "-new-tab %URL");
    EXPECT_EQ(s.ftpClient, dir + "/other");
    EXPECT_FALSE(s.hasFtpParams);
    EXPECT_FALSE(s.hasGopherClient);
}

TEST_F(NotebookTest, BrowseForFilesOfDefaultsAndOverrides) {
    ProgramSettingsNotebook& nb = open();
    std::vector<std::pair<QString, QString>> asked;
    nb.chooseFile = [&](const QString& title, const QString& filter) {
        asked.emplace_back(title, filter);
        return QStringLiteral("/chosen/file");
    };
    click(708);
    click(1061);
    click(1067);
    EXPECT_EQ(asked, (std::vector<std::pair<QString, QString>>{{"Select A Sound File", "*.wav"},
                                                                {"Select A Program", ""},
                                                                {"Select A Sound File", ""}}));
    for (const char* name : {"overrideSound", "program", "soundFile"}) EXPECT_EQ(text(name), "/chosen/file");
}

TEST_F(NotebookTest, HelpButtonsAskForTheirPanels) {
    std::vector<int> panels;
    notebook_ = std::make_unique<ProgramSettingsNotebook>(nullptr, [&panels](int p) { panels.push_back(p); });
    for (int id : {675, 678, 681, 684, 1081, 1072, 1003}) click(id);
    EXPECT_EQ(panels, (std::vector<int>{201, 202, 203, 204, 205, 206, 207}));
    EXPECT_FALSE(notebook_->command(1083));
}

TEST_F(NotebookTest, ProxyFromTheCommandLineIsShownButNotChangedOrStored) {
    ScratchDir::write("VGW.INI", "[Vigil]\r\nuse http proxy=f\r\nhttp proxy host=stored\r\n");
    ProgramSettings::update([](SettingsValues& s) {
        s.proxyFromCommandLine = true;
        s.useHttpProxy = true;
        s.httpProxyHost = "cmdline";
        s.httpProxyPort = 8081;
        s.httpProxyUser = "u";
        s.httpProxyPass = "p";
    });
    ProgramSettingsNotebook& nb = open();
    EXPECT_EQ(text("proxyHost"), "cmdline");
    EXPECT_EQ(text("proxyPort"), "8081");
    for (const char* name : {"useProxy", "proxyHost", "proxyPort", "proxyNeeds", "proxyUser", "proxyPass"})
        EXPECT_FALSE(child<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(child<QWidget>("command1002")->isEnabled());
    EXPECT_TRUE(child<QWidget>("command1003")->isEnabled());

    nb.apply();
    const SettingsValues s = ProgramSettings::snapshot();
    EXPECT_TRUE(s.useHttpProxy);
    EXPECT_EQ(s.httpProxyHost, "cmdline");
    EXPECT_EQ(s.httpProxyUser, "u");  // not cleared although "needs" is off
    ASSERT_TRUE(ProgramSettings::save("VGW.INI"));
    const std::string profile = ScratchDir::read("VGW.INI");
    EXPECT_NE(profile.find("http proxy host=stored"), std::string::npos);
    EXPECT_EQ(profile.find("cmdline"), std::string::npos);
    EXPECT_EQ(profile.find("http proxy port"), std::string::npos);
}

TEST_F(NotebookTest, OpenedAtItsStoredPlaceWhichClosingWritesBack) {
    ProgramSettings::update([](SettingsValues& s) {
        s.globSettings = WindowPlacement{true, true, 40, 30, 760, 480};
    });
    QPoint shownAt;
    QSize shownSize;
    QTimer::singleShot(0, [&] {
        auto* nb = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(nb, nullptr);
        shownAt = nb->pos();
        shownSize = nb->size();
        auto* smtp = nb->findChild<QLineEdit*>("smtpHost");
        smtp->selectAll();
        smtp->insert("mail.example.test");
        nb->move(55, 66);
        nb->resize(770, 490);
        nb->close();
    });
    openProgramSettingsNotebook(nullptr, "VGW.INI");
    EXPECT_EQ(shownAt, QPoint(40, 30));
    EXPECT_EQ(shownSize, QSize(760, 480));

    const SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.smtpHost, "mail.example.test");
    EXPECT_EQ(s.globSettings.x, 55);
    EXPECT_EQ(s.globSettings.y, 66);
    EXPECT_EQ(s.globSettings.width, 770);
    EXPECT_EQ(s.globSettings.height, 490);
    IniFile profile;
    ASSERT_TRUE(profile.load("VGW.INI"));
    EXPECT_EQ(profile.text("Vigil", "smtp host"), std::optional<std::string>("mail.example.test"));
    EXPECT_EQ(profile.integer("Vigil", "glob settings x"), std::optional<int>(55));
    EXPECT_EQ(profile.integer("Vigil", "glob settings height"), std::optional<int>(490));
}

// The picture of each page at the notebook's own size: every tab and field in
// sight, and each entry's text whole.
TEST_F(NotebookTest, PagesGrabbed) {
    ProgramSettings::update([](SettingsValues& s) {
        s.ftpClient = "/usr/bin/gftp";
        s.webClient = "/usr/bin/firefox";
        s.webParams = "%URL";
        s.smtpHost = "mail.example.test";
        s.httpProxyHost = "proxy.example.test";
        s.httpProxyPort = 3128;
    });
    ProgramSettingsNotebook& nb = open();
    nb.resize(nb.sizeHint());
    for (int i = 0; i < nb.notebook()->count(); ++i) {
        nb.notebook()->setCurrentIndex(i);
        const QString file = QString::fromStdString((dir_.path() / ("page" + std::to_string(i + 1) + ".png")).string());
        ASSERT_TRUE(nb.grab().save(file));
        const QImage picture = QImage(file).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(picture.size(), nb.size());
        const QTabBar* tabs = nb.notebook()->tabBar();
        for (int t = 0; t < tabs->count(); ++t)
            EXPECT_TRUE(picture.rect().contains(tabs->tabRect(t).translated(tabs->mapTo(&nb, QPoint())))) << t;
        for (QWidget* field : nb.notebook()->widget(i)->findChildren<QWidget*>()) {
            if (!field->isVisibleTo(&nb)) continue;
            const QRect at(field->mapTo(&nb, QPoint()), field->size());
            EXPECT_TRUE(picture.rect().contains(at)) << i << ' ' << field->metaObject()->className();
            const auto* e = qobject_cast<QLineEdit*>(field);
            if (!e || e->text().isEmpty()) continue;
            const std::string shown = e->displayText().toStdString();
            EXPECT_LE(e->fontMetrics().horizontalAdvance(e->displayText()) + 8, e->width()) << shown;
            const QRgb base = e->palette().color(QPalette::Base).rgb();
            int ink = 0;
            for (int y = at.top() + 3; y < at.bottom() - 2; ++y)
                for (int x = at.left() + 3; x < at.right() - 2; ++x) ink += picture.pixel(x, y) != base;
            EXPECT_GT(ink, 0) << shown;
        }
    }
}
