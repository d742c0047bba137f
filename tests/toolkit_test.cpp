#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>

#include "text/ascii.h"
#include "text/toolkit.h"

using namespace vantor;

TEST(Toolkit, ContainsTable) {
    struct Case { const char* text; const char* needle; bool expected; };
    const Case cases[] = {
        {"", "", true}, {"ab", "abc", false}, {"abc", "ABC", false}, {"xrotate(a)", "rotate(", true},
    };
    for (const auto& c : cases) EXPECT_EQ(contains(c.text, c.needle), c.expected) << c.text << " / " << c.needle;
}

TEST(Toolkit, ChopLeftAndRight) {
    EXPECT_EQ(chopLeftOf("a,b)x)", ")"), "a,b");
    EXPECT_EQ(chopRightOf("x rotate(a) rotate(b)", "rotate("), "b)");
    EXPECT_EQ(chopLeftOf("abc", "z"), "abc");
    EXPECT_EQ(chopRightOf("abc", "z"), "abc");
    EXPECT_EQ(chopRightOf("no line feed", "\n"), "no line feed");
    EXPECT_EQ(chopRightOf("aaa", "aa"), "");
    EXPECT_EQ(chopLeftOf("abc", ""), "");
    EXPECT_EQ(chopRightOf("abc", ""), "");
}

TEST(Toolkit, ReplaceIsSinglePassLeftToRight) {
    std::string s = "songlength>3&songlength<9";
    replace(s, "songlength", "(songlength/1000.0)");
    EXPECT_EQ(s, "(songlength/1000.0)>3&(songlength/1000.0)<9");
    s = "aaa";
    replace(s, "aa", "b");
    EXPECT_EQ(s, "ba");
    s = "a";
    replace(s, "a", "aa");
    EXPECT_EQ(s, "aa");
    s = "no empty here";
    replace(s, "EMPTY", "''");
    EXPECT_EQ(s, "no empty here");
}

TEST(Toolkit, IsNumericAndLowercase) {
    EXPECT_TRUE(isnumeric("3.5"));
    EXPECT_TRUE(isnumeric(""));
    EXPECT_TRUE(isnumeric("1.2.3"));
    EXPECT_FALSE(isnumeric("-3"));
    EXPECT_FALSE(isnumeric("1e5"));
    EXPECT_FALSE(isnumeric("\xC3\xA9"));
    std::string s = "AbC-1!\xC3\x89";
    lowercase(s);
    EXPECT_EQ(s, "abc-1!\xC3\x89");
}

TEST(Toolkit, IsplitKeepsOrDropsSeparators) {
    using V = std::vector<std::string>;
    EXPECT_EQ(isplit(",a,,b,", {","}, false), (V{"a", "b"}));
    EXPECT_EQ(isplit("", {","}, false), V{});
    EXPECT_EQ(isplit("a  b", {" "}, true), (V{"a", " ", " ", "b"}));
    EXPECT_EQ(isplit("a<=b x", {"<=", " ", "<"}, true), (V{"a", "<=", "b", " ", "x"}));
    EXPECT_EQ(isplit("a<=b x", {"<=", " ", "<"}, false), (V{"a", "b", "x"}));
}

TEST(Toolkit, NsplitConvertsFieldsLikeAtoi) {
    using V = std::vector<std::int64_t>;
    EXPECT_EQ(nsplit("1,,2", ','), (V{1, 0, 2}));
    EXPECT_EQ(nsplit("1,2,", ','), (V{1, 2}));
    EXPECT_EQ(nsplit(",5", ','), (V{0, 5}));
    EXPECT_EQ(nsplit("end", ','), (V{0}));
    EXPECT_EQ(nsplit("", ','), V{});
    EXPECT_EQ(nsplit("12,7,\r\n", ','), (V{12, 7, 0}));
    EXPECT_EQ(nsplit(" -4x,+9", ','), (V{-4, 9}));
    EXPECT_EQ(nsplit(",,,,,,,,", ',').size(), 8u);  // a run of commas has no capacity limit
    // Digit runs of every length, and digits followed by more text: IDs are
    // 64-bit, and only beyond that range saturate, as strtoll does.
    EXPECT_EQ(nsplit("123456789,1234567890,2147483648,99999999999,12a,007", ','),
              (V{123456789, 1234567890, 2147483648, 99999999999, 12, 7}));
    EXPECT_EQ(nsplit("999999999999999999,9223372036854775807,9223372036854775808,99999999999999999999999,"
                     "-9223372036854775808,-9223372036854775809",
                     ','),
              (V{999999999999999999, INT64_MAX, INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN}));
    EXPECT_EQ(nsplit("15253", '5'), (V{1, 2, 3}));  // a digit as the separator
}

TEST(Toolkit, MatchinStopsAtTheEnd) {
    EXPECT_TRUE(matchin("", "abc", 3));
    EXPECT_FALSE(matchin("cd", "abc", 2));
}

// The classes stand in for <cctype> in the "C" locale, which vantor never
// leaves: every byte, signed char or not, gets the same answer, and UTF-16
// units beyond ASCII are in no class and keep their case.
TEST(AsciiClasses, AnswerAsTheCLocaleDoesForEveryByte) {
    for (int v = 0; v < 256; ++v) {
        SCOPED_TRACE(v);
        const char c = static_cast<char>(v);
        EXPECT_EQ(isAsciiAlpha(c), std::isalpha(v) != 0);
        EXPECT_EQ(isAsciiDigit(c), std::isdigit(v) != 0);
        EXPECT_EQ(isAsciiAlnum(c), std::isalnum(v) != 0);
        EXPECT_EQ(isAsciiSpace(c), std::isspace(v) != 0);
        EXPECT_EQ(isAsciiControl(c), std::iscntrl(v) != 0);
        EXPECT_EQ(isAsciiPunct(c), std::ispunct(v) != 0);
        EXPECT_EQ(asciiLower(c), static_cast<char>(std::tolower(v)));
        EXPECT_EQ(asciiUpper(c), static_cast<char>(std::toupper(v)));
        EXPECT_EQ(isAsciiUpper(static_cast<unsigned char>(v)), std::isupper(v) != 0);
    }
    for (const char16_t u : {char16_t{0xC0}, char16_t{0x130}, char16_t{0xFF21}, char16_t{0xD800}}) {
        EXPECT_FALSE(isAsciiAlnum(u) || isAsciiSpace(u) || isAsciiControl(u) || isAsciiPunct(u));
        EXPECT_EQ(asciiLower(u), u);
    }
    EXPECT_EQ(asciiLower(u'Q'), u'q');
}
