#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <cstdio>
#include <fstream>

#include "core/program_settings.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "core/web_vigil.h"
#include "dialogs/dialog_help.h"
#include "dialogs/web_settings_dialog.h"
#include "support/dialog_driver.h"
#include "support/probe_vigil.h"
#include "support/scratch_dir.h"

namespace {

struct WebDialogTest : ::testing::Test {
    WebDialogTest() {
        testApp();
        ProgramSettings::reset();
    }
    WebSettingsRecord record;
};

std::shared_ptr<WebVigil> addWebVigil(uint16_t port, const char* path) {
    VigilParams p;
    p.host = "www.example.test";
    p.description = "Example page";
    p.port = port;
    p.flags = NotifyFlags::MessageBox | NotifyFlags::SoundFile;
    p.interval = 172800;
    p.intervalMode = IntervalMode::On;
    p.cacheFileName = "cache\\00000000.mon";
    p.soundFile = "/sounds/ding.wav";
    p.email = "one@example.test  two@example.test ";
    auto vigil = std::make_shared<WebVigil>(p, SimpleString(path), ChangeMethod::Detect, 0, 0,
                                            std::vector<std::string>{"ad"}, std::string("ann:secret"));
    appendToVigilList(vigil);
    return vigil;
}

std::string unit(QWidget& dialog) {
    return widget<QComboBox>(dialog, "unit").currentText().toStdString();
}

}  // namespace

TEST_F(WebDialogTest, NewVigilShowsTheDefaultsAndOkWritesTheRecord) {
    ProgramSettings::update([](SettingsValues& s) {
        s.defCheckInterval = 7200;
        s.defNotify = NotifyFlags::Tone | NotifyFlags::SoundFile | NotifyFlags::Email;
        s.defSoundFile = "/sounds/bell.wav";
        s.defCmd = "notify-send %desc";
        s.defEmail = "me@example.test you@example.test";
    });
    record.options = WebOptions::IgnoreTags;
    WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &record, nullptr);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Web Settings");
    EXPECT_EQ(shown(dialog, "description"), "");
    EXPECT_EQ(shown(dialog, "url"), "");
    EXPECT_EQ(shown(dialog, "interval"), "2");
    EXPECT_EQ(unit(dialog), "Hour(s)");
    EXPECT_TRUE(box(dialog, "toneBox").isChecked());
    EXPECT_TRUE(box(dialog, "soundBox").isChecked());
    EXPECT_TRUE(box(dialog, "emailBox").isChecked());
    EXPECT_FALSE(box(dialog, "messageBox").isChecked());
    EXPECT_FALSE(box(dialog, "programBox").isChecked());
    EXPECT_EQ(shown(dialog, "soundFile"), "/sounds/bell.wav");
    EXPECT_EQ(shown(dialog, "program"), "notify-send %desc");  // filled with its box off
    EXPECT_EQ(shown(dialog, "email"), "me@example.test you@example.test");
    EXPECT_EQ(entry(dialog, "description").maxLength(), 2048);
    EXPECT_EQ(entry(dialog, "url").maxLength(), 2048);
    EXPECT_EQ(entry(dialog, "password").echoMode(), QLineEdit::Password);

    type(dialog, "description", "News");
    // A login inside the URL goes into the entries.
    type(dialog, "url", "http://bob:pw@www.example.test:8080/news/index.html");
    type(dialog, "interval", "90");
    widget<QComboBox>(dialog, "unit").setCurrentIndex(0);
    box(dialog, "messageBox").setChecked(true);
    box(dialog, "toneBox").setChecked(false);
    type(dialog, "soundFile", "");  // box on, entry empty: flag set, empty sound file
    click(dialog, "ok");

    EXPECT_EQ(dialog.result(), DialogResult::Ok);
    EXPECT_EQ(record.description, "News");
    EXPECT_EQ(record.host, "www.example.test");
    EXPECT_EQ(record.port, 8080);
    EXPECT_STREQ(record.path.text(), "/news/index.html");
    EXPECT_STREQ(record.user.text(), "bob");
    EXPECT_STREQ(record.password.text(), "pw");
    EXPECT_EQ(shown(dialog, "url"), "http://www.example.test:8080/news/index.html");
    EXPECT_EQ(record.interval, 5400);
    EXPECT_EQ(record.flags, NotifyFlags::MessageBox | NotifyFlags::SoundFile | NotifyFlags::Email);
    EXPECT_EQ(record.soundFile, "");
    EXPECT_EQ(record.program, "notify-send %desc");
    EXPECT_STREQ(record.emailList.text(), "me@example.test you@example.test");
    EXPECT_EQ(record.active, 1);
    EXPECT_EQ(record.options, WebOptions::IgnoreTags);  // only More changes it
    EXPECT_EQ(record.tokensChanged, 0);
}

TEST_F(WebDialogTest, UrlWithoutPortOrPathAndAnEmptyProgram) {
    WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &record, nullptr);
    EXPECT_EQ(shown(dialog, "interval"), "6");  // the initial "def check interval", 21600
    EXPECT_EQ(unit(dialog), "Hour(s)");
    EXPECT_EQ(shown(dialog, "soundFile"), "");
    type(dialog, "description", " ");  // one blank is a description
    type(dialog, "url", "www.example.test\n");
    type(dialog, "user", "ann");
    type(dialog, "password", "secret");
    type(dialog, "program", "");
    widget<QComboBox>(dialog, "unit").setCurrentIndex(1);
    type(dialog, "interval", "2");
    click(dialog, "ok");
    ASSERT_EQ(dialog.result(), DialogResult::Ok);
    EXPECT_EQ(record.host, "www.example.test");
    EXPECT_EQ(record.port, 80);
    EXPECT_STREQ(record.path.text(), "/");
    EXPECT_STREQ(record.user.text(), "ann");
    EXPECT_STREQ(record.password.text(), "secret");
    EXPECT_EQ(record.interval, 7200);
    EXPECT_FALSE(record.program.has_value());
    EXPECT_FALSE(record.soundFile.has_value());
    EXPECT_EQ(record.flags, 0);
}

TEST_F(WebDialogTest, EditShowsTheVigilsValues) {
    auto vigil = addWebVigil(8080, "/a/page.html");
    auto other = addWebVigil(80, "/b");
    record.program = "play %URL";
    WebSettingsDialog dialog(SettingsTitle::Web, vigil.get(), &record, nullptr);
    EXPECT_EQ(shown(dialog, "description"), "Example page");
    EXPECT_EQ(shown(dialog, "url"), "http://www.example.test:8080/a/page.html");
    EXPECT_EQ(shown(dialog, "user"), "ann");
    EXPECT_EQ(shown(dialog, "password"), "secret");
    EXPECT_EQ(shown(dialog, "interval"), "2");
    EXPECT_EQ(unit(dialog), "Day(s)");
    EXPECT_TRUE(box(dialog, "messageBox").isChecked());
    EXPECT_TRUE(box(dialog, "soundBox").isChecked());
    EXPECT_FALSE(box(dialog, "emailBox").isChecked());
    EXPECT_EQ(shown(dialog, "soundFile"), "/sounds/ding.wav");
    EXPECT_EQ(shown(dialog, "program"), "play %URL");
    EXPECT_EQ(shown(dialog, "email"), "one@example.test two@example.test");

    WebSettingsDialog second(SettingsTitle::Web, other.get(), &record, nullptr);
    EXPECT_EQ(shown(second, "url"), "http://www.example.test/b");  // port 80 is not shown

    type(dialog, "password", "new");
    click(dialog, "ok");
    ASSERT_EQ(dialog.result(), DialogResult::Ok);
    EXPECT_EQ(record.port, 8080);
    EXPECT_STREQ(record.path.text(), "/a/page.html");
    EXPECT_STREQ(record.user.text(), "ann");
    EXPECT_STREQ(record.password.text(), "new");
    EXPECT_EQ(record.interval, 172800);
}

TEST_F(WebDialogTest, EditOfAVigilThatIsGoneShowsEmptyFields) {
    WebSettingsDialog dialog(SettingsTitle::Web, nullptr, &record, nullptr);
    EXPECT_EQ(shown(dialog, "description"), "");
    EXPECT_EQ(shown(dialog, "url"), "");
    EXPECT_EQ(shown(dialog, "interval"), "");
    EXPECT_EQ(shown(dialog, "email"), "");
}

TEST_F(WebDialogTest, PasteModeShowsThePastedUrl) {
    auto pasted = webSettingsFromUrl("HTTP://www.example.test/x?y=1");
    WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::PastedUrl, pasted.get(), nullptr);
    EXPECT_EQ(shown(dialog, "description"), "");  // the record's blank is not shown
    EXPECT_EQ(shown(dialog, "url"), "HTTP://www.example.test/x?y=1");
    EXPECT_EQ(shown(dialog, "user"), "");
    EXPECT_EQ(shown(dialog, "interval"), "6");
    click(dialog, "ok");
    ASSERT_EQ(dialog.result(), DialogResult::Ok);
    EXPECT_EQ(pasted->host, "www.example.test");
    EXPECT_STREQ(pasted->path.text(), "/x?y=1");
    EXPECT_EQ(pasted->status, VigilStatus::NoChange);
    EXPECT_STREQ(pasted->url.text(), "HTTP://www.example.test/x?y=1");
    EXPECT_EQ(pasted->description, " ");  // left empty: the one blank a record needs

    // A typed description has no blank before it; the login shows in its entries;
    // a query right after the host gets the path "/".
    auto login = webSettingsFromUrl("http://user:pw@127.0.0.1:24111?q=1");
    WebSettingsDialog second(SettingsTitle::Web, SettingsTarget::PastedUrl, login.get(), nullptr);
    EXPECT_EQ(shown(second, "url"), "http://127.0.0.1:24111?q=1");
    EXPECT_EQ(shown(second, "user"), "user");
    EXPECT_EQ(shown(second, "password"), "pw");
    type(second, "description", "Auth");
    click(second, "ok");
    ASSERT_EQ(second.result(), DialogResult::Ok);
    EXPECT_EQ(login->description, "Auth");
    EXPECT_EQ(login->host, "127.0.0.1");
    EXPECT_EQ(login->port, 24111);
    EXPECT_STREQ(login->path.text(), "/?q=1");
    EXPECT_STREQ(login->user.text(), "user");
    EXPECT_STREQ(login->password.text(), "pw");
}

TEST_F(WebDialogTest, InputErrorsShowAProblemBoxAndKeepTheRecord) {
    struct Case {
        const char* description;
        const char* url;
        const char* interval;
        int unit;
        const char* message;
        const char* user = "";
        const char* password = "";
    };
    const char* const kHttpOnly = "Must enter an http:// URL: Tervane watches http:// pages only (no https, no TLS)";
    const Case cases[] = {
        {"", "http://www.example.test/", "5", 0, "Must enter a description"},
        {"Page", "", "5", 0, "Must enter a valid URL"},
        {"Page", "http:///index.html", "5", 0, "Must enter a valid URL"},
        // Another scheme is no Web page of its own host: it would become the host "https".
        {"Page", "https://www.example.test/", "5", 0, kHttpOnly},
        {"Page", "ftp://ftp.example.test/pub/", "5", 0, kHttpOnly},
        {"Page", "http://www.example.test/", "", 0, "Must enter a valid \"Check every\" value"},
        {"Page", "http://www.example.test/", "5", -1, "Must enter a valid \"Check every\" value"},
        {"Page", "http://www.example.test/", "30000", 2, "Must enter a valid \"Check every\" value"},
        // The record would keep the login only up to the ';'.
        {"Page", "http://www.example.test/", "5", 0, "Must enter a valid user name", "bob;x", "pw"},
        {"Page", "http://www.example.test/", "5", 0, "Must enter a valid password", "bob", "p;w"},
        // It would come back as the user "bob" with the password "x:pw".
        {"Page", "http://www.example.test/", "5", 0, "Must enter a valid user name", "bob:x", "pw"},
        // A login typed into the URL is checked as the entries would check it.
        {"Page", "http://bob;x:pw@www.example.test/", "5", 0, "Must enter a valid user name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        WebSettingsRecord r;
        WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &r, nullptr);
        type(dialog, "description", c.description);
        type(dialog, "url", c.url);
        type(dialog, "interval", c.interval);
        type(dialog, "user", c.user);
        type(dialog, "password", c.password);
        widget<QComboBox>(dialog, "unit").setCurrentIndex(c.unit);
        const SeenBox seen = refusedOk(dialog);
        EXPECT_EQ(seen.title, "Problem");
        EXPECT_EQ(seen.text, c.message);
        EXPECT_EQ(seen.buttons, 1);
        EXPECT_EQ(seen.owner, &dialog);
        EXPECT_EQ(dialog.result(), 0);
        EXPECT_FALSE(r.description.has_value());
        EXPECT_EQ(r.interval, 0);
        EXPECT_EQ(r.active, 0);
    }
}

TEST_F(WebDialogTest, EditKeepsTheBytesOfTextThatIsNotUtf8) {
    ScratchDir dir;
    ScratchDir::write("vigil.dat", "1\n|http|Caf\xe9|0|w.example|80|/men\xfc|0|0|0|1|-1|0|0|9||\n");
    VigilStore::load("vigil.dat", vigilList());
    const auto web = std::dynamic_pointer_cast<WebVigil>(vigilList().at(0));
    WebSettingsDialog unchanged(SettingsTitle::Web, web.get(), &record, nullptr);
    EXPECT_EQ(shown(unchanged, "description"), "Caf\xc3\xa9");
    click(unchanged, "ok");
    EXPECT_EQ(record.description, "Caf\xe9");
    EXPECT_STREQ(record.path.text(), "/men\xfc");
    // Typed text is written in the file's own 8-bit encoding.
    WebSettingsDialog changed(SettingsTitle::Web, web.get(), &record, nullptr);
    type(changed, "description", "Cr\xc3\xa8me");
    click(changed, "ok");
    EXPECT_EQ(record.description, "Cr\xe8me");
}

TEST_F(WebDialogTest, IntervalsUnderAMinuteEditAsOneAndNoNumberOrNoIntervalIsRefused) {
    auto vigil = addWebVigil(80, "/");
    vigil->setInterval(30);  // as a hand-edited data file or an import may give it
    for (const char* text : {"0", "-3", "abc", "min 5", ""}) {
        SCOPED_TRACE(text);
        WebSettingsRecord r;
        WebSettingsDialog dialog(SettingsTitle::Web, vigil.get(), &r, nullptr);
        EXPECT_EQ(shown(dialog, "interval"), "1");
        EXPECT_EQ(unit(dialog), "Minute(s)");
        type(dialog, "interval", text);
        EXPECT_EQ(refusedOk(dialog).text, "Must enter a valid \"Check every\" value");
        EXPECT_EQ(r.interval, 0);
    }
    WebSettingsDialog kept(SettingsTitle::Web, vigil.get(), &record, nullptr);
    click(kept, "ok");
    EXPECT_EQ(record.interval, 60);

    // A new Vigil: only a whole number of 0 or more.
    for (const char* text : {"-3", "abc"}) {
        WebSettingsRecord r;
        WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &r, nullptr);
        type(dialog, "description", "Page");
        type(dialog, "url", "http://www.example.test/");
        type(dialog, "interval", text);
        EXPECT_EQ(refusedOk(dialog).title, "Problem") << text;
    }
    WebSettingsRecord r;
    WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &r, nullptr);
    type(dialog, "description", "Page");
    type(dialog, "url", "http://www.example.test/");
    type(dialog, "interval", " 7 ");
    widget<QComboBox>(dialog, "unit").setCurrentIndex(0);
    click(dialog, "ok");
    EXPECT_EQ(r.interval, 420);
    // Only the leading digits count.
    for (const auto& [text, seconds] : {std::pair<const char*, int>{"5 min", 300}, {"1.5", 60}}) {
        WebSettingsRecord typed;
        WebSettingsDialog d(SettingsTitle::Web, vigil.get(), &typed, nullptr);
        type(d, "interval", text);
        click(d, "ok");
        EXPECT_EQ(typed.interval, seconds) << text;
    }
}

TEST_F(WebDialogTest, ModalShowEndsWithTheDismissIds) {
    {
        WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &record, nullptr);
        type(dialog, "description", "Page");
        type(dialog, "url", "http://www.example.test/");
        ModalAnswerer<WebSettingsDialog> answer([](WebSettingsDialog& d) { click(d, "ok"); });
        EXPECT_EQ(dialog.showModally(), DialogResult::Ok);
    }
    for (const char* how : {"cancel", "escape"}) {
        SCOPED_TRACE(how);
        WebSettingsRecord r;
        WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &r, nullptr);
        type(dialog, "description", "Page");
        type(dialog, "url", "http://www.example.test/");
        ModalAnswerer<WebSettingsDialog> answer([how](WebSettingsDialog& d) {
            if (std::string(how) == "cancel") click(d, "cancel");
            else d.reject();
        });
        EXPECT_EQ(dialog.showModally(), DialogResult::Cancel);
        EXPECT_FALSE(r.description.has_value());
    }
}

TEST_F(WebDialogTest, BrowseButtonsFillTheEntriesAndHelpShowsItsPanel) {
    const TempDir folder("tervane-browse");  // of its own: a shared name may vanish under another run
    const std::string wav = folder.file("bell.wav");
    std::ofstream(wav) << "RIFF";
    WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &record, nullptr);
    std::vector<std::string> titles;
    {
        ModalAnswerer<QFileDialog> answer([&](QFileDialog& files) {
            titles.push_back(files.windowTitle().toStdString());
            files.selectFile(QString::fromStdString(wav));
            static_cast<QDialog&>(files).accept();
        });
        click(dialog, "soundBrowse");
        click(dialog, "programBrowse");
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Select A Sound File", "Select Notification Program"}));
    EXPECT_EQ(shown(dialog, "soundFile"), wav);
    EXPECT_EQ(shown(dialog, "program"), wav);
    {
        ModalAnswerer<QFileDialog> answer([](QFileDialog& files) { files.reject(); });
        click(dialog, "soundBrowse");
    }
    EXPECT_EQ(shown(dialog, "soundFile"), wav);
    std::remove(wav.c_str());

    std::vector<int> panels;
    dialogHelpHandler() = [&](int panel) { panels.push_back(panel); };
    click(dialog, "help");
    dialogHelpHandler() = nullptr;
    EXPECT_EQ(panels, std::vector<int>{HelpPanel::WebSettings});
}

// ---- More Web Settings

TEST_F(WebDialogTest, MoreShowsTheRecordsRules) {
    record.ignoreTokens = {"banner", "", "counter"};
    record.options = WebOptions::IgnoreTags;
    MoreWebSettingsDialog more(&record, nullptr);
    EXPECT_TRUE(box(more, "ignoreTags").isChecked());
    EXPECT_TRUE(box(more, "ignoreTokensBox").isChecked());
    EXPECT_EQ(widget<QPlainTextEdit>(more, "tokens").toPlainText().toStdString(), "banner\ncounter");

    WebSettingsRecord empty;
    MoreWebSettingsDialog none(&empty, nullptr);
    EXPECT_FALSE(box(none, "ignoreTags").isChecked());
    EXPECT_FALSE(box(none, "ignoreTokensBox").isChecked());
    EXPECT_TRUE(widget<QPlainTextEdit>(none, "tokens").toPlainText().isEmpty());
}

TEST_F(WebDialogTest, MoreOkAppliesTheTokenRules) {
    struct Case {
        const char* name;
        std::function<void(MoreWebSettingsDialog&)> change;
        std::vector<std::string> tokens;
        int changed;
        int options;
    };
    const std::vector<std::string> before{"banner", "", "counter"};
    const Case cases[] = {
        {"untouched keeps the list", [](MoreWebSettingsDialog&) {}, before, 0,
         WebOptions::AlwaysCompare | WebOptions::IgnoreTags},
        {"unchecked clears it",
         [](MoreWebSettingsDialog& d) { box(d, "ignoreTokensBox").setChecked(false); }, {}, 1,
         WebOptions::AlwaysCompare | WebOptions::IgnoreTags},
        {"edited text replaces it",
         [](MoreWebSettingsDialog& d) {
             widget<QPlainTextEdit>(d, "tokens").setPlainText(QStringLiteral("ad\r\n\nclock\n"));
             box(d, "ignoreTags").setChecked(false);
         },
         {"ad", "clock"}, 1, WebOptions::AlwaysCompare},
        {"emptied text with the box on gives no list",
         [](MoreWebSettingsDialog& d) { widget<QPlainTextEdit>(d, "tokens").clear(); }, {}, 1,
         WebOptions::AlwaysCompare | WebOptions::IgnoreTags},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WebSettingsRecord r;
        r.ignoreTokens = before;
        r.options = WebOptions::IgnoreTags;
        MoreWebSettingsDialog more(&r, nullptr);
        c.change(more);
        click(more, "ok");
        EXPECT_EQ(more.result(), DialogResult::Ok);
        EXPECT_EQ(r.ignoreTokens, c.tokens);
        EXPECT_EQ(r.tokensChanged, c.changed);
        EXPECT_EQ(r.options, c.options);
    }
}

TEST_F(WebDialogTest, MoreWithoutTokensAndCancel) {
    MoreWebSettingsDialog more(&record, nullptr);
    box(more, "ignoreTokensBox").setChecked(true);  // checked, nothing typed
    click(more, "ok");
    EXPECT_TRUE(record.ignoreTokens.empty());
    EXPECT_EQ(record.tokensChanged, 0);

    WebSettingsRecord r;
    r.ignoreTokens = {"a"};
    MoreWebSettingsDialog cancelled(&r, nullptr);
    box(cancelled, "ignoreTokensBox").setChecked(false);
    box(cancelled, "ignoreTags").setChecked(true);
    click(cancelled, "cancel");
    EXPECT_EQ(cancelled.result(), DialogResult::Cancel);
    EXPECT_EQ(r.ignoreTokens, std::vector<std::string>{"a"});
    EXPECT_EQ(r.options, 0);
}

TEST_F(WebDialogTest, MoreButtonOpensTheRulesOfTheSameRecord) {
    WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &record, nullptr);
    std::string title;
    ModalAnswerer<MoreWebSettingsDialog> answer([&](MoreWebSettingsDialog& more) {
        title = more.windowTitle().toStdString();
        widget<QPlainTextEdit>(more, "tokens").setPlainText(QStringLiteral("ad"));
        box(more, "ignoreTokensBox").setChecked(true);
        click(more, "ok");
    });
    click(dialog, "more");
    EXPECT_EQ(answer.count(), 1);
    EXPECT_EQ(title, "More Web Settings");
    EXPECT_EQ(record.ignoreTokens, std::vector<std::string>{"ad"});
    EXPECT_EQ(record.tokensChanged, 1);
    EXPECT_EQ(record.options, WebOptions::AlwaysCompare);
    EXPECT_EQ(dialog.result(), 0);  // the settings dialog is still open
}
