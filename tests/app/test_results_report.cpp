#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

#include "app/results_report.h"
#include "core/run_state.h"
#include "support/probe_vigil.h"
#include "support/scratch_dir.h"

namespace {

using Vigils = std::vector<std::shared_ptr<Vigil>>;

std::shared_ptr<Vigil> site(const std::string& description, int status, const std::string& url) {
    auto v = std::make_shared<ProbeVigil>(probeParams(description, VigilStatus::NoChange), url);
    v->storeStatus(status);  // construction would turn "checking" into "no change"
    return v;
}

// Every status of the reason table, and the ones without a reason, in list order.
Vigils mixedList() {
    const std::vector<std::pair<int, std::string>> rows = {
        {1032, "Alpha"},   {1035, "Down"},     {1039, "Odd"},     {1041, "Nowhere"}, {1033, "Steady"},
        {1075, "Gone"},    {1078, "Bad"},      {1079, "ProxyAuth"}, {1080, "Locked"}, {1545, "NoService"},
        {1549, "NoConn"},  {1574, "Busy450"},  {1674, "Busy550"}, {1654, "NoLogin"}, {1677, "BadName"},
        {1082, "ProxyErr"}, {1083, "ServerErr"}, {1042, "Stopped"}, {1550, "Closed426"}, {1034, "Running"},
        {1077, "Found"},   {1044, "Shape"},    {1032, "Bravo"},   {1033, "Calm"},
    };
    Vigils vigils;
    for (const auto& [status, name] : rows) vigils.push_back(site(name, status, "http://" + name + "/"));
    return vigils;
}

}  // namespace

TEST(ResultsReport, TextReportOfEveryStatus) {
    EXPECT_EQ(ResultsReport::textReport(mixedList()),
              "The following sites have changed:\n"
              "---------------------------------\n"
              "  Alpha\n"
              "  Bravo\n"
              "\n"
              "The following sites had problems:\n"
              "---------------------------------\n"
              "  Down - Not Available\n"
              "  Odd - Unknown Error\n"
              "  Nowhere - Couldn't Resolve Host\n"
              "  Gone - HTML File Not Found\n"
              "  Bad - Bad HTTP Request\n"
              "  ProxyAuth - Proxy Authorization Required\n"
              "  Locked - Not Authorized\n"
              "  NoService - FTP Service Not Available\n"
              "  NoConn - FTP Couldn't Open Connection\n"
              "  Busy450 - FTP File Unavailable\n"
              "  Busy550 - FTP File Unavailable\n"
              "  NoLogin - FTP Not Logged In\n"
              "  BadName - FTP File Name Not Allowed\n"
              "  ProxyErr - Proxy Error\n"
              "  ServerErr - Web server error\n"
              "\n"
              "The following sites did not change:\n"
              "---------------------------------\n"
              "  Steady\n"
              "  Shape\n"  // "No change" in the list until a second check finds it so
              "  Calm\n");
}

TEST(ResultsReport, HtmlPageOfEveryStatus) {
    EXPECT_EQ(ResultsReport::htmlReport(mixedList()),
              "<HTML><TITLE>Tervane Results</TITLE><BODY><H1>Tervane Results</H1><HR>"
              "<H3>Changed Sites</H3>"
              "<A HREF=\"http://Alpha/\">Alpha</A><BR>"
              "<A HREF=\"http://Bravo/\">Bravo</A><BR>"
              "<BR><HR><H3>Sites That Had Problems</H3>"
              "<A HREF=\"http://Down/\">Down</A> - Not Available<br>"
              "<A HREF=\"http://Odd/\">Odd</A> - Unknown Error<BR>"
              "<A HREF=\"http://Nowhere/\">Nowhere</A> - Couldn't Resolve Host<BR>"
              "<A HREF=\"http://Gone/\">Gone</A> - HTML File Not Found<BR>"
              "<A HREF=\"http://Bad/\">Bad</A> - Bad HTTP Request<BR>"
              "<A HREF=\"http://ProxyAuth/\">ProxyAuth</A> - Proxy Authorization Required<BR>"
              "<A HREF=\"http://Locked/\">Locked</A> - Not Authorized<BR>"
              "<A HREF=\"http://NoService/\">NoService</A> - FTP Service Not Available<BR>"
              "<A HREF=\"http://NoConn/\">NoConn</A> - FTP Couldn't Open Connection<BR>"
              "<A HREF=\"http://Busy450/\">Busy450</A> - FTP File Unavailable<BR>"
              "<A HREF=\"http://Busy550/\">Busy550</A> - FTP File Unavailable<BR>"
              "<A HREF=\"http://NoLogin/\">NoLogin</A> - FTP Not Logged In<BR>"
              "<A HREF=\"http://BadName/\">BadName</A> - FTP File Name Not Allowed<BR>"
              "<A HREF=\"http://ProxyErr/\">ProxyErr</A> - The proxy had an error<BR>"
              "<A HREF=\"http://ServerErr/\">ServerErr</A> - The web server had an error<BR>"
              // no reason, no line break: the next anchor follows on the same line
              "<A HREF=\"http://Stopped/\">Stopped</A> - "
              "<A HREF=\"http://Closed426/\">Closed426</A> - "
              "<A HREF=\"http://Running/\">Running</A> - "
              "<A HREF=\"http://Found/\">Found</A> - "
              "<BR><HR><H3>Sites That Didn't Change</H3>"
              "<A HREF=\"http://Steady/\">Steady</A><BR>"
              "<A HREF=\"http://Shape/\">Shape</A><BR>"
              "<A HREF=\"http://Calm/\">Calm</A><BR>"
              "</BODY></HTML>\n");
}

TEST(ResultsReport, EmptySections) {
    EXPECT_EQ(ResultsReport::textReport({}),
              "The following sites have changed:\n---------------------------------\n"
              "\nThe following sites had problems:\n---------------------------------\n"
              "\nThe following sites did not change:\n---------------------------------\n");
    EXPECT_EQ(ResultsReport::htmlReport({}),
              "<HTML><TITLE>Tervane Results</TITLE><BODY><H1>Tervane Results</H1><HR>"
              "<H3>Changed Sites</H3><BR><HR><H3>Sites That Had Problems</H3>"
              "<BR><HR><H3>Sites That Didn't Change</H3></BODY></HTML>\n");

    // All unchanged: the first two sections hold their headings only.
    const Vigils calm = {site("One", 1033, "http://one/"), site("Two", 1033, "http://two/")};
    EXPECT_EQ(ResultsReport::textReport(calm),
              "The following sites have changed:\n---------------------------------\n"
              "\nThe following sites had problems:\n---------------------------------\n"
              "\nThe following sites did not change:\n---------------------------------\n"
              "  One\n  Two\n");
}

TEST(ResultsReport, HtmlPageEscapesDescriptionsAndAddresses) {
    const Vigils vigils = {
        site("Tom & Jerry <b>\"new\"</b>", 1032, "http://h/a?x=1&y=\"2\"<>"),
        site("Q&A", 1083, "http://h/q&a"),
    };
    EXPECT_EQ(ResultsReport::htmlReport(vigils),
              "<HTML><TITLE>Tervane Results</TITLE><BODY><H1>Tervane Results</H1><HR>"
              "<H3>Changed Sites</H3>"
              "<A HREF=\"http://h/a?x=1&amp;y=&quot;2&quot;&lt;&gt;\">"
              "Tom &amp; Jerry &lt;b&gt;&quot;new&quot;&lt;/b&gt;</A><BR>"
              "<BR><HR><H3>Sites That Had Problems</H3>"
              "<A HREF=\"http://h/q&amp;a\">Q&amp;A</A> - The web server had an error<BR>"
              "<BR><HR><H3>Sites That Didn't Change</H3></BODY></HTML>\n");
    // The text report is plain text and keeps them as they are.
    EXPECT_NE(ResultsReport::textReport(vigils).find("  Tom & Jerry <b>\"new\"</b>\n"), std::string::npos);
    // ... but control characters, as blanks: an ESC sequence would run in a terminal.
    const std::string text = ResultsReport::textReport({site("A\x1b[2J\a", 1032, "a"), site("B\r\x7f", 1078, "b")});
    EXPECT_NE(text.find("\n  A [2J \n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  B   - Bad HTTP Request\n"), std::string::npos) << text;
    const std::string page = ResultsReport::htmlReport({site("A\x1b[2J\a", 1032, "http://h/\x1b")});
    EXPECT_NE(page.find("<A HREF=\"http://h/ \">A [2J </A><BR>"), std::string::npos) << page;
}

TEST(ResultsReport, WrittenToTheNamedFilesOrSkipped) {
    ScratchDir dir;
    setenv("TERVANE_TRACE", (dir.path() / "trace").c_str(), 1);
    appendToVigilList(site("Alpha", 1032, "http://a/"));
    appendToVigilList(nullptr);  // a list slot without a Vigil is passed over
    appendToVigilList(site("Bravo", 1041, "http://b/"));
    const Vigils listed = {vigilList().at(0), vigilList().at(2)};

    std::filesystem::create_directory("out");
    runState().textReportName = "out\\results.txt";
    runState().htmlReportName = "results.html";
    ResultsReport::writeText(vigilList().snapshot());
    ResultsReport::writeHtml(vigilList().snapshot());
    EXPECT_EQ(ScratchDir::read("out/results.txt"), ResultsReport::textReport(listed));
    EXPECT_EQ(ScratchDir::read("results.html"), ResultsReport::htmlReport(listed));

    // A file that cannot be created is skipped, and the run is told it failed.
    runState().textReportName = "missing/results.txt";
    runState().htmlReportName = "missing/results.html";
    ResultsReport::writeText(vigilList().snapshot());
    ResultsReport::writeHtml(vigilList().snapshot());
    EXPECT_FALSE(std::filesystem::exists("missing"));
    EXPECT_TRUE(runFailed());
    EXPECT_EQ(ScratchDir::read("trace"),
              "text report: out\\results.txt\n"
              "html report: results.html\n"
              "failure: text report not written: missing/results.txt (No such file or directory)\n"
              "failure: html report not written: missing/results.html (No such file or directory)\n");
    unsetenv("TERVANE_TRACE");
}
