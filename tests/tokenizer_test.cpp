#include <gtest/gtest.h>

#include <vector>

#include "score/tokenizer.h"

using namespace vantor;

namespace {

constexpr const char* kToday = "45000.500000";

// Token texts with their flags, written as "text[flag]" so a mismatch reads at a glance.
std::vector<std::string> render(const TokenList& list) {
    std::vector<std::string> out;
    for (const auto& t : list.tokens) out.push_back(t.text + "[" + std::to_string(t.flag) + "]");
    return out;
}

}  // namespace

TEST(Tokenizer, TokenListsAndFlags) {
    using V = std::vector<std::string>;
    struct Case { std::string in; V tokens; };
    const std::string T = kToday;
    const Case cases[] = {
        {"playcounter*2+1", {"playcounter[0]", "*2+1[2]"}},
        {"lastplayedage>30", {"(" + T + "-[1]", "lasttimeplayed[0]", ")>30[2]"}},
        {"year>1990&filemodifiedage<7", {"year[0]", ">1990&(" + T + "-[1]", "filemodified[0]", ")<7[2]"}},
        {"if(playcounter>3,1,0)", {"if([1]", "playcounter[0]", ">3,1,0)[1]"}},
        {"abs(year-2000)", {"abs[1]", "([1]", "year[0]", "-2000)[1]"}},
        {"2*log(playcounter+1)", {"2*[1]", "log[1]", "([1]", "playcounter[0]", "+1)[1]"}},
        {"artist='abba'", {"artist[0]", "=[1]", "'abba'[0]"}},
        {"custom1>5", {"custom1[0]", ">5[2]"}},
        {"3 rating", {"3 rating[0]"}},
        {"", {"[-1]"}},
        // The space keeps "if" from being the special word; the scorer rejects "if ".
        {"if (x>1,1,0)", {"if [0]", "([1]", "x[0]", ">1,1,0)[1]"}},
        {"LastPlayedAge>1", {"(" + T + "-[1]", "lasttimeplayed[0]", ")>1[2]"}},
        {"dateaddedage", {"(" + T + "-[1]", "dateadded[0]", ")[1]"}},
        {"lastplayedagelastplayedage", {"(" + T + "-[1]", "lasttimeplayed[0]", ")lastplayedage[0]"}},
        {"max(lastplayedage,dateaddedage)",
         {"max[1]", "((" + T + "-[1]", "lasttimeplayed[0]", "),(" + T + "-[1]", "dateadded[0]", "))[1]"}},
        // A word ending in a digit before an operator stays a name; "x12" does not.
        {"x1>2", {"x1[0]", ">2[2]"}},
        {"x12>2", {"x12>2[2]"}},
        {"MAX(rating,3)", {"MAX[1]", "([1]", "rating[0]", ",3)[1]"}},
        // Function names at the very end are not recognised.
        {"1+max", {"1+[1]", "max[0]"}},
        // UTF-8 text stays inside one word.
        {"artist='caf\xC3\xA9 d\xC3\xA9j\xC3\xA0'", {"artist[0]", "=[1]", "'caf\xC3\xA9 d\xC3\xA9j\xC3\xA0'[0]"}},
        {"songtitle='#1'", {"songtitle[0]", "=[1]", "'#1'[0]"}},
    };
    for (auto c : cases) {
        std::string text = c.in;
        EXPECT_EQ(render(exptokenize2(text, kToday)), c.tokens) << c.in;
    }
}

TEST(Tokenizer, NormalisesCallersTextAndCountsNames) {
    std::string text = " artist = 'a  b'  &  year > 2000 ";
    const TokenList list = exptokenize2(text, kToday);
    EXPECT_EQ(text, "artist='a b'&year>2000");
    EXPECT_EQ(list.nameCount, 3);
    std::string joined;
    for (const auto& t : list.tokens) joined += t.text;
    EXPECT_EQ(joined, text);
}

TEST(Tokenizer, NoLimitOnTokensOrTokenLength) {
    std::string longValue(500, 'x');
    std::string text = "artist='" + longValue + "'";
    for (int i = 0; i < 300; ++i) text += "|year>" + std::to_string(i);
    const std::string original = text;
    const TokenList list = exptokenize2(text, kToday);
    // artist, =, the value, |, then year and >N| for each condition.
    ASSERT_EQ(list.tokens.size(), 4u + 2u * 300u);
    EXPECT_EQ(list.tokens[2].text, "'" + longValue + "'");
    EXPECT_EQ(list.tokens.back().text, ">299");
    EXPECT_EQ(list.nameCount, 2 + 300);
    std::string joined;
    for (const auto& t : list.tokens) joined += t.text;
    EXPECT_EQ(joined, original);
}
