#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/ftp_vigil.h"
#include "core/gopher_vigil.h"
#include "core/program_settings.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "core/web_vigil.h"
#include "import/import_favorites.h"
#include "import/import_html.h"
#include "import/import_lists.h"
#include "import/import_record.h"
#include "import/import_sources.h"
#include "support/server_process.h"

namespace {

std::string fixture(const std::string& name) { return std::string(TERVANE_FIXTURES_DIR) + "/import/" + name; }

struct Imported {
    int result = -1;
    std::vector<std::string> titles, lines;
};

Imported run(Importer importer, const std::string& path) {
    ImportList items;
    Imported out;
    out.result = importer(path, items);
    for (const ImportItem& item : items) {
        out.titles.emplace_back(item.displayText.text());
        out.lines.emplace_back(item.recordLine.text());
    }
    return out;
}

// Every test starts from the built-in settings: interval 21600, no notification,
// no FTP user or password.
class ImportTest : public ::testing::Test {
protected:
    void SetUp() override { ProgramSettings::reset(); }
};

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(ImportTest, NetscapeBookmarkFile) {
    const Imported got = run(importAnchorHtml, fixture("bookmark.htm"));
    EXPECT_EQ(got.result, 1);
    EXPECT_EQ(got.lines,
              (Lines{
                  // Three attributes after the URL: no date.
                  "|http|Example News|1|www.example.com|80|/news/index.html|21600|0|0|0|0|0|0|4105|||",
                  // The fourth attribute is LAST_MODIFIED; the title's '|' and line end are blanked.
                  "|http|Intranet   Staff Pages|1;USER:user;PASS:secret|intranet.example.com|8080|/|21600|"
                  "880000004|0|0|0|880000004|0|4105|||",
                  "|ftp|Example FTP|1|ftp.example.org|21|/pub/||21600|0|0|0|||4105||",
                  // The token after the anchor is the title even when it is a tag.
                  "|gopher|<IMG SRC=\"g.gif\">|1|gopher.example.net|70|/|21600|0|0|0|4105||",
                  // A '|' in the path: another separator keeps the fields apart.
                  ")http)Pipe path)1)WWW.EXAMPLE.COM)80)/A|B.HTML)21600)0)0)0)0)0)0)4105)))",
              }));
    EXPECT_EQ(got.titles, (Lines{"Example News", "Intranet   Staff Pages", "Example FTP", "<IMG SRC=\"g.gif\">",
                                 "Pipe path"}));
}

TEST_F(ImportTest, PowermarksAndOtherHtml) {
    const Imported pm = run(importAnchorHtml, fixture("pm20.htm"));
    EXPECT_EQ(pm.lines,
              (Lines{"|http|Powermarks Page|1|www.example.com|80|/pm.html|21600|901234567|0|0|0|901234567|0|4105|||",
                     "|gopher|About|1|gopher.example.net|7070|about.txt|21600|0|0|0|4105||"}));

    // In-page and relative links give nothing; an anchor that ends the file has no title.
    const Imported other = run(importAnchorHtml, fixture("other.html"));
    EXPECT_EQ(other.lines,
              (Lines{"|http|Other Page|1|www.example.com|80|/other.html|21600|0|0|0|0|0|0|4105|||",
                     "|ftp|Incoming|1|ftp.example.org|2121|/incoming||21600|0|0|0|||4105||"}));

    // HREF anywhere in an A tag, in any case and quoting; its entities decoded; the URL for an empty text.
    const Imported hotlist = run(importAnchorHtml, fixture("hotlist.htm"));
    EXPECT_EQ(hotlist.lines,
              (Lines{"|http|First|1|a.example.com|80|/first|21600|0|0|0|0|0|0|4105|||",
                     "|http|Single quotes|1|b.example.com|80|/b|21600|0|0|0|0|0|0|4105|||",
                     "|http|Unquoted|1|c.example.com|80|/c|21600|0|0|0|0|0|0|4105|||",
                     "|http|Entity|1|www.example.com|80|/url?q=x&sa=U|21600|0|0|0|0|0|0|4105|||",
                     "|gopher|gopher://g.example.net/1/x|1|g.example.net|70|/x|21600|0|0|0|4105||"}));
    EXPECT_EQ(run(importConnexionHtml, fixture("hotlist.htm")).lines, hotlist.lines);

    // Blanks around the address are no part of it.
    TempDir dir("tervane-import");
    ASSERT_TRUE(writeWholeFile(dir.file("blanks.html"), "<A HREF=\" http://j.example/ \">J</A>\n"));
    EXPECT_EQ(run(importAnchorHtml, dir.file("blanks.html")).lines,
              (Lines{"|http|J|1|j.example|80|/|21600|0|0|0|0|0|0|4105|||"}));
}

TEST_F(ImportTest, ConnexionCollection) {
    const Imported got = run(importConnexionHtml, fixture("connex.htm"));
    EXPECT_EQ(got.result, 1);
    EXPECT_EQ(got.lines, (Lines{"|http|Connexion Site|1|www.example.com|80|/connex/|21600|0|0|0|0|0|0|4105|||",
                                "|gopher|Gopher Pub|1|gopher.example.net|7070|/pub|21600|0|0|0|4105||"}));
}

TEST_F(ImportTest, EmTecServerList) {
    const Imported plain = run(importFtpSvr, fixture("ftp.svr"));
    EXPECT_EQ(plain.result, 1);
    EXPECT_EQ(plain.lines,
              (Lines{"|ftp|Example Mirror|1|ftp.example.org|21|/pub/mirror||21600|0|0|0|anonymous|me@example.com|4105||",
                     ")ftp)Private Box)1)files.example.com)2121)/))21600)0)0)0)joe)pw|x)4105))"}));
    EXPECT_EQ(plain.titles, (Lines{"Example Mirror", "Private Box"}));

    // With a program among the default notifications its line follows the flags.
    ProgramSettings::update([](SettingsValues& s) {
        s.defNotify = 0x11;
        s.defCmd = "notify.sh %URL";
        s.defSoundFile = "ding.wav";
        s.defCheckInterval = 600;
    });
    const Imported program = run(importFtpSvr, fixture("ftp.svr"));
    ASSERT_EQ(program.lines.size(), 2u);
    EXPECT_EQ(program.lines[0],
              "|ftp|Example Mirror|1|ftp.example.org|21|/pub/mirror||600|0|0|17|notify.sh %URL|anonymous|"
              "me@example.com|4105||ding.wav");

    // The reader finds every field in its place.
    auto vigil = std::dynamic_pointer_cast<FtpVigil>(VigilStore::parseRecord(program.lines[1], vigilList()));
    ASSERT_TRUE(vigil);
    EXPECT_EQ(vigil->description(), "Private Box");
    EXPECT_EQ(vigil->host(), "files.example.com");
    EXPECT_EQ(vigil->port(), 2121);
    EXPECT_EQ(vigil->directory().value_or(""), "/");
    EXPECT_EQ(vigil->commandLine().value_or(""), "notify.sh %URL");
    EXPECT_EQ(vigil->user(), "joe");
    EXPECT_EQ(vigil->password(), "pw|x");
    EXPECT_EQ(vigil->soundFile().value_or(""), "ding.wav");
    EXPECT_EQ(vigil->interval(), 600);
}

TEST_F(ImportTest, WebExplorerQuickList) {
    const Imported got = run(importExploreIni, fixture("explore.ini"));
    EXPECT_EQ(got.lines, (Lines{"|http|IBM Home Page|1|www.ibm.example.com|80|/|21600|0|0|0|0|0|0|4105|||",
                                "|gopher|Gopher   Menu|1|gopher.example.net|70|/|21600|0|0|0|4105||",
                                // The title was used up by the entry before.
                                "|ftp||1|ftp.example.org|21|/pub||21600|0|0|0|||4105||",
                                "|http||1|nontitled.example.com|80|/x.html|21600|0|0|0|0|0|0|4105|||"}));
}

TEST_F(ImportTest, WebNavigatorQuickLists) {
    // The count promises three pairs; the file holds two.
    const Imported txt = run(importQuicklistTxt, fixture("quiklist.txt"));
    EXPECT_EQ(txt.lines, (Lines{"|http|Example   Home|1|www.example.com|80|/|21600|0|0|0|0|0|0|4105|||",
                                "|gopher|Gopher Root|1|gopher.example.net|70|/|21600|0|0|0|4105||"}));

    // A '-' URL is a separator; the title keeps its '|', so the line picks another separator.
    const Imported dat = run(importQuicklistDat, fixture("quiklist.dat"));
    EXPECT_EQ(dat.lines, (Lines{"|http|Example Docs|1|docs.example.com|80|/manual/|21600|0|0|0|0|0|0|4105|||",
                                ")ftp)Pipe|Title)1)ftp.example.org)2121)/home/joe))21600)0)0)0)joe)pw)4105))"}));
    EXPECT_EQ(dat.titles, (Lines{"Example Docs", "Pipe|Title"}));
}

TEST_F(ImportTest, OperaAddressFiles) {
    const Imported v2 = run(importOperaAdr, fixture("opera.adr"));
    EXPECT_EQ(v2.lines, (Lines{"|http|Example Search|1|search.example.com|80|/|21600|0|0|0|0|0|0|4105|||",
                               "|http|0 Mirrors|1|m1.example.com|80|/|21600|0|0|0|0|0|0|4105|||",
                               "|ftp|1 Mirrors|1|m2.example.com|21|/pub/||21600|0|0|0|||4105||",
                               "|gopher|Zero URL Entry|1|gopher.example.net|70|/|21600|0|0|0|4105||"}));

    const Imported v3 = run(importOpera3Adr, fixture("opera3.adr"));
    EXPECT_EQ(v3.lines,
              (Lines{"|http|Example Portal|1|portal.example.com|80|/start.html|21600|0|0|0|0|0|0|4105|||",
                     ")ftp)Tabs|and stuff)1)ftp.example.org)21)/))21600)0)0)0)))4105))"}));
}

TEST_F(ImportTest, AnotherVigilFile) {
    const Imported got = run(importVigilFile, fixture("vigil.dat"));
    EXPECT_EQ(got.result, 1);
    EXPECT_EQ(got.titles, (Lines{"Old Page", "Pipe | Page", "Gopher Item"}));
    EXPECT_EQ(got.lines,
              (Lines{"|http|Old Page|0;EMAIL:a@example.com |www.example.com|80|/old.html|3600|900000000|900000100|"
                     "1|0|900000000|0|9|||",
                     ")http)Pipe | Page)0)www.example.com)80)/p|q)3600)0)0)1)-1)0)0)18)))",
                     "|gopher|Gopher Item|0|gopher.example.net|70|/about|86400|0|0|1|9||"}));

    TempDir dir("tervane-import");
    for (const std::string first : {"", "My Vigils", "\xef\xbb\xbf"}) {  // skipped whatever it holds
        ASSERT_TRUE(writeWholeFile(dir.file("vigil.dat"), first + "\n|gopher|G|0|g.example.com|70|/s|60|0|0|1|9||\n"));
        EXPECT_EQ(run(importVigilFile, dir.file("vigil.dat")).titles, (Lines{"G"})) << first;
    }
    // Another list's program is none to run here: flag 0x10 and the program field go.
    ASSERT_TRUE(writeWholeFile(dir.file("other.dat"),
                               "2\n|http|Harmless|0|h.example|80|/news|60|0|0|16|sh -c \"id > $HOME/owned\"|0|0|0|9|||\n"
                               "|ftp|Files|0|f.example|21|/pub||60|0|0|-32687|xterm|joe|pw|9||x.log|\n"));
    const Imported other = run(importVigilFile, dir.file("other.dat"));
    EXPECT_EQ(other.lines, (Lines{"|http|Harmless|0|h.example|80|/news|60|0|0|0|0|0|0|9|||",
                                  "|ftp|Files|0|f.example|21|/pub||60|0|0|-32703|joe|pw|9||x.log|"}));

    // Whatever the bytes, the line as kept reads without a program: a NUL before the
    // flags, a NUL separator with blanks between the fields, a blank separator with
    // a TAB in the description (made a blank, it would shift the fields), and the
    // fuzzer's NUL before flags of -1.
    const std::string nul(1, '\0');
    ASSERT_TRUE(writeWholeFile(dir.file("nul.dat"),
                               "4\n|http|Harmless|0|127.0.0.1|80|/a|60|0|0|" + nul + "16|sh -c id|0|0|0|9|||\n" +
                                   nul + "http Sep 0 127.0.0.1 80 /b 60 0 0 16 sh\t-c\tid 0 0 0 9  \n"
                                   " http D\tx 0 127.0.0.1 80 /c 60 0 16 sh\t-c\tid 0 0 0 9\n"
                                   "|gopher|G|0|127.0.0.1|70|/s|60|0|0|" + nul + "-1|9||\n"));
    const Imported tricked = run(importVigilFile, dir.file("nul.dat"));
    ASSERT_EQ(tricked.lines.size(), 4u);
    for (const std::string& line : tricked.lines) {
        const auto vigil = VigilStore::parseRecord(line, vigilList(), VigilStore::CacheName::Drop);
        ASSERT_TRUE(vigil) << line;
        EXPECT_EQ(vigil->flags() & NotifyFlags::Program, 0) << line;
        EXPECT_FALSE(vigil->commandLine()) << line;
        EXPECT_EQ(vigil->description().find_first_of("\t\x1b"), std::string::npos) << line;
    }
    EXPECT_EQ(tricked.titles[2], "Dx");
}

TEST_F(ImportTest, FavoritesFolder) {
    // Files of a folder by name before its subfolders; ".url" is cut only in lower case;
    // "Windows 10" has property blocks before its [InternetShortcut] section.
    const Imported got = run(importFavorites, fixture("favorites"));
    EXPECT_EQ(got.result, 1);
    EXPECT_EQ(got.titles, (Lines{"Example Site", "SHOUT.URL", "Gopher Menu", "Windows 10"}));
    EXPECT_EQ(got.lines, (Lines{"|http|Example Site|1|www.example.com|80|/site/|21600|0|0|0|0|0|0|4105|||",
                                "|ftp|SHOUT.URL|1|ftp.example.org|21|/pub/||21600|0|0|0|||4105||",
                                "|gopher|Gopher Menu|1|gopher.example.net|70|/docs|21600|0|0|0|4105||",
                                "|http|Windows 10|1|www.example.com|80|/modern/|21600|0|0|0|0|0|0|4105|||"}));

    // No folder picked, or none there: nothing, and still success.
    EXPECT_EQ(run(importFavorites, "").result, 1);
    EXPECT_TRUE(run(importFavorites, fixture("no-such-folder")).lines.empty());
}

TEST_F(ImportTest, FavoritesNamesWithSeparatorsAndLinkLoops) {
    TempDir dir("tervane-favorites");
    ASSERT_TRUE(writeWholeFile(dir.file("Pipe|Name\nTwo.url"), "[InternetShortcut]\nURL=http://a.example.com/\n"));
    ASSERT_EQ(::symlink(dir.path().c_str(), dir.file("loop").c_str()), 0);
    const Imported got = run(importFavorites, dir.path());
    // One line with its fields in place; the line break of the name is no line break.
    EXPECT_EQ(got.lines, (Lines{")http)Pipe|Name Two)1)a.example.com)80)/)21600)0)0)0)0)0)0)4105)))"}));
    EXPECT_EQ(got.titles, (Lines{"Pipe|Name Two"}));
}

TEST_F(ImportTest, FavoritesReadOnlyShortcutsInsideTheFolder) {
    TempDir outside("tervane-outside");
    TempDir dir("tervane-favorites");
    ASSERT_TRUE(writeWholeFile(outside.file("far.url"), "[InternetShortcut]\nURL=http://far.example.com/\n"));
    ASSERT_TRUE(writeWholeFile(dir.file("target.txt"), "[InternetShortcut]\nURL=http://near.example.com/\n"));
    ASSERT_EQ(::symlink(outside.file("far.url").c_str(), dir.file("far.url").c_str()), 0);
    ASSERT_EQ(::symlink("target.txt", dir.file("near.url").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.file("pipe.url").c_str(), 0600), 0);
    // Its second line begins beyond what is read of a shortcut.
    ASSERT_TRUE(writeWholeFile(dir.file("wide.url"), std::string(100000, 'x') + "\nURL=http://wide.example.com/\n"));

    auto walk = std::async(std::launch::async, [&dir] { return run(importFavorites, dir.path()); });
    const bool finished = walk.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!finished) {  // let the blocked open return, so that the test can end
        const int writer = ::open(dir.file("pipe.url").c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    }
    EXPECT_TRUE(finished) << "the walk waited on a FIFO";
    const Imported got = walk.get();
    EXPECT_EQ(got.titles, (Lines{"near"}));
    EXPECT_EQ(got.lines, (Lines{"|http|near|1|near.example.com|80|/|21600|0|0|0|0|0|0|4105|||"}));
}

TEST_F(ImportTest, HtmlTitlesDecodeTheirEntitiesOnce) {
    TempDir dir("tervane-import");
    const std::string anchors =
        "<DT><A HREF=\"http://a.example.com/?x=1&amp;y=2\">Recipes &amp; more</A>\n"
        "<DT><A HREF=\"http://b.example.com/\">&lt;b&gt; &quot;q&quot; &#39;s&apos;&nbsp;&amp;amp; AT&T &copy;</A>\n"
        "<DT><A HREF=\"http://c.example.com/\">caf&#233; &#x263a; &#1114112; &#xd800;</A>\n";
    ASSERT_TRUE(writeWholeFile(dir.file("utf8.htm"), anchors));
    // A file that is no UTF-8 (its 0xE9 is Latin-1) gets Latin-1 characters only.
    ASSERT_TRUE(writeWholeFile(dir.file("latin1.htm"), anchors + "<A HREF=\"http://d.example.com/\">caf\xe9</A>\n"));

    const Imported utf8 = run(importAnchorHtml, dir.file("utf8.htm"));
    EXPECT_EQ(utf8.titles, (Lines{"Recipes & more", "<b> \"q\" 's'\xc2\xa0&amp; AT&T &copy;",
                                  "caf\xc3\xa9 \xe2\x98\xba &#1114112; &#xd800;"}));
    ASSERT_EQ(utf8.lines.size(), 3u);
    EXPECT_EQ(utf8.lines[0], "|http|Recipes & more|1|a.example.com|80|/?x=1&y=2|21600|0|0|0|0|0|0|4105|||");
    auto vigil = VigilStore::parseRecord(utf8.lines[0], vigilList());
    ASSERT_TRUE(vigil);
    EXPECT_EQ(vigil->description(), "Recipes & more");

    const Imported latin1 = run(importAnchorHtml, dir.file("latin1.htm"));
    ASSERT_EQ(latin1.titles.size(), 4u);
    EXPECT_EQ(latin1.titles[1], "<b> \"q\" 's'\xa0&amp; AT&T &copy;");
    EXPECT_EQ(latin1.titles[2], "caf\xe9 &#x263a; &#1114112; &#xd800;");
}

TEST_F(ImportTest, ControlCharactersInTitlesBecomeBlanks) {
    TempDir dir("tervane-import");
    const std::string nul(1, '\0');
    const std::pair<Importer, std::string> sources[] = {
        {importAnchorHtml, "<A HREF=\"http://a.example.com/\">Html" + nul + "Title\x01</A>\n"},
        {importFtpSvr, "Ftp" + nul + "Title\x7f\tftp.example.org\t/\t0\tu\tp\t0\t0\t0\t21\n"},
        {importExploreIni, "[quicklist]\nquicklist= Ini" + nul + "Title\x1b\nhttp://b.example.com/\n"},
        {importQuicklistTxt, "1\nTxt" + nul + "Title\t\nhttp://c.example.com/\n"},
        {importOpera3Adr, "\tNAME=Opera" + nul + "Title\x02\n\tURL=http://d.example.com/\n"},
        {importVigilFile, "1\n|gopher|Dat" + nul + "Title\x1b|0|g.example.com|70|/s|3600|0|0|1|9||\n"},
    };
    const char* const titles[] = {"Html Title ", "Ftp Title ", "Ini Title ", "Txt Title ", "Opera Title ",
                                  "Dat Title "};
    for (size_t i = 0; i < std::size(sources); ++i) {
        const std::string path = dir.file("source" + std::to_string(i));
        ASSERT_TRUE(writeWholeFile(path, sources[i].second));
        const Imported got = run(sources[i].first, path);
        ASSERT_EQ(got.titles, (Lines{titles[i]})) << i;
        // The whole line reaches the reader, which builds the Vigil from it.
        auto vigil = VigilStore::parseRecord(got.lines.front(), vigilList());
        ASSERT_TRUE(vigil) << got.lines.front();
        EXPECT_EQ(vigil->description(), titles[i]);
    }

    // A NUL in another field is a blank too, and the row adds the Vigil it lists.
    ASSERT_TRUE(writeWholeFile(dir.file("nul.svr"), "Srv\th.example\t/p" + nul + "b\t0\tjo" + nul + "e\tpw\t0\t0\t0\t2121\n"));
    const Lines ftp = run(importFtpSvr, dir.file("nul.svr")).lines;
    EXPECT_EQ(ftp, (Lines{"|ftp|Srv|1|h.example|2121|/p b||21600|0|0|0|jo e|pw|4105||"}));
    EXPECT_TRUE(VigilStore::parseRecord(ftp.at(0), vigilList()));
    ASSERT_TRUE(writeWholeFile(dir.file("nul.txt"), "1\nT\nhttp://n.example/a" + nul + "b\n"));
    EXPECT_EQ(run(importQuicklistTxt, dir.file("nul.txt")).lines,
              (Lines{"|http|T|1|n.example|80|/a b|21600|0|0|0|0|0|0|4105|||"}));
}

TEST_F(ImportTest, RecordsFromUrls) {
    VigilRecordParts parts;
    // Only the three kinds; a URL naming another scheme that begins alike is none of them.
    for (const char* url : {"https://secure.example.com/", "mailto:x@example.com", "news:comp.lang", "http://",
                            "ftps://ftp.example.org/", "file:///tmp/x"})
        EXPECT_EQ(makeVigilRecord(url, std::nullopt, parts), 0) << url;
    // Any case; and text after the four letters is taken as the host.
    EXPECT_EQ(makeVigilRecord("HTTP://Host.Example.COM", std::nullopt, parts), 1);
    EXPECT_EQ(recordLine(parts.kind, "t", parts.tail), "|http|t|1|Host.Example.COM|80|/|21600|0|0|0|0|0|0|4105|||");
    EXPECT_EQ(makeVigilRecord("httpwww.example.com/x", std::nullopt, parts), 1);
    EXPECT_EQ(parts.tail[1], "httpwww.example.com");
    // The host ends at a query as at a path.
    ASSERT_EQ(makeVigilRecord("http://127.0.0.1:24111?q=1", std::nullopt, parts), 1);
    EXPECT_EQ(recordLine(parts.kind, "q", parts.tail), "|http|q|1|127.0.0.1|24111|/?q=1|21600|0|0|0|0|0|0|4105|||");
    // A Gopher selector comes decoded; a control character but the TAB of a search refuses it.
    ASSERT_EQ(makeVigilRecord("gopher://h:70/7/v2/vs%09gopher%20words", std::nullopt, parts), 1);
    EXPECT_EQ(parts.tail[3], "/v2/vs\tgopher words");
    for (const char* url : {"gopher://h/1a%00b", "gopher://h/1a%0D%0AQUIT", "gopher://h/1a\x1b"})
        EXPECT_EQ(makeVigilRecord(url, std::nullopt, parts), 0) << url;

    // FTP user and password: the URL's, else the settings'.
    ProgramSettings::update([](SettingsValues& s) {
        s.hasFtpUser = s.hasFtpPassword = true;
        s.ftpUser = "anon";
        s.ftpPassword = "me@example.com";
    });
    ASSERT_EQ(makeVigilRecord("ftp://ftp.example.org", "12345", parts), 1);
    EXPECT_EQ(recordLine(parts.kind, "f", parts.tail),
              "|ftp|f|1|ftp.example.org|21|||21600|12345|0|0|anon|me@example.com|4105||");
    ASSERT_EQ(makeVigilRecord("ftp://joe:pw@ftp.example.org:2121/home", std::nullopt, parts), 1);
    EXPECT_EQ(recordLine(parts.kind, "f", parts.tail),
              "|ftp|f|1|ftp.example.org|2121|/home||21600|0|0|0|joe|pw|4105||");
}

TEST_F(ImportTest, ImportedLinesBuildTheirVigils) {
    const Imported got = run(importAnchorHtml, fixture("bookmark.htm"));
    ASSERT_EQ(got.lines.size(), 5u);

    auto intranet = std::dynamic_pointer_cast<WebVigil>(VigilStore::parseRecord(got.lines[1], vigilList()));
    ASSERT_TRUE(intranet);
    EXPECT_EQ(intranet->port(), 8080);
    EXPECT_EQ(intranet->lastChanged(), 880000004);
    EXPECT_EQ(intranet->lastModified(), 880000004);
    EXPECT_EQ(intranet->changeMethod(), 0);
    EXPECT_EQ(intranet->flags(), 0);
    EXPECT_STREQ(intranet->user().text(), "user");
    EXPECT_STREQ(intranet->password().text(), "secret");

    auto pipe = std::dynamic_pointer_cast<WebVigil>(VigilStore::parseRecord(got.lines[4], vigilList()));
    ASSERT_TRUE(pipe);
    EXPECT_EQ(pipe->description(), "Pipe path");
    EXPECT_STREQ(pipe->path().text(), "/A|B.HTML");
    EXPECT_EQ(pipe->interval(), 21600);

    auto gopher = std::dynamic_pointer_cast<GopherVigil>(VigilStore::parseRecord(got.lines[3], vigilList()));
    ASSERT_TRUE(gopher);
    EXPECT_EQ(gopher->selector(), "/");
    EXPECT_EQ(gopher->interval(), 21600);
}

TEST_F(ImportTest, LoginsAndSelectorsReadBackAsImported) {
    const Imported got = run(importAnchorHtml, fixture("logins.htm"));
    // A login the record cannot give back as it is stays out; a password alone is kept.
    EXPECT_EQ(got.lines, (Lines{"|http|Semicolon user|1|www.example.org|80|/|21600|0|0|0|0|0|0|4105|||",
                                "|http|Semicolon password|1|www.example.org|80|/|21600|0|0|0|0|0|0|4105|||",
                                "|http|Password alone|1;USER:;PASS:onlypw|www.example.org|80|/|21600|0|0|0|0|0|0|"
                                "4105|||",
                                "|gopher|Gopher fragment|1|h.example|70|/|21600|0|0|0|4105||",
                                "|gopher|Gopher query|1|h.example|70|/|21600|0|0|0|4105||"}));
    ASSERT_EQ(got.lines.size(), 5u);
    auto alone = std::dynamic_pointer_cast<WebVigil>(VigilStore::parseRecord(got.lines[2], vigilList()));
    ASSERT_TRUE(alone);
    EXPECT_STREQ(alone->user().text(), "");
    EXPECT_STREQ(alone->password().text(), "onlypw");
}

TEST_F(ImportTest, UnreadableFilesGiveNothing) {
    for (int source = 0; source < ImportSource::Count; ++source) {
        if (source == ImportSource::InternetExplorer) continue;
        const Imported got = run(ImportSources::importer(source), fixture("missing.file"));
        EXPECT_EQ(got.result, 0) << ImportSources::text(source);
        EXPECT_TRUE(got.lines.empty());
    }
}

TEST_F(ImportTest, LongLinesAreReadWholeAndRecordsBeyondTheBoundLeftOut) {
    TempDir dir("tervane-import");
    const std::string path = "/" + std::string(5000, 'p');
    const std::string title(3000, 't');
    ASSERT_TRUE(writeWholeFile(dir.file("quiklist.txt"), "1\n" + title + "\nhttp://long.example.com" + path + "\n"));
    const Imported got = run(importQuicklistTxt, dir.file("quiklist.txt"));
    EXPECT_EQ(got.lines, (Lines{"|http|" + title + "|1|long.example.com|80|" + path +
                                "|21600|0|0|0|0|0|0|4105|||"}));

    // Each source: an entry over the bound (its title, URL or line), then one that is kept.
    const std::string huge(kImportRecordLimit, 'x');
    const std::pair<Importer, std::string> sources[] = {
        {importAnchorHtml, "<A HREF=\"http://a.example/\">" + huge + "</A><A HREF=\"http://a.example/" + huge +
                               "\">A</A><A HREF=\"http://k.example/\">Kept</A>"},
        {importFtpSvr, huge + "\th.example\t/\t0\tu\tp\t0\t0\t0\t21\nKept\tk.example\t/\t0\tu\tp\t0\t0\t0\t21\n"},
        {importExploreIni, "[quicklist]\nquicklist= " + huge + "\nhttp://a.example/\nquicklist= Kept\nhttp://k.example/\n"},
        {importQuicklistTxt, "2\nA\nhttp://a.example/" + huge + "\nKept\nhttp://k.example/\n"},
        {importOpera3Adr, "NAME=" + huge + "\nURL=http://a.example/\nNAME=Kept\nURL=http://k.example/\n"},
        {importVigilFile, "2\n|gopher|" + huge + "|0|g.example|70|/|60|0|0|0|9||\n|gopher|Kept|0|k.example|70|/|60|0|0|0|9||\n"},
    };
    for (size_t i = 0; i < std::size(sources); ++i) {
        const std::string file = dir.file("big" + std::to_string(i));
        ASSERT_TRUE(writeWholeFile(file, sources[i].second));
        EXPECT_EQ(run(sources[i].first, file).titles, (Lines{"Kept"})) << i;
    }
}
