#include <gtest/gtest.h>

#include "expansion_examples.h"
#include "filter/expansion.h"

using namespace vantor;

namespace {

struct Case {
    std::string in, out;
};

void expectExpansions(std::initializer_list<Case> cases) {
    for (const auto& c : cases) {
        std::string text = c.in;
        EXPECT_EQ(easyFormulaToFullRedone(text), c.out) << "[" << c.in << "]";
    }
}

}  // namespace

TEST(Expansion, WorkedExamples) {
    for (const auto& e : vantor::testing::kWorkedExpansions) {
        std::string text = e.typed;
        EXPECT_EQ(easyFormulaToFullRedone(text), e.expanded) << "[" << e.typed << "]";
    }
}

TEST(Expansion, QuotingAndCase) {
    expectExpansions({
        {"", ""},
        {"    ", ""},
        {"Artist='ABBA' OR Genre=Rock", "artist='abba'|genre='rock'"},
        {"stereo=abc", "stereo=abc"},
        {"lastplayedage>old", "lastplayedage>old"},
        // Double quotes are ordinary characters here; a blank inside splits the word.
        {"artist=\"abba\"", "artist='\"abba\"'"},
        {"artist=\"a b\"", "artist='\"a'&anyfield~'b\"'"},
        {"year>\"x\"", "year>\"x\""},
        // Quoted values at the start or after an operator other than a comparison search all fields.
        {"'abba'", "anyfield~'abba'"},
        {"artist!='x' 'y'", "artist!='x'&anyfield~'y'"},
        {"artist!~'x'", "artist!~'x'"},
        {"rating>3&'live'", "rating>3&anyfield~'live'"},
    });
}

TEST(Expansion, BlanksInsideAndOutsideQuotes) {
    expectExpansions({
        {"'a  b'", "anyfield~'a b'"},
        {"'a - b'", "anyfield~'a-b'"},
        {"max( rating , 3 )", "max(rating,3)"},
        {"max (rating,3)", "max&(rating,3)"},
        // Deliberate: the "&(" clean-up also reaches into quoted values.
        {"artist='a &) b'", "artist='a) b'"},
    });
}

TEST(Expansion, UnbalancedQuoteKeepsTheRestQuoted) {
    expectExpansions({
        {"artist='abc def ghi", "artist='abc def ghi"},
        {"artist='rock and roll", "artist='rock&roll"},
        {"'x", "anyfield~'x"},
    });
}

TEST(Expansion, Utf8StaysInsideWordsAndQuotes) {
    expectExpansions({
        {"caf\xC3\xA9 del mar", "anyfield~'caf\xC3\xA9'&anyfield~'del'&anyfield~'mar'"},
        {"artist='l'\xC3\xA9t\xC3\xA9 x'", "artist='l'\xC3\xA9t\xC3\xA9 x'"},
        {"\xC3\x89t\xC3\xA9", "anyfield~'\xC3\x89t\xC3\xA9'"},
    });
}

TEST(Expansion, NormalisesCallersText) {
    std::string text = "  artist =  abba  ";
    EXPECT_EQ(easyFormulaToFullRedone(text), "artist='abba'");
    EXPECT_EQ(text, "artist=abba");
}

TEST(Expansion, OutputBeyondTwentyThousandCharacters) {
    std::string text, expected;
    for (int i = 0; i < 3000; ++i) {
        text += "word" + std::to_string(i) + " ";
        if (i > 0) expected += '&';
        expected += "anyfield~'word" + std::to_string(i) + "'";
    }
    ASSERT_GT(expected.size(), 20000u);
    EXPECT_EQ(easyFormulaToFullRedone(text), expected);
}
