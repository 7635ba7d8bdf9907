#include <gtest/gtest.h>

#include <QComboBox>

#include "core/gopher_vigil.h"
#include "core/program_settings.h"
#include "dialogs/gopher_settings_dialog.h"
#include "support/dialog_driver.h"
#include "support/probe_vigil.h"

namespace {

struct GopherDialogTest : ::testing::Test {
    GopherDialogTest() {
        testApp();
        ProgramSettings::reset();
    }
    GopherSettingsRecord record;
};

std::shared_ptr<GopherVigil> addGopherVigil(const std::optional<std::string>& selector) {
    VigilParams p;
    p.host = "gopher.example.test";
    p.description = "Phlog";
    p.port = 7070;
    p.flags = NotifyFlags::SoundFile;
    p.interval = 86400 * 3;
    p.intervalMode = IntervalMode::On;
    p.cacheFileName = "cache\\00000000.mon";
    p.soundFile = "/sounds/ding.wav";
    auto vigil = std::make_shared<GopherVigil>(p, selector);
    appendToVigilList(vigil);
    return vigil;
}

}  // namespace

TEST_F(GopherDialogTest, NewVigilShowsPort70AndOkWritesTheRecord) {
    GopherSettingsDialog dialog(SettingsTitle::Gopher, SettingsTarget::NewVigil, &record, nullptr);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Gopher Settings");
    EXPECT_EQ(shown(dialog, "port"), "70");
    EXPECT_EQ(dialog.findChild<QWidget*>(QStringLiteral("more")), nullptr);
    EXPECT_EQ(entry(dialog, "selector").maxLength(), 2048);
    type(dialog, "description", "Menu");
    type(dialog, "host", "gopher.example.test");
    type(dialog, "interval", "0");  // accepted: an interval of 0 seconds
    box(dialog, "soundBox").setChecked(true);
    type(dialog, "soundFile", "/sounds/bell.wav");
    click(dialog, "ok");
    ASSERT_EQ(dialog.result(), DialogResult::Ok);
    EXPECT_EQ(record.description, "Menu");
    EXPECT_EQ(record.host, "gopher.example.test");
    EXPECT_EQ(record.port, 70);
    EXPECT_FALSE(record.selector.has_value());
    EXPECT_EQ(record.interval, 0);
    EXPECT_EQ(record.program, "");
    EXPECT_EQ(record.flags, NotifyFlags::SoundFile);
    EXPECT_EQ(record.soundFile, "/sounds/bell.wav");
    EXPECT_EQ(record.active, 1);
    EXPECT_EQ(record.options, 0);
}

TEST_F(GopherDialogTest, EditShowsTheVigilsValues) {
    auto vigil = addGopherVigil(std::string("/phlog"));
    auto plain = addGopherVigil(std::nullopt);
    record.program = "beep";
    GopherSettingsDialog dialog(SettingsTitle::Gopher, vigil.get(), &record, nullptr);
    EXPECT_EQ(shown(dialog, "description"), "Phlog");
    EXPECT_EQ(shown(dialog, "host"), "gopher.example.test");
    EXPECT_EQ(shown(dialog, "port"), "7070");
    EXPECT_EQ(shown(dialog, "selector"), "/phlog");
    EXPECT_EQ(shown(dialog, "interval"), "3");
    EXPECT_EQ(widget<QComboBox>(dialog, "unit").currentText().toStdString(), "Day(s)");
    EXPECT_EQ(shown(dialog, "soundFile"), "/sounds/ding.wav");
    EXPECT_EQ(shown(dialog, "program"), "beep");

    // The blank a Vigil keeps for "no selector" is not shown, so OK keeps it none.
    GopherSettingsDialog second(SettingsTitle::Gopher, plain.get(), &record, nullptr);
    EXPECT_EQ(shown(second, "selector"), "");
    click(second, "ok");
    ASSERT_EQ(second.result(), DialogResult::Ok);
    EXPECT_FALSE(record.selector.has_value());
    EXPECT_EQ(record.port, 7070);
    EXPECT_EQ(record.interval, 86400 * 3);
}

TEST_F(GopherDialogTest, PasteModeShowsTheUrlsParts) {
    auto pasted = gopherSettingsFromUrl("gopher://gopher.example.test:7070/1/news");
    GopherSettingsDialog dialog(SettingsTitle::Gopher, SettingsTarget::PastedUrl, pasted.get(), nullptr);
    EXPECT_EQ(shown(dialog, "description"), "");
    EXPECT_EQ(shown(dialog, "host"), "gopher.example.test");
    EXPECT_EQ(shown(dialog, "port"), "7070");
    EXPECT_EQ(shown(dialog, "selector"), "/news");
    type(dialog, "description", "News");
    click(dialog, "ok");
    ASSERT_EQ(dialog.result(), DialogResult::Ok);
    EXPECT_EQ(pasted->selector, "/news");
    EXPECT_EQ(pasted->port, 7070);
    EXPECT_EQ(pasted->interval, 21600);

    // A search selector comes decoded; a decoded control character but TAB is refused.
    EXPECT_EQ(gopherSettingsFromUrl("gopher://h.example:70/7/v2/vs%09gopher%20words")->selector,
              "/v2/vs\tgopher words");
    for (const char* url : {"gopher://h.example/1a%1b[2Jb", "gopher://h.example/1/a%0d%0aQUIT"}) {
        auto escaped = gopherSettingsFromUrl(url);
        GopherSettingsDialog escapedDialog(SettingsTitle::Gopher, SettingsTarget::PastedUrl, escaped.get(), nullptr);
        type(escapedDialog, "description", "Escape");
        EXPECT_EQ(refusedOk(escapedDialog).text, "Must enter a valid selection string") << url;
    }
}

TEST_F(GopherDialogTest, InputErrorsShowAProblemBoxAndKeepTheRecord) {
    const ServerInput cases[] = {
        {"", "h", "70", "5", "Must enter a description"},
        {"d", "", "70", "5", "Must enter a host name"},
        {"d", "h", "", "5", "Must enter a port"},
        {"d", "h", "gopher", "5", "Must enter a port"},
        {"d", "h", "70", "", "Must enter a valid \"Check every\" value"},
    };
    for (const ServerInput& c : cases) {
        SCOPED_TRACE(c.message);
        GopherSettingsRecord r;
        GopherSettingsDialog dialog(SettingsTitle::Gopher, SettingsTarget::NewVigil, &r, nullptr);
        typeServerInput(dialog, c);
        const SeenBox seen = refusedOk(dialog);
        EXPECT_EQ(seen.title, "Problem");
        EXPECT_EQ(seen.text, c.message);
        EXPECT_EQ(dialog.result(), 0);
        EXPECT_FALSE(r.host.has_value());
    }
}
