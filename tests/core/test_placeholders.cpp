#include <gtest/gtest.h>

#include "core/client_command.h"
#include "core/gopher_vigil.h"
#include "core/web_vigil.h"

namespace {

VigilParams params(const char* host, uint16_t port) {
    VigilParams p;
    p.host = host;
    p.port = port;
    p.description = "Daily menu";
    p.cacheFileName = "cache\\00000001.mon";
    return p;
}

WebVigil webVigil() {
    return WebVigil(params("www.example.test", 8080), SimpleString("/a"), ChangeMethod::Detect, 0, 0, {},
                    std::nullopt);
}

}  // namespace

TEST(ClientCommand, WebPlaceholdersAndSpacing) {
    const WebVigil v = webVigil();
    EXPECT_EQ(ClientCommand::buildWeb(v, "browser", std::string("%URL")),
              "browser  http://www.example.test:8080/a");
    EXPECT_EQ(ClientCommand::buildWeb(v, "browser", std::string("%url -t %DESC")),
              "browser  http://www.example.test:8080/a -t Daily menu");
    // Runs of blanks give single blanks; another kind's placeholder and glued text stay.
    EXPECT_EQ(ClientCommand::buildWeb(v, "b", std::string("  %host    %URL/ x ")), "b  %host %URL/ x");
    EXPECT_EQ(ClientCommand::buildWeb(v, "browser", std::nullopt), "browser ");
    EXPECT_EQ(ClientCommand::buildWeb(v, "browser", std::string("")), "browser ");
}

TEST(ClientCommand, GopherPlaceholders) {
    const GopherVigil v(params("gopher.example.test", 7070), std::string("/menu"));
    EXPECT_EQ(ClientCommand::buildGopher(v, "gc", std::string("%HOST %Port %selector %url %desc %dir")),
              "gc  gopher.example.test 7070 /menu gopher://gopher.example.test:7070/1/menu Daily menu %dir");
}

TEST(ClientCommand, NotificationProgramLineExpandsWithTheKindsBuilder) {
    VigilParams p = params("gopher.example.test", 70);
    p.programLine = "notify-send %desc %selector";
    const GopherVigil gopher(p, std::string("/x"));
    EXPECT_EQ(gopher.commandLine(false), "notify-send %desc %selector");
    EXPECT_EQ(gopher.commandLine(true), "notify-send  Daily menu /x");

    WebVigil web = webVigil();
    web.setCommand(std::string("open"));
    EXPECT_EQ(web.commandLine(true), "open ");
    web.setCommand(std::string("open %URL %selector"));
    EXPECT_EQ(web.commandLine(true), "open  http://www.example.test:8080/a %selector");
}
