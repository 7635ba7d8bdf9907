#include <gtest/gtest.h>

#include "core/simple_string.h"

TEST(SimpleString, EmptyFormsAreEqualAndNonNull) {
    SimpleString a;
    SimpleString b("");
    EXPECT_EQ(a.length(), 0);
    ASSERT_NE(a.text(), nullptr);
    EXPECT_STREQ(b.text(), "");
    EXPECT_TRUE(a == b);
}

TEST(SimpleString, AppendKeepsPointerForEmptyAndJoinsOtherwise) {
    SimpleString s("abc");
    const char* before = s.text();
    s += "";
    EXPECT_EQ(s.text(), before);
    s += "def";
    EXPECT_STREQ(s.text(), "abcdef");
    EXPECT_EQ(s.length(), 6);
    SimpleString e;
    e += "def";
    EXPECT_STREQ(e.text(), "def");
}

TEST(SimpleString, AssignEqualKeepsArraySelfAssignAndInnerTextAreSafe) {
    SimpleString s("abc");
    const char* before = s.text();
    s = SimpleString("abc");
    EXPECT_EQ(s.text(), before);
    SimpleString& self = s;
    s = self;
    EXPECT_STREQ(s.text(), "abc");
    s = s.text() + 1;  // text inside itself
    EXPECT_STREQ(s.text(), "bc");
    s += s.text();
    EXPECT_STREQ(s.text(), "bcbc");
    s = static_cast<const char*>(nullptr);
    EXPECT_STREQ(s.text(), "");
}

TEST(SimpleString, ComparisonAndAccess) {
    SimpleString s("abc");
    EXPECT_FALSE(s == SimpleString("ABC"));
    EXPECT_FALSE(s != "abc");
    EXPECT_EQ(s.at(0), 'a');
    EXPECT_EQ(s.at(3), ' ');
    EXPECT_EQ(SimpleString().at(0), ' ');
    EXPECT_TRUE(SimpleString("abc") < SimpleString("abd"));
    SimpleString copy(s);
    copy += "x";
    EXPECT_STREQ(s.text(), "abc");
}
