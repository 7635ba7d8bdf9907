#include <gtest/gtest.h>

#include <memory>

#include "core/program_settings.h"
#include "core/settings_records.h"
#include "dialogs/ftp_settings_dialog.h"
#include "dialogs/gopher_settings_dialog.h"
#include "dialogs/web_settings_dialog.h"
#include "support/dialog_driver.h"

// What the URL, server and login entries of the three settings dialogs take,
// typed or pasted.

namespace {

struct Records {
    WebSettingsRecord web;
    FtpSettingsRecord ftp;
    GopherSettingsRecord gopher;
};

// A new Vigil's dialog of the kind ('w', 'f', 'g') whose entries all pass.
std::unique_ptr<QDialog> validDialog(char kind, Records& r) {
    std::unique_ptr<QDialog> d;
    if (kind == 'w') {
        d = std::make_unique<WebSettingsDialog>(SettingsTitle::Web, SettingsTarget::NewVigil, &r.web, nullptr);
        type(*d, "url", "http://www.example.test/");
    } else if (kind == 'f') {
        d = std::make_unique<FtpSettingsDialog>(SettingsTitle::Ftp, SettingsTarget::NewVigil, &r.ftp, nullptr);
        type(*d, "host", "ftp.example.test");
    } else {
        d = std::make_unique<GopherSettingsDialog>(SettingsTitle::Gopher, SettingsTarget::NewVigil, &r.gopher,
                                                   nullptr);
        type(*d, "host", "gopher.example.test");
    }
    type(*d, "description", "Watched");
    return d;
}

struct Refusal {
    char kind;
    const char* field;
    const char* text;
    const char* message;
};

void expectRefusals(std::initializer_list<Refusal> refusals) {
    for (const Refusal& c : refusals) {
        SCOPED_TRACE(std::string(1, c.kind) + " " + c.field + " " + c.text);
        Records r;
        std::unique_ptr<QDialog> dialog = validDialog(c.kind, r);
        type(*dialog, c.field, c.text);
        EXPECT_EQ(refusedOk(*dialog).text, c.message);
        EXPECT_EQ(dialog->result(), 0);
    }
}

// The Problem box a pasted record's dialog shows on OK, once described.
template <class Dialog, class Record>
std::string pastedRefusal(int titleId, Record& record, const char* field, const char* shownText) {
    Dialog dialog(titleId, SettingsTarget::PastedUrl, &record, nullptr);
    EXPECT_EQ(shown(dialog, field), shownText);
    type(dialog, "description", "Pasted");
    return refusedOk(dialog).text;
}

const char* const kHttpOnly = "Must enter an http:// URL: Tervane watches http:// pages only (no https, no TLS)";

struct SettingsInputTest : ::testing::Test {
    SettingsInputTest() {
        testApp();
        ProgramSettings::reset();
    }
};

}  // namespace

TEST_F(SettingsInputTest, LineBreaksEndAUrlOrSelectorAndControlCharactersAreRefused) {
    Records r;
    std::unique_ptr<QDialog> web = validDialog('w', r);
    type(*web, "url", "http://www.example.test/page\r\nX-Injected: yes\r\nCookie: stolen=1");
    click(*web, "ok");
    ASSERT_EQ(web->result(), DialogResult::Ok);
    EXPECT_STREQ(r.web.path.text(), "/page");

    std::unique_ptr<QDialog> gopher = validDialog('g', r);
    type(*gopher, "selector", "1/news\r\nmore");
    click(*gopher, "ok");
    ASSERT_EQ(gopher->result(), DialogResult::Ok);
    EXPECT_EQ(r.gopher.selector, "1/news");
    type(*gopher, "selector", "7/search\tquery");  // a search: sent as typed
    click(*gopher, "ok");
    EXPECT_EQ(r.gopher.selector, "7/search\tquery");

    // The Paste road: the clipboard's first line is the URL.
    auto pastedWeb = webSettingsFromUrl("http://www.example.test/page\r\nX-Injected: yes\r\n");
    WebSettingsDialog pasted(SettingsTitle::Web, SettingsTarget::PastedUrl, pastedWeb.get(), nullptr);
    EXPECT_EQ(shown(pasted, "url"), "http://www.example.test/page");
    EXPECT_EQ(ftpSettingsFromUrl("ftp://ftp.example.test/pub\r\nDELE /pub/x")->directory, "/pub");
    EXPECT_EQ(gopherSettingsFromUrl("gopher://gopher.example.test/1news\nx")->selector, "news");

    expectRefusals({
        {'w', "url", "http://www.example.test/a\tb", "Must enter a valid URL"},
        {'w', "url", "http://www\x01.example.test/", "Must enter a valid URL"},
        {'w', "user", "ann\x7f", "Must enter a valid user name"},
        {'w', "password", "pw\r\nX: y", "Must enter a valid password"},
        {'f', "host", "ftp.example.test\r\nQUIT", "Must enter a host name"},
        {'f', "user", "joe\r\nDELE x", "Must enter a valid user name"},
        {'f', "password", "pw\nDELE x", "Must enter a valid password"},
        {'f', "directory", "/pub\r\nDELE x", "Must enter a valid directory"},
        {'g', "host", "gopher.example.test\t", "Must enter a host name"},
        {'g', "selector", "7/search\x01query", "Must enter a valid selection string"},
    });
}

TEST_F(SettingsInputTest, OtherSchemesAndPortsOutOfRangeAreRefused) {
    expectRefusals({
        {'w', "url", "mailto:someone@example.org", kHttpOnly},
        {'w', "url", "javascript:alert(1)", kHttpOnly},
        {'w', "url", "HTTPS://www.example.test/", kHttpOnly},
        {'w', "url", "http:www.example.test/", "Must enter a valid URL"},
        {'w', "url", "http://www.example.test:99999/", "Must enter a valid URL"},
        {'w', "url", "www.example.test:0/", "Must enter a valid URL"},
    });
    // A host followed by its port names no scheme.
    Records r;
    std::unique_ptr<QDialog> web = validDialog('w', r);
    type(*web, "url", "www.example.test:8080/x");
    click(*web, "ok");
    ASSERT_EQ(web->result(), DialogResult::Ok);
    EXPECT_EQ(r.web.host, "www.example.test");
    EXPECT_EQ(r.web.port, 8080);
    // Nor does a login: it goes into the user and password entries.
    type(*web, "url", "user:pw@www.example.org/page");
    click(*web, "ok");
    EXPECT_EQ(r.web.host, "www.example.org");
    EXPECT_STREQ(r.web.path.text(), "/page");
    EXPECT_STREQ(r.web.user.text(), "user");
    EXPECT_STREQ(r.web.password.text(), "pw");

    // Pasted: another scheme fills in nothing, a port out of range no port.
    auto ftps = ftpSettingsFromUrl("ftps://secure.example.org/");
    EXPECT_EQ((pastedRefusal<FtpSettingsDialog>(SettingsTitle::Ftp, *ftps, "host", "")), "Must enter a host name");
    auto farFtp = ftpSettingsFromUrl("ftp://files.example.test:99999/pub");
    EXPECT_EQ(farFtp->host, "files.example.test");
    EXPECT_EQ((pastedRefusal<FtpSettingsDialog>(SettingsTitle::Ftp, *farFtp, "port", "")), "Must enter a port");
    auto gophers = gopherSettingsFromUrl("gophers://hole.example.org/1x");
    EXPECT_EQ((pastedRefusal<GopherSettingsDialog>(SettingsTitle::Gopher, *gophers, "host", "")),
              "Must enter a host name");
    auto zeroGopher = gopherSettingsFromUrl("gopher://hole.example.test:0/1x");
    EXPECT_EQ((pastedRefusal<GopherSettingsDialog>(SettingsTitle::Gopher, *zeroGopher, "port", "")),
              "Must enter a port");
    auto farWeb = webSettingsFromUrl("http://www.example.test:99999/");
    EXPECT_EQ((pastedRefusal<WebSettingsDialog>(SettingsTitle::Web, *farWeb, "url", "http://www.example.test:99999/")),
              "Must enter a valid URL");
}
