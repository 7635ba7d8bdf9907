// Record lines of vigil.dat written by the Gopher and Web kinds, byte for byte,
// and the separator choice they share.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/gopher_vigil.h"
#include "core/record_writer.h"
#include "core/web_vigil.h"

namespace {

std::string recordOf(const Vigil& vigil) {
    FILE* f = std::tmpfile();
    vigil.write(f);
    std::string text(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    text.resize(std::fread(text.data(), 1, text.size(), f));
    std::fclose(f);
    return text;
}

VigilParams storedParams() {
    VigilParams p;
    p.host = "gopher.example.test";
    p.description = "Weekly news";
    p.port = 70;
    p.interval = 3600;
    p.lastChanged = 100;
    p.lastChecked = 200;
    p.flags = NotifyFlags::MessageBox;
    p.cacheFileName = "cache\\00000005.mon";
    return p;
}

std::unique_ptr<WebVigil> webVigil(VigilParams p, const char* path,
                                   std::vector<std::string> tokens = {},
                                   std::optional<std::string> credentials = std::nullopt) {
    p.host = p.host == "gopher.example.test" ? "www.example.test" : p.host;
    return std::make_unique<WebVigil>(p, SimpleString(path), ChangeMethod::Content, 300, 400, tokens,
                                      credentials);
}

}  // namespace

TEST(RecordSeparator, PreferredThenOtherPrintables) {
    EXPECT_EQ(chooseRecordSeparator(kRecordSeparators, {"abc", "12"}), '|');
    EXPECT_EQ(chooseRecordSeparator(kRecordSeparators, {"a|b", "c)"}), '!');
    EXPECT_EQ(chooseRecordSeparator(kRecordSeparators, {"|)!(", "^%*$"}), '"');
    std::string every;
    for (char c = '!'; c <= '~'; ++c) every += c;
    EXPECT_EQ(chooseRecordSeparator(kRecordSeparators, {every}), '|');

    RecordLine line;
    line.add("two\r\nlines");
    line.add(-5L);
    line.add("");
    EXPECT_EQ(line.join('|'), "|two  lines|-5|\n");
    // Every printable taken: the separator inside a field becomes a blank.
    RecordLine crowded;
    crowded.add("a|b");
    EXPECT_EQ(crowded.join('|'), "|a b\n");
}

TEST(GopherRecord, LayoutWithAndWithoutTheProgramField) {
    VigilParams p = storedParams();
    p.email = "a@example.test c@example.test";
    p.soundFile = "bell.wav";
    GopherVigil plain(p, std::string("/news"));
    EXPECT_EQ(recordOf(plain),
              "|gopher|Weekly news|0;EMAIL:a@example.test c@example.test |gopher.example.test|70|/news"
              "|3600|100|200|1|9|cache\\00000005.mon|bell.wav\n");

    p.flags = NotifyFlags::MessageBox | NotifyFlags::Program;
    p.programLine = "notify %desc";
    p.status = VigilStatus::Changed;
    p.email.reset();
    p.soundFile.reset();
    GopherVigil withProgram(p, std::nullopt);  // no selector: stored as one blank
    EXPECT_EQ(recordOf(withProgram),
              "|gopher|Weekly news|0|gopher.example.test|70| |3600|100|200|17|notify %desc|8"
              "|cache\\00000005.mon|\n");

    // The program flag without a program line still writes its (empty) field.
    p.programLine.reset();
    p.port = 65000;
    GopherVigil noLine(p, std::string("x"));
    EXPECT_EQ(recordOf(noLine),
              "|gopher|Weekly news|0|gopher.example.test|65000|x|3600|100|200|17||8|cache\\00000005.mon|\n");
}

TEST(GopherRecord, SeparatorAvoidsEveryWrittenFieldAndLineEndsBecomeBlanks) {
    VigilParams p = storedParams();
    p.description = "Menu | items\r\nsecond line";
    GopherVigil v(p, std::string("1/a|b)c"));
    EXPECT_EQ(recordOf(v),
              "!gopher!Menu | items  second line!0!gopher.example.test!70!1/a|b)c!3600!100!200!1!9"
              "!cache\\00000005.mon!\n");
}

TEST(WebRecord, LayoutWithCredentialsProgramAndIgnoreTokens) {
    VigilParams p = storedParams();
    p.port = 8080;
    p.options = WebOptions::AlwaysCompare;
    p.email = "a@example.test";
    p.flags = NotifyFlags::Program | NotifyFlags::Email;
    p.programLine = "notify";
    auto v = webVigil(p, "/a", {"Counter", "", "Visitors"}, std::string("user:secret"));
    EXPECT_EQ(recordOf(*v),
              "|http|Weekly news|2;EMAIL:a@example.test ;USER:user;PASS:secret|www.example.test|8080|/a"
              "|3600|100|200|48|notify|0|300|400|9|cache\\00000005.mon||Counter|Visitors|\n");

    p.flags = NotifyFlags::MessageBox;
    p.email.reset();
    p.soundFile = "ding.wav";
    auto bare = webVigil(p, "/");
    EXPECT_EQ(recordOf(*bare),
              "|http|Weekly news|2|www.example.test|8080|/|3600|100|200|1|0|300|400|9"
              "|cache\\00000005.mon|ding.wav|\n");
}

TEST(WebRecord, SeparatorChoice) {
    VigilParams p = storedParams();
    // The usual choice: the first candidate absent from description, path, host.
    p.description = "News | more";
    EXPECT_EQ(recordOf(*webVigil(p, "/a"))[0], ')');
    p.description = "(|)!";
    EXPECT_EQ(recordOf(*webVigil(p, "/a^b"))[0], '%');

    // It stands only when the rest of the line lacks it too: a ')' in the sound
    // file (not looked at by the usual choice) moves on to the next free one.
    p.description = "News | more";
    p.soundFile = "sounds/ding).wav";
    const std::string line = recordOf(*webVigil(p, "/a"));
    EXPECT_EQ(line,
              "!http!News | more!0!www.example.test!70!/a!3600!100!200!1!0!300!400!9"
              "!cache\\00000005.mon!sounds/ding).wav!\n");

    // All eight in description, path and host: the usual '|' would split the
    // description, so a character found nowhere in the line is taken.
    p.soundFile.reset();
    p.description = "|)!(";
    EXPECT_EQ(recordOf(*webVigil(p, "/^%*$"))[0], '"');

    // An ignore token holding the usual choice.
    p.description = "plain";
    EXPECT_EQ(recordOf(*webVigil(p, "/a", {"x|y"}))[0], ')');
}
