#include <gtest/gtest.h>

#include "core/html_tokens.h"
#include "support/scratch_dir.h"

namespace {

// Web Vigil option bits
const int kIgnoreTags = 0x01;
const int kAlwaysCompare = 0x02;

std::vector<std::string> tokens(std::string_view text, bool wordMode) {
    std::vector<std::string_view> views;
    tokenizeHtmlText(text, wordMode, views);
    return std::vector<std::string>(views.begin(), views.end());
}

// Writes a file in the scratch folder (the working directory) and names it.
std::string put(const std::string& name, const std::string& bytes) {
    ScratchDir::write(name, bytes);
    return name;
}

using Tokens = std::vector<std::string>;

const char kHead[] = "HTTP/1.0 200 OK\r\nServer: t\r\nContent-Type: text/html\r\n\r\n";

}  // namespace

TEST(Tokenizer, WholeRunModeKeepsRunsAndStartsAtTheFirstTagLine) {
    const char* page =
        "no tag on this line\n"
        "lead <p class=a>Hello,  world\n"
        "again<!-- a > b -->\n"
        "<a\nhref=x>link</a> tail text";
    EXPECT_EQ(tokens(page, false),
              (Tokens{"lead ", "<p class=a>", "Hello,  world\nagain", "<!-- a > b -->", "<a\nhref=x>", "link",
                      "</a>"}));
    EXPECT_TRUE(tokens("plain text only\n", false).empty());
    // Whitespace-only runs and an unclosed tag at the end give nothing
    EXPECT_EQ(tokens("<b>\n \t\r\n<i>x<unclosed", false), (Tokens{"<b>", "<i>", "x"}));
    EXPECT_EQ(tokens("<b>x<!-- never closed > <i>", false), (Tokens{"<b>", "x"}));
    EXPECT_EQ(tokens("<!-->x", false), (Tokens{"<!-->"}));
}

TEST(Tokenizer, WordModeKeepsEveryWord) {
    EXPECT_EQ(tokens("<p>a b\nc\td\r\ne  </p>", true), (Tokens{"<p>", "a", "b", "c", "d", "e", "</p>"}));
    // Text before the first tag and after the last one counts too
    EXPECT_EQ(tokens("intro words\n<br>after it", true), (Tokens{"intro", "words", "<br>", "after", "it"}));
    EXPECT_EQ(tokens("just text\n", true), (Tokens{"just", "text"}));
    EXPECT_TRUE(tokens(" \r\n\t", true).empty());
    EXPECT_EQ(tokens("x<!-- c -- > -->y", true), (Tokens{"x", "<!-- c -- > -->", "y"}));
}

class Compare : public ::testing::Test {
protected:
    int compare(const std::string& previous, const std::string& next, int options = 0,
                const std::vector<std::string>& ignore = {}) {
        const std::string a = put("prev.mon", previous);
        const std::string b = put("next.mon", next);
        return compareContentFiles(a.c_str(), b.c_str(), options, ignore);
    }
    ScratchDir dir;
};

TEST_F(Compare, EqualPagesAndARealChange) {
    const std::string page = std::string(kHead) + "<html><body><p>Price: 10 EUR</p></body></html>\r\n";
    EXPECT_EQ(compare(page, page), ContentUnchanged);
    EXPECT_EQ(compare(page, std::string(kHead) + "<html><body><p>Price: 12 EUR</p></body></html>\r\n"),
              ContentChanged);
    // A longer copy is a change
    EXPECT_EQ(compare(page, std::string(kHead) + "<html><body><p>Price: 10 EUR</p></body></html>\r\n<p>"),
              ContentChanged);
    // Reflowed text is not
    EXPECT_EQ(compare(page, std::string(kHead) + "<html><body><p>Price:\n   10\tEUR</p></body></html>"),
              ContentUnchanged);
}

TEST_F(Compare, OnlyTheBodyIsCompared) {
    const std::string body = "<html><p>same</p></html>";
    EXPECT_EQ(compare("HTTP/1.1 200 OK\r\nDate: Mon, 01 Jan 2024 10:00:00 GMT\r\nLink: <a.css>; rel=x\r\n\r\n" + body,
                      "HTTP/1.1 200 OK\r\nDate: Tue, 02 Jan 2024 11:00:00 GMT\r\nLink: <b.css>; rel=x\r\n\r\n" + body),
              ContentUnchanged);
    // CR LF and LF copies of the same reply are the same
    EXPECT_EQ(compare("HTTP/1.0 200 OK\r\n\r\n<html>\r\n<a\r\nhref=x>one</a>\r\n</html>\r\n",
                      "HTTP/1.0 200 OK\n\n<html>\n<a\nhref=x>one</a>\n</html>\n"),
              ContentUnchanged);
    // Plain text without any tag is still watched
    EXPECT_EQ(compare(std::string(kHead) + "line one\nline two\n", std::string(kHead) + "line one\nline 2\n"),
              ContentChanged);
}

TEST_F(Compare, IgnoreTagsOption) {
    const std::string a = std::string(kHead) + "<html><p class=\"x\">text</p></html>";
    const std::string b = std::string(kHead) + "<html><p class=\"y\">text</p></html>";
    EXPECT_EQ(compare(a, b), ContentChanged);
    EXPECT_EQ(compare(a, b, kIgnoreTags), ContentUnchanged);
    EXPECT_EQ(compare(a, b, kAlwaysCompare), ContentChanged);
    // Text changes still count without the tags
    EXPECT_EQ(compare(a, std::string(kHead) + "<html><p>other</p></html>", kIgnoreTags), ContentChanged);
}

TEST_F(Compare, IgnoreTokens) {
    const std::string a = std::string(kHead) + "<html><p>Counter:1234 visits</p><img src=Counter.gif?1></html>";
    const std::string b = std::string(kHead) + "<html><p>Counter:1235 visits</p><img src=Counter.gif?2></html>";
    EXPECT_EQ(compare(a, b), ContentChanged);
    EXPECT_EQ(compare(a, b, 0, {"Counter"}), ContentUnchanged);
    EXPECT_EQ(compare(a, b, 0, {"COUNTER"}), ContentChanged);  // case counts
    // An empty ignore token leaves everything in
    EXPECT_EQ(compare(a, b, 0, {""}), ContentChanged);

    const char* array[] = {nullptr, "Counter"};
    const std::string pa = put("pa", a);
    const std::string pb = put("pb", b);
    EXPECT_EQ(compareContentFiles(pa.c_str(), pb.c_str(), 0, array, 2), ContentUnchanged);
    EXPECT_EQ(compareContentFiles(pa.c_str(), pb.c_str(), 0, array, 1), ContentChanged);
}

TEST_F(Compare, StructureChange) {
    const std::string full = std::string(kHead) + "<HTML><p>x</p></HTML>";
    EXPECT_EQ(compare(full, std::string(kHead) + "<html><p>x</p>"), ContentStructureDiffers);
    EXPECT_EQ(compare(std::string(kHead) + "<p>x</p></html>", full), ContentStructureDiffers);
    EXPECT_EQ(compare(full, std::string(kHead) + "<p>x</p></html>", kIgnoreTags), ContentStructureDiffers);
    // An html tag with attributes is an html tag
    const std::string withLang = std::string(kHead) + "<html lang=en><p>x</p></html >";
    EXPECT_EQ(compare(withLang, full, kIgnoreTags), ContentUnchanged);
    EXPECT_EQ(compare(withLang, std::string(kHead) + "<p>x</p></html>"), ContentStructureDiffers);
    // ... but <htmlx> is not
    EXPECT_EQ(compare(std::string(kHead) + "<htmlx><p>x</p>", std::string(kHead) + "<p>x</p>", kIgnoreTags),
              ContentUnchanged);
}

TEST_F(Compare, EmptyOrMissingCopiesCountAsUnchanged) {
    const std::string page = std::string(kHead) + "<html>x</html>";
    EXPECT_EQ(compare(page, kHead), ContentUnchanged);
    EXPECT_EQ(compare("", page), ContentUnchanged);
    const std::string a = put("a", page);
    EXPECT_EQ(compareContentFiles(a.c_str(), "missing", 0, std::vector<std::string>{}),
              ContentUnchanged);
}
