#include <gtest/gtest.h>

#include <string>

#include "app/status_texts.h"
#include "core/vigil.h"

namespace {
std::string text(const SimpleString& s) { return s.text(); }
}  // namespace

TEST(StatusTexts, TableAndCodes) {
    ASSERT_EQ(kStatusTextCount, 32);
    EXPECT_STREQ(statusTexts[0], "Initializing...");
    EXPECT_STREQ(statusTexts[1], " ");
    EXPECT_STREQ(statusTexts[15], "FTP Error - File Unavailable");
    EXPECT_STREQ(statusTexts[22],
                 "This document has been permanently moved.  Would you like to change the Vigil to go to the "
                 "new location?");
    EXPECT_STREQ(statusTexts[28],
                 "Not authorized.  You need to provide a user name and password for this page.");
    EXPECT_STREQ(statusTexts[31], "The web server had an error");

    EXPECT_EQ(text(statusText(1032)), "Changed!");
    EXPECT_EQ(text(statusText(1041)), "Could not resolve host name.");
    EXPECT_EQ(text(statusText(1078)), "Bad get.  Contact programmer");
    EXPECT_EQ(text(statusText(1039)), "Error");
    // The FTP failures, both ends included; everything else is "No change".
    EXPECT_EQ(text(statusText(1124)), "Error");
    EXPECT_EQ(text(statusText(1600)), "Error");
    EXPECT_EQ(text(statusText(1724)), "Error");
    for (int code : {1033, 1043, 1044, 1074, 1076, 1123, 1725, 0, -1})
        EXPECT_EQ(text(statusText(code)), "No change") << code;

    EXPECT_EQ(statusIcon(1654), IconId::Error);
    EXPECT_EQ(statusIcon(1655), IconId::Normal);
    EXPECT_EQ(statusIcon(1080), IconId::SiteProblem);
    EXPECT_EQ(statusIcon(1042), IconId::Normal);
    EXPECT_EQ(kindIcon(VigilKind::Gopher), IconId::Gopher);
    EXPECT_EQ(kindIcon(7), IconId::Program);
}
