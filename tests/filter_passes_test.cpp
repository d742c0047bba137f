#include <gtest/gtest.h>

#include "filter/passes.h"

using namespace vantor;

TEST(FilterPasses, MinusToNotOutsideApostrophesOnly) {
    struct Case { std::string in, out; };
    const Case cases[] = {
        {"-artist~'a-b'", "!artist~'a-b'"},
        {"'don't-stop'-x", "'don't-stop'!x"},
        // Double quotes do not protect.
        {"artist=\"a-b\"", "artist=\"a!b\""},
        {"", ""},
        {"a--b", "a!!b"},
        // An apostrophe before a UTF-8 letter stays inside the value.
        {"'l'\xC3\xA9t\xC3\xA9-x'-y", "'l'\xC3\xA9t\xC3\xA9-x'!y"},
        // An apostrophe at the end closes; one never closed protects the rest.
        {"'a'-b", "'a'!b"},
        {"'a-b", "'a-b"},
    };
    for (auto c : cases) {
        std::string text = c.in;
        EXPECT_EQ(&minusToNot(text), &text);
        EXPECT_EQ(text, c.out) << c.in;
    }
}

TEST(FilterPasses, StripspacesAroundOperators) {
    struct Case { std::string in, out; };
    const Case cases[] = {
        {"  artist =  'a  b'   &  ( year > 1990 )  ", "artist='a b'&( year>1990 )"},
        {"a ! b", "a ! b"},
        {"a != b", "a!=b"},
        {"a !~ b", "a!~b"},
        {"x !", "x!"},
        // A "!" is judged by what follows it in the text given: a blank keeps it
        // plain, so only a second pass, where it ends the text or stands before
        // "=" or "~", joins it up.
        {"x ! ", "x !"},
        {"x ! = y", "x !=y"},
        {"     ", ""},
        {"", ""},
        {"a . b _ c", "a.b_c"},
        {"max ( rating , 3 )", "max ( rating,3 )"},
        // Tabs and UTF-8 bytes are plain characters.
        {"a \t b", "a \t b"},
        {"caf\xC3\xA9  del  mar", "caf\xC3\xA9 del mar"},
        {"\xC3\xA9 = x", "\xC3\xA9=x"},
    };
    for (auto c : cases) {
        std::string text = c.in;
        stripspacesAroundOperators2(text);
        EXPECT_EQ(text, c.out) << "[" << c.in << "]";
    }
}

TEST(FilterPasses, SplitItUpKeepsOperatorsWhole) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitItUp("artist~'abba' rating>=4"), (V{"artist", "~", "'", "abba", "'", " ", "rating", ">=", "4"}));
    EXPECT_EQ(splitItUp("a<=b&c!~d"), (V{"a", "<=", "b", "&", "c", "!~", "d"}));
    EXPECT_EQ(splitItUp("a!=b!c#d^e/f*g-h+i|j,k(l)m<n>o"),
              (V{"a", "!=", "b", "!", "c", "#", "d", "^", "e", "/", "f", "*", "g", "-", "h", "+", "i",
                 "|", "j", ",", "k", "(", "l", ")", "m", "<", "n", ">", "o"}));
    EXPECT_EQ(splitItUp(""), V{});
    EXPECT_EQ(splitItUp("a.b_c"), V{"a.b_c"});
}
