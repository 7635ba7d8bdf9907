#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>

#include "core/ftp_vigil.h"
#include "core/program_settings.h"
#include "dialogs/ftp_settings_dialog.h"
#include "support/dialog_driver.h"
#include "support/probe_vigil.h"

namespace {

struct FtpDialogTest : ::testing::Test {
    FtpDialogTest() {
        testApp();
        ProgramSettings::reset();
    }
    FtpSettingsRecord record;
};

void setFtpLogin(const char* user, const char* password) {
    ProgramSettings::update([&](SettingsValues& s) {
        s.hasFtpUser = true;
        s.ftpUser = user;
        s.hasFtpPassword = true;
        s.ftpPassword = password;
    });
}

std::string unit(QWidget& dialog) {
    return widget<QComboBox>(dialog, "unit").currentText().toStdString();
}

QPlainTextEdit& files(QWidget& dialog) {
    return widget<QPlainTextEdit>(dialog, "files");
}

}  // namespace

TEST_F(FtpDialogTest, NewVigilShowsPort21AndTheDefaultLogin) {
    setFtpLogin("webmaster", "hunter2");
    FtpSettingsDialog dialog(SettingsTitle::Ftp, SettingsTarget::NewVigil, &record, nullptr);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "FTP Settings");
    EXPECT_EQ(shown(dialog, "port"), "21");
    EXPECT_EQ(shown(dialog, "user"), "webmaster");
    EXPECT_EQ(shown(dialog, "password"), "hunter2");
    EXPECT_EQ(entry(dialog, "password").echoMode(), QLineEdit::Password);
    for (const char* name : {"description", "host", "user", "password", "directory", "program", "soundFile", "email"}) {
        EXPECT_EQ(entry(dialog, name).maxLength(), 2048) << name;
    }

    type(dialog, "description", "Mirror");
    type(dialog, "host", "ftp.example.test");
    type(dialog, "port", "2121");
    type(dialog, "user", "");
    type(dialog, "password", "");
    type(dialog, "interval", "5");
    widget<QComboBox>(dialog, "unit").setCurrentIndex(0);
    box(dialog, "programBox").setChecked(true);
    click(dialog, "ok");

    ASSERT_EQ(dialog.result(), DialogResult::Ok);
    EXPECT_EQ(record.description, "Mirror");
    EXPECT_EQ(record.host, "ftp.example.test");
    EXPECT_EQ(record.port, 2121);
    EXPECT_EQ(record.directory, "/");
    EXPECT_EQ(record.user, "anonymous");
    EXPECT_EQ(record.password, AnonymousFtpPassword);
    EXPECT_EQ(record.interval, 300);
    EXPECT_EQ(record.program, "");  // an empty entry is an empty text, not none
    EXPECT_EQ(record.flags, NotifyFlags::Program);
    EXPECT_EQ(record.active, 1);
    EXPECT_EQ(record.options, 0);
    EXPECT_EQ(record.filesChanged, 0);
}

TEST_F(FtpDialogTest, NewVigilWithoutDefaultLoginAndAHighPort) {
    FtpSettingsDialog dialog(SettingsTitle::Ftp, SettingsTarget::NewVigil, &record, nullptr);
    EXPECT_EQ(shown(dialog, "user"), "");
    EXPECT_EQ(shown(dialog, "password"), "");
    type(dialog, "description", "Mirror");
    type(dialog, "host", "ftp.example.test");
    type(dialog, "port", "40000");
    type(dialog, "directory", "/pub");
    type(dialog, "user", "bob");
    type(dialog, "password", "pw");
    click(dialog, "ok");
    ASSERT_EQ(dialog.result(), DialogResult::Ok);
    EXPECT_EQ(static_cast<uint16_t>(record.port), 40000);
    EXPECT_EQ(record.directory, "/pub");
    EXPECT_EQ(record.user, "bob");
    EXPECT_EQ(record.password, "pw");
    EXPECT_EQ(record.interval, 21600);
}

TEST_F(FtpDialogTest, EditShowsTheVigilsValues) {
    VigilParams p;
    p.host = "ftp.example.test";
    p.description = "Uploads";
    p.port = 50021;
    p.flags = NotifyFlags::Email | NotifyFlags::Tone;
    p.interval = 900;
    p.intervalMode = IntervalMode::On;
    p.cacheFileName = "cache\\00000000.mon";
    p.soundFile = "/sounds/ding.wav";  // not shown: its box is off
    p.email = "ops@example.test";
    auto vigil = std::make_shared<FtpVigil>(p, "carol", "pw", std::string("/incoming"), std::nullopt,
                                            std::vector<std::string>{});
    appendToVigilList(vigil);
    record.program = "mail-me";
    FtpSettingsDialog dialog(SettingsTitle::Ftp, vigil.get(), &record, nullptr);
    EXPECT_EQ(shown(dialog, "description"), "Uploads");
    EXPECT_EQ(shown(dialog, "host"), "ftp.example.test");
    EXPECT_EQ(shown(dialog, "port"), "50021");
    EXPECT_EQ(shown(dialog, "directory"), "/incoming");
    EXPECT_EQ(shown(dialog, "user"), "carol");
    EXPECT_EQ(shown(dialog, "password"), "pw");
    EXPECT_EQ(shown(dialog, "interval"), "15");
    EXPECT_EQ(unit(dialog), "Minute(s)");
    EXPECT_TRUE(box(dialog, "toneBox").isChecked());
    EXPECT_TRUE(box(dialog, "emailBox").isChecked());
    EXPECT_FALSE(box(dialog, "soundBox").isChecked());
    EXPECT_EQ(shown(dialog, "soundFile"), "");
    EXPECT_EQ(shown(dialog, "program"), "mail-me");
    EXPECT_EQ(shown(dialog, "email"), "ops@example.test");
    click(dialog, "ok");
    ASSERT_EQ(dialog.result(), DialogResult::Ok);
    EXPECT_EQ(static_cast<uint16_t>(record.port), 50021);
    EXPECT_EQ(record.interval, 900);
    EXPECT_FALSE(record.soundFile.has_value());
}

TEST_F(FtpDialogTest, PasteModeShowsTheUrlsParts) {
    setFtpLogin("webmaster", "hunter2");
    auto full = ftpSettingsFromUrl("ftp://bob:pw@ftp.example.test:2121/pub/new");
    FtpSettingsDialog dialog(SettingsTitle::Ftp, SettingsTarget::PastedUrl, full.get(), nullptr);
    EXPECT_EQ(shown(dialog, "description"), "");
    EXPECT_EQ(shown(dialog, "host"), "ftp.example.test");
    EXPECT_EQ(shown(dialog, "port"), "2121");
    EXPECT_EQ(shown(dialog, "directory"), "/pub/new");
    EXPECT_EQ(shown(dialog, "user"), "bob");
    EXPECT_EQ(shown(dialog, "password"), "pw");

    auto bare = ftpSettingsFromUrl("ftp://ftp.example.test");
    FtpSettingsDialog second(SettingsTitle::Ftp, SettingsTarget::PastedUrl, bare.get(), nullptr);
    EXPECT_EQ(shown(second, "port"), "21");
    EXPECT_EQ(shown(second, "directory"), "");
    EXPECT_EQ(shown(second, "user"), "webmaster");
    EXPECT_EQ(shown(second, "password"), "hunter2");
    type(second, "description", "Bare");
    click(second, "ok");
    ASSERT_EQ(second.result(), DialogResult::Ok);
    EXPECT_EQ(bare->directory, "/");
    EXPECT_EQ(bare->status, VigilStatus::NoChange);
}

TEST_F(FtpDialogTest, InputErrorsShowAProblemBoxAndKeepTheRecord) {
    const char* every = "Must enter a valid \"Check every\" value";
    const ServerInput cases[] = {
        {"", "h", "21", "5", "Must enter a description"},
        {"d", "", "21", "5", "Must enter a host name"},
        {"d", "h", "", "5", "Must enter a port"},
        {"d", "h", "ftp", "5", "Must enter a port"},
        {"d", "h", "0", "5", "Must enter a port"},
        {"d", "h", "70000", "5", "Must enter a port"},
        {"d", "h", "21", "", every},
        {"d", "h", "21", "0", every},
        {"d", "h", "21", "-3", every},
        {"d", "h", "21", "soon", every},
    };
    for (const ServerInput& c : cases) {
        SCOPED_TRACE(std::string(c.message) + " / " + c.port + " / " + c.interval);
        FtpSettingsRecord r;
        FtpSettingsDialog dialog(SettingsTitle::Ftp, SettingsTarget::NewVigil, &r, nullptr);
        typeServerInput(dialog, c);
        const SeenBox seen = refusedOk(dialog);
        EXPECT_EQ(seen.title, "Problem");
        EXPECT_EQ(seen.text, c.message);
        EXPECT_EQ(dialog.result(), 0);
        EXPECT_FALSE(r.host.has_value());
        EXPECT_EQ(r.port, 0);
    }
}

// ---- More FTP Settings

TEST_F(FtpDialogTest, MoreShowsTheRecordsFiles) {
    record.lookForFile = "release.tar.gz";
    record.ignoreFiles = {"index.txt", ".message"};
    MoreFtpSettingsDialog more(&record, nullptr);
    EXPECT_EQ(more.windowTitle().toStdString(), "More FTP Settings");
    EXPECT_TRUE(box(more, "lookForBox").isChecked());
    EXPECT_EQ(shown(more, "lookFor"), "release.tar.gz");
    EXPECT_TRUE(box(more, "ignoreFilesBox").isChecked());
    EXPECT_EQ(files(more).toPlainText().toStdString(), "index.txt\n.message");

    FtpSettingsRecord empty;
    MoreFtpSettingsDialog none(&empty, nullptr);
    EXPECT_FALSE(box(none, "lookForBox").isChecked());
    EXPECT_EQ(shown(none, "lookFor"), "");
    EXPECT_FALSE(box(none, "ignoreFilesBox").isChecked());
    EXPECT_TRUE(files(none).toPlainText().isEmpty());
}

TEST_F(FtpDialogTest, MoreOkAppliesTheLookForAndIgnoreRules) {
    struct Case {
        const char* name;
        std::function<void(MoreFtpSettingsDialog&)> change;
        std::optional<std::string> lookFor;
        std::vector<std::string> ignore;
        int changed;
    };
    const std::vector<std::string> before{"index.txt", ".message"};
    const Case cases[] = {
        {"untouched keeps both", [](MoreFtpSettingsDialog&) {}, std::string("release.tar.gz"), before, 0},
        {"look-for entry emptied with its box on",
         [](MoreFtpSettingsDialog& d) { type(d, "lookFor", ""); }, std::nullopt, before, 0},
        {"look-for entry changed",
         [](MoreFtpSettingsDialog& d) { type(d, "lookFor", "beta.tar.gz"); }, std::string("beta.tar.gz"), before, 0},
        {"look-for box off", [](MoreFtpSettingsDialog& d) { box(d, "lookForBox").setChecked(false); },
         std::nullopt, before, 0},
        {"ignore box off clears the list",
         [](MoreFtpSettingsDialog& d) { box(d, "ignoreFilesBox").setChecked(false); },
         std::string("release.tar.gz"), {}, 1},
        {"edited names replace the list",
         [](MoreFtpSettingsDialog& d) { files(d).setPlainText(QStringLiteral("README\r\n\n\nls-lR.gz")); },
         std::string("release.tar.gz"), {"README", "ls-lR.gz"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FtpSettingsRecord r;
        r.lookForFile = "release.tar.gz";
        r.ignoreFiles = before;
        MoreFtpSettingsDialog more(&r, nullptr);
        c.change(more);
        click(more, "ok");
        EXPECT_EQ(more.result(), DialogResult::Ok);
        EXPECT_EQ(r.lookForFile, c.lookFor);
        EXPECT_EQ(r.ignoreFiles, c.ignore);
        EXPECT_EQ(r.filesChanged, c.changed);
    }
}

TEST_F(FtpDialogTest, MoreSetsAFileToLookForAndCancelKeepsTheRecord) {
    MoreFtpSettingsDialog more(&record, nullptr);
    box(more, "lookForBox").setChecked(true);
    type(more, "lookFor", "done.flag");
    click(more, "ok");
    EXPECT_EQ(record.lookForFile, "done.flag");
    EXPECT_EQ(record.filesChanged, 0);

    FtpSettingsRecord r;
    r.ignoreFiles = {"a"};
    MoreFtpSettingsDialog cancelled(&r, nullptr);
    box(cancelled, "ignoreFilesBox").setChecked(false);
    box(cancelled, "lookForBox").setChecked(true);
    type(cancelled, "lookFor", "x");
    click(cancelled, "cancel");
    EXPECT_EQ(cancelled.result(), DialogResult::Cancel);
    EXPECT_EQ(r.ignoreFiles, std::vector<std::string>{"a"});
    EXPECT_FALSE(r.lookForFile.has_value());
}
