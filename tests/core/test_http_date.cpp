#include <gtest/gtest.h>

#include <ctime>

#include "core/http_date.h"

namespace {

struct tm parsed(const char* text) {
    struct tm t {};
    parseHttpDate(text, &t);
    return t;
}

void expectMoment(const struct tm& t, int year, int mon, int mday, int hour, int min, int sec) {
    EXPECT_EQ(t.tm_year, year);
    EXPECT_EQ(t.tm_mon, mon);
    EXPECT_EQ(t.tm_mday, mday);
    EXPECT_EQ(t.tm_hour, hour);
    EXPECT_EQ(t.tm_min, min);
    EXPECT_EQ(t.tm_sec, sec);
}

}  // namespace

TEST(MonthFromName, ThreeLettersAnyCase) {
    EXPECT_EQ(monthFromName("DEC"), 11);
    EXPECT_EQ(monthFromName("january"), 0);
    EXPECT_EQ(monthFromName("Sept"), 8);
    EXPECT_EQ(monthFromName("xyz"), -1);
    EXPECT_EQ(monthFromName("ja"), -1);  // too short to name a month
    EXPECT_EQ(monthFromName(""), -1);
    EXPECT_EQ(monthFromName(nullptr), -1);
}

TEST(ParseHttpDate, TheThreeFormsGiveTheSameMoment) {
    expectMoment(parsed("Sun, 06 Nov 1994 08:49:37 GMT"), 94, 10, 6, 8, 49, 37);
    expectMoment(parsed("Sunday, 06-Nov-94 08:49:37 GMT"), 94, 10, 6, 8, 49, 37);
    expectMoment(parsed("Sun Nov  6 08:49:37 1994"), 94, 10, 6, 8, 49, 37);
    // As read from a header line with its line end
    expectMoment(parsed("Sun, 06 Nov 1994 08:49:37 GMT\r\n"), 94, 10, 6, 8, 49, 37);
    EXPECT_EQ(parseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT", nullptr), 0);
    struct tm t {};
    EXPECT_EQ(parseHttpDate("Sun Nov  6 08:49:37 1994", &t), 6);  // the empty field counts
}

TEST(ParseHttpDate, TwoDigitYearsBelowSeventyAreThisCentury) {
    EXPECT_EQ(parsed("Sunday, 06-Nov-05 08:49:37 GMT").tm_year, 105);
    EXPECT_EQ(parsed("Thursday, 01-Jan-70 00:00:00 GMT").tm_year, 70);
    EXPECT_EQ(parsed("Friday, 31-Dec-99 23:59:59 GMT").tm_year, 99);
    EXPECT_EQ(parsed("Sun Nov  6 08:49:37 05").tm_year, 105);
    EXPECT_EQ(parsed("Sun, 06 Nov 2024 08:49:37 GMT").tm_year, 124);
    // A four-digit year in the dashed form, as cookies and some servers write it
    expectMoment(parsed("Wed, 09-Jun-2021 10:18:14 GMT"), 121, 5, 9, 10, 18, 14);
}

TEST(ParseHttpDate, PartialAndOddInputs) {
    expectMoment(parsed("Sun, 06 Nov 1994 08:49 GMT"), 94, 10, 6, 8, 49, 0);
    // A number in the first field is no day
    EXPECT_NE(parsed("06 Nov 1994 08:49:37 GMT").tm_mday, 6);
    // Numeric zones leave the date alone
    expectMoment(parsed("Sun, 06 Nov 1994 08:49:37 -0500"), 94, 10, 6, 8, 49, 37);
    expectMoment(parsed("Sun, 06 Nov 1994 08:49:37 +0100"), 94, 10, 6, 8, 49, 37);
    // Nothing usable fills nothing
    expectMoment(parsed("-1"), 0, 0, 0, 0, 0, 0);
    expectMoment(parsed("0"), 0, 0, 0, 0, 0, 0);
}
