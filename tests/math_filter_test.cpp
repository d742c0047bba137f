#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "filter/field_catalogue.h"
#include "report/run_error.h"
#include "score/math_filter.h"

using namespace vantor;

namespace {

constexpr int kArtist = 1, kAlbum = 3, kYear = 9, kGenre = 10, kRating = 16;

// A song as a map of field codes to texts; a code that is absent reads as NULL.
class MapRow final : public SongRow {
public:
    MapRow(std::map<int, std::string> values = {}) : values_(std::move(values)) {}
    std::optional<std::string_view> text(int code) const override {
        auto it = values_.find(code);
        if (it == values_.end()) return std::nullopt;
        return it->second;
    }

private:
    std::map<int, std::string> values_;
};

TokenList tokens(std::vector<Token> list) {
    TokenList out;
    out.tokens = std::move(list);
    for (const Token& t : out.tokens) out.nameCount += t.flag == tokenflag::name ? 1 : 0;
    return out;
}

// The code of the RunError that the call throws, or a marker when it throws none.
int thrownCode(const std::function<void()>& call) {
    try {
        call();
    } catch (const RunError& e) {
        return e.code();
    }
    return 12345;
}

std::string formulaOf(const MathFilter& filter, const SongRow& row) {
    std::string out = "stale";
    filter.formulaText(row, out);
    return out;
}

}  // namespace

TEST(MathFilter, RatingAndArtistExample) {
    // rating>3 and artist=abba, expanded and tokenized.
    MathFilter filter(tokens({{"(", 1}, {"rating", 0}, {"/20.0)>3&", 1}, {"artist", 0}, {"=", 1}, {"'ABBA'", 0}}));

    const auto& t = filter.tokens();
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[1].code, kRating);
    EXPECT_EQ(t[1].operandType, operand::numeric);
    EXPECT_EQ(t[3].code, kArtist);
    EXPECT_EQ(t[3].operandType, operand::text);
    EXPECT_EQ(t[5].code, fieldcode::literal);
    EXPECT_EQ(t[5].operandType, operand::literal);
    EXPECT_EQ(t[5].text, "abba");  // lower-cased by the lookup, then stripped of its quotes
    EXPECT_EQ(t[0].operandType, operand::none);

    const MapRow abba({{kRating, "80"}, {kArtist, "ABBA"}});
    const MapRow queen({{kRating, "80"}, {kArtist, "Queen"}});
    EXPECT_EQ(formulaOf(filter, abba), "(80/20.0)>3&1");
    EXPECT_EQ(filter.score(abba), 1.0);
    EXPECT_EQ(formulaOf(filter, queen), "(80/20.0)>3&0");
    EXPECT_EQ(filter.score(queen), 0.0);
}

TEST(MathFilter, TextComparisons) {
    const auto compare = [](std::string field, std::string op, std::string right) {
        std::vector<Token> list{{field, 0}, {op, 1}};
        if (!right.empty()) list.push_back({right, 0});
        return tokens(list);
    };
    struct Case { const char* label; TokenList list; MapRow row; std::string formula; };
    const Case cases[] = {
        {"= ignores case", compare("artist", "=", "'abba'"), MapRow({{kArtist, "ABBA"}}), "1"},
        {"= ignores case 2", compare("artist", "=", "'abba'"), MapRow({{kArtist, "Abba"}}), "1"},
        {"= differs", compare("artist", "=", "'abba'"), MapRow({{kArtist, "Queen"}}), "0"},
        {"~ lower-cases the left", compare("artist", "~", "'bb'"), MapRow({{kArtist, "ABBA"}}), "1"},
        {"!~", compare("artist", "!~", "'bb'"), MapRow({{kArtist, "ABBA"}}), "0"},
        {"!=", compare("artist", "!=", "'abba'"), MapRow({{kArtist, "Queen"}}), "1"},
        {"='' empty", compare("artist", "=", "''"), MapRow({{kArtist, ""}}), "1"},
        {"='' set", compare("artist", "=", "''"), MapRow({{kArtist, "x"}}), "0"},
        {"='' NULL reads as empty", compare("artist", "=", "''"), MapRow(), "1"},
        {"~'' always", compare("artist", "~", "''"), MapRow({{kArtist, "Queen"}}), "1"},
        {"!~'' never", compare("artist", "!~", "''"), MapRow({{kArtist, "Queen"}}), "0"},
        {"two columns, =", compare("artist", "=", "album"), MapRow({{kArtist, "ABBA"}, {kAlbum, "abba"}}), "1"},
        {"two columns, ~ keeps the right's case", compare("artist", "~", "album"),
         MapRow({{kArtist, "ABBA Gold"}, {kAlbum, "Gold"}}), "0"},
        {"two columns, ~ lower right", compare("artist", "~", "album"),
         MapRow({{kArtist, "ABBA Gold"}, {kAlbum, "gold"}}), "1"},
        {"other operator leaves nothing", compare("artist", "<", "album"), MapRow({{kArtist, "a"}}), ""},
        {"nothing after the operator", compare("artist", "~", ""), MapRow({{kArtist, "x"}}), "1"},
        {"anyfield", compare("anyfield", "~", "'pop'"), MapRow({{kArtist, "ABBA"}, {kGenre, "Pop"}}), "1"},
        // The right anyfield is the row's whole value, not the word itself.
        {"anyfield on the right", compare("artist", "~", "anyfield"), MapRow({{kArtist, "anyfield"}}), "0"},
    };
    for (const Case& c : cases) {
        const MathFilter filter(c.list);
        EXPECT_EQ(formulaOf(filter, c.row), c.formula) << c.label;
    }

    // The comparison joins the operator text around it.
    MathFilter filter(tokens({{"if(", 1}, {"genre", 0}, {"~", 1}, {"'rock'", 0}, {",2,0.5)", 1}}));
    EXPECT_EQ(filter.score(MapRow({{kGenre, "Hard Rock"}})), 2.0);
    EXPECT_EQ(filter.score(MapRow({{kGenre, "Jazz"}})), 0.5);
}

TEST(MathFilter, NumericFields) {
    MathFilter filter(tokens({{"year", 0}, {">1990", 2}}));
    EXPECT_EQ(filter.score(MapRow({{kYear, "1995"}})), 1.0);
    EXPECT_EQ(filter.score(MapRow({{kYear, "1985"}})), 0.0);
    // A song without a year reads as 0 rather than ending the run.
    EXPECT_EQ(formulaOf(filter, MapRow()), "0>1990");
    EXPECT_EQ(filter.score(MapRow()), 0.0);
    // An empty text leaves no operand, which the parser rejects.
    EXPECT_EQ(thrownCode([&] { filter.score(MapRow({{kYear, ""}})); }), code::mathFilter);
}

TEST(MathFilter, FormulasTheParserDecides) {
    struct Case { const char* label; TokenList list; double score; };
    const Case cases[] = {
        {"1.0", tokens({{"1.0", 2}}), 1.0},
        {"2", tokens({{"2", 2}}), 2.0},
        {"(1)", tokens({{"(1)", 1}}), 1.0},
        {"radians", tokens({{"sin", 1}, {"(3.14159)", 1}}), std::sin(3.14159)},
        {"evaluation error gives 0", tokens({{"1/0", 2}}), 0.0},
        {"power before unary minus", tokens({{"-3^2", 2}}), -9.0},
        {"if", tokens({{"if(", 1}, {"rating", 0}, {">60,1,0.25)", 1}}), 1.0},
    };
    const MapRow row({{kRating, "80"}});
    for (const Case& c : cases) {
        MathFilter filter(c.list);
        EXPECT_NEAR(filter.score(row), c.score, 1e-12) << c.label;
    }
    EXPECT_NEAR(MathFilter(tokens({{"sin", 1}, {"(3.14159)", 1}})).score(row), 0.0, 1e-5);
}

TEST(MathFilter, NamesThatAreNoFieldEndTheRunAtClassification) {
    const TokenList lists[] = {
        tokens({{"bpm", 0}, {">", 1}, {"fast", 0}}),
        tokens({{"if ", 0}, {"(", 1}, {"rating", 0}, {">3,1,0)", 1}}),
        // 'ac/dc' cut at the slash: the second half is no literal.
        tokens({{"artist", 0}, {"=", 1}, {"'ac", 0}, {"/", 1}, {"dc'", 0}}),
        tokens({{"3 rating", 0}}),
    };
    for (const TokenList& list : lists) {
        EXPECT_EQ(thrownCode([&] { MathFilter filter(list); }), code::mathFieldUnknown) << list.tokens[0].text;
    }
}

TEST(MathFilter, FormulasThatEndTheRunAtTheFirstRow) {
    struct Case { const char* label; TokenList list; };
    const Case cases[] = {
        {"empty filter", tokens({{"", -1}})},
        {"no tokens", tokens({})},
        {"literal after a numeric field", tokens({{"year", 0}, {"=", 1}, {"'1990'", 0}})},
        {"numeric field on the right", tokens({{"artist", 0}, {"=", 1}, {"year", 0}})},
        {"literal spelling a label", tokens({{"artist", 0}, {"=", 1}, {"'album'", 0}})},
        {"literal of its own", tokens({{"'abba'", 0}})},
        // 'rock&' cut at the ampersand leaves a lone quote as a literal of its own.
        {"split literal", tokens({{"artist", 0}, {"=", 1}, {"'rock", 0}, {"&", 1}, {"'", 0}})},
        {"other operator alone", tokens({{"artist", 0}, {"<", 1}, {"album", 0}})},
        {"space before a function's parenthesis", tokens({{"max", 1}, {"&(", 1}, {"rating", 0}, {",3)", 2}})},
        {"== is no operator", tokens({{"1==1", 2}})},
    };
    const MapRow row({{kArtist, "ABBA"}, {kAlbum, "Gold"}, {kYear, "1990"}, {kRating, "80"}});
    for (const Case& c : cases) {
        MathFilter filter(c.list);
        EXPECT_EQ(thrownCode([&] { filter.score(row); }), code::mathFilter) << c.label;
    }
}

TEST(MathFilter, NestingTooDeepForTheParserIsRefusedNotCrashed) {
    const MapRow row;
    const auto nested = [](int depth) {
        return tokens({{std::string(depth, '(') + "1" + std::string(depth, ')'), 2}});
    };
    EXPECT_EQ(MathFilter(nested(1000)).score(row), 1.0);
    MathFilter deep(nested(100000));
    EXPECT_EQ(thrownCode([&] { deep.score(row); }), code::mathFilter);

    // A numeric column's text goes into the formula too.
    MathFilter year(tokens({{"year", 0}}));
    EXPECT_EQ(year.score(MapRow({{kYear, std::string(1000, '-') + "2"}})), 2.0);
    EXPECT_EQ(thrownCode([&] { year.score(MapRow({{kYear, std::string(2000000, '-') + "2"}})); }),
              code::mathFilter);
    EXPECT_EQ(thrownCode([&] { year.score(MapRow({{kYear, std::string(2000000, '(')}})); }),
              code::mathFilter);
}

TEST(MathFilter, ColumnsRead) {
    const MathFilter plain(tokens({{"rating", 0}, {"*", 1}, {"year", 0}, {"+", 1}, {"artist", 0}, {"=", 1},
                                   {"'x'", 0}, {"&", 1}, {"rating", 0}, {">1", 2}}));
    EXPECT_EQ(plain.columnsRead(), (std::vector<int>{kArtist, kYear, kRating}));

    const MathFilter any(tokens({{"anyfield", 0}, {"~", 1}, {"'x'", 0}, {"&", 1}, {"rating", 0}}));
    std::vector<int> expected(allTextFieldCodes().begin(), allTextFieldCodes().end());
    expected.push_back(kRating);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(any.columnsRead(), expected);
}
