// The fast scoring paths against the reference (every row's literal text
// parsed anew): many generated formulas over rows of hostile values, every
// score compared bit for bit, every refusal compared by its code.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "filter/expansion.h"
#include "filter/field_catalogue.h"
#include "filter/rewrites.h"
#include "report/run_error.h"
#include "score/math_filter.h"
#include "score/tokenizer.h"
#include "score_outcome.h"

using namespace vantor;
using namespace vantor::testing;

namespace {

class MapRow final : public SongRow {
public:
    std::optional<std::string_view> text(int code) const override {
        auto it = values.find(code);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    // A column SQLite holds as a number; the rest are texts, whatever they spell.
    bool holdsNumber(int code) const override { return numbers.contains(code); }
    std::map<int, std::string> values;
    std::set<int> numbers;
};

constexpr const char* kToday = "45123.456789";

const std::vector<std::string> kNumericFields = {"rating", "playcounter", "year", "bpm", "songlength",
                                                 "lastplayedage", "dateaddedage", "id", "bitrate", "filelength"};
const std::vector<std::string> kTextFields = {"artist", "album", "genre", "comment", "anyfield"};

// Values a library may hold in a numeric column, hostile ones included: the
// literal way reads some of them as a different formula shape.
const std::vector<std::string> kHostileNumbers = {
    "", " ", "-3", "-0", "+4", "1e5", "1E-3", " 5", "5 ", "007", "0", "0.0", "00.000", "12.50", "3.", ".5",
    "0x10", "inf", "nan", "1,5", "1.2.3", "123456789012345678901234567890", "99999999999999999999",
    "9007199254740993", "0.1", "0.30000000000000004", "45000.5", "45123.456789", "1e308", "abc", "(1)",
    "-1", "--1", "-", "-.5", "-1.", "-0.0", "- 1", "1-", "-12.50"};

struct Generator {
    std::mt19937_64 rng;

    std::size_t pick(std::size_t n) { return static_cast<std::size_t>(rng() % n); }

    std::string number() {
        static const std::vector<std::string> literals = {"0", "1", "2", "3", "0.5", "20.0", "1000.0", "7",
                                                          "2.25", "0.1", "100", "45000.25", "3.14159",
                                                          "0.30000000000000004", "123456789.123456789",
                                                          "9007199254740993", "00.5", "3.", ".5"};
        return literals[pick(literals.size())];
    }

    std::string comparison() {
        static const std::vector<std::string> ops = {"=", "~", "!=", "!~"};
        static const std::vector<std::string> words = {"'abba'", "'rock'", "'love'", "''", "'b'", "album"};
        return kTextFields[pick(kTextFields.size())] + ops[pick(ops.size())] + words[pick(words.size())];
    }

    std::string expr(int depth, bool safeOnly) {
        const std::size_t leafChoices = 5;
        const std::size_t choice = depth <= 0 ? pick(leafChoices) : pick(leafChoices + 9);
        static const std::vector<std::string> safeOps = {"+", "-", "*", "/", "<", ">", "<=", ">=", "=", "!=", "&", "|"};
        static const std::vector<std::string> allOps = {"+", "-", "*", "/", "%", "^", "<", ">", "<=", ">=",
                                                        "=", "!=", "&", "|"};
        static const std::vector<std::string> safeFns = {"min", "max", "abs"};
        static const std::vector<std::string> allFns = {"min", "max", "abs", "log", "ceil", "floor", "int",
                                                        "sin", "cos", "tan"};
        const auto& ops = safeOnly ? safeOps : allOps;
        const auto& fns = safeOnly ? safeFns : allFns;
        switch (choice) {
        case 0: case 1: return kNumericFields[pick(kNumericFields.size())];
        case 2: case 3: return number();
        case 4: return comparison();
        case 5: case 6: case 7: return expr(depth - 1, safeOnly) + ops[pick(ops.size())] + expr(depth - 1, safeOnly);
        case 8: return "(" + expr(depth - 1, safeOnly) + ")";
        case 9: return "-" + expr(depth - 1, safeOnly);
        case 10: return "!" + expr(depth - 1, safeOnly);
        case 11: return "if(" + expr(depth - 1, safeOnly) + "," + expr(depth - 1, safeOnly) + "," +
                        expr(depth - 1, safeOnly) + ")";
        default: {
            const std::string fn = fns[pick(fns.size())];
            const bool two = fn == "min" || fn == "max";
            return fn + "(" + expr(depth - 1, safeOnly) + (two ? "," + expr(depth - 1, safeOnly) : "") + ")";
        }
        }
    }

    std::string numericValue() {
        switch (pick(8)) {
        case 6: return "-" + std::to_string(pick(6));
        case 7: return "-" + std::to_string(pick(100000)) + "." + std::to_string(pick(1000));
        case 0: return kHostileNumbers[pick(kHostileNumbers.size())];
        case 1: return std::to_string(pick(6));
        case 2: return std::to_string(pick(101));
        case 3: return std::to_string(pick(100000000));
        case 4: return std::to_string(pick(100000)) + "." + std::to_string(pick(1000000));
        default: return std::to_string(40000 + pick(6000)) + "." + std::to_string(pick(100000000));
        }
    }

    // A library that stores dates: Year as YYYYMMDD (whole, as a real, or as
    // SQLite writes a large real), beside unknown and plain years.
    std::string storedYear() {
        static const std::vector<std::string> odd = {"-1", "0", "1997", "9999", "10000", "19970000.5",
                                                     "19979999.9999999", "1.9971231e+07", "1e+300", "Inf",
                                                     "99999999999999999999", "-19970000"};
        switch (pick(4)) {
        case 0: return odd[pick(odd.size())];
        case 1: return numericValue();
        default: return std::to_string(1900 + pick(130)) + std::to_string(10000 + pick(1232)).substr(1);
        }
    }

    MapRow row(bool dates = false) {
        static const std::vector<std::string> texts = {"ABBA", "Abba", "Rock", "hard rock", "", "Love Me",
                                                       "b", "ABBA Gold", "Queen"};
        MapRow r;
        for (const std::string& name : kNumericFields) {
            std::string label = name == "lastplayedage" ? "lasttimeplayed"
                              : name == "dateaddedage"  ? "dateadded"
                                                        : name;
            if (pick(12) == 0) continue;  // NULL
            const int code = MMlabelToNumber(label);
            r.values[code] = dates && code == fieldcode::year ? storedYear() : numericValue();
            if (dates && pick(6) != 0) r.numbers.insert(code);
        }
        for (std::string label : {"artist", "album", "genre", "comment", "songtitle"}) {
            if (pick(8) == 0) continue;
            r.values[MMlabelToNumber(label)] = texts[pick(texts.size())];
        }
        return r;
    }
};

// The math filter as a run prepares it, up to the classified token list.
TokenList prepared(const std::string& math) { return preparedMath(math, kToday); }

struct Tally {
    int formulas = 0, templated = 0, rows = 0;
};

// Scores every row both ways; stops at the first difference with the formula shown.
Tally compareAll(bool safeOnly, int formulas, int rowsPerFormula, std::uint64_t seed,
                 YearReading years = YearReading::Stored) {
    Generator gen{std::mt19937_64(seed)};
    Tally tally;
    for (int f = 0; f < formulas; ++f) {
        const std::string math = gen.expr(1 + static_cast<int>(gen.pick(5)), safeOnly);
        TokenList tokens;
        try {
            tokens = prepared(math);
        } catch (const RunError&) {
            continue;
        }
        std::unique_ptr<MathFilter> fast, reference;
        try {
            fast = std::make_unique<MathFilter>(tokens, years);
            reference = std::make_unique<MathFilter>(tokens, years);
        } catch (const RunError&) {
            continue;
        }
        ++tally.formulas;
        tally.templated += fast->usesTemplate() ? 1 : 0;
        for (int r = 0; r < rowsPerFormula; ++r) {
            const MapRow row = gen.row(years == YearReading::Calendar);
            const Outcome a = outcomeOf([&] { return fast->score(row); });
            const Outcome b = outcomeOf([&] { return reference->scoreLiteral(row); });
            ++tally.rows;
            if (!(a == b)) {
                std::string formula;
                try { reference->formulaText(row, formula); } catch (const RunError&) {}
                ADD_FAILURE() << "filter " << math << " row formula " << formula << ": fast "
                              << std::bit_cast<double>(a.bits) << " (" << a.threw << "," << a.code << ") reference "
                              << std::bit_cast<double>(b.bits) << " (" << b.threw << "," << b.code << ")";
                return tally;
            }
        }
    }
    return tally;
}

}  // namespace

TEST(ScoreDifferential, SafeOperationFormulasMatchTheLiteralPathBitForBit) {
    const Tally t = compareAll(true, 4000, 40, 20240601);
    // Most of these formulas must really have gone through the template.
    EXPECT_GT(t.templated, t.formulas / 2);
    std::cout << t.formulas << " formulas, " << t.templated << " templated, " << t.rows << " rows\n";
}

TEST(ScoreDifferential, EveryOperationMatchesTheLiteralPathBitForBit) {
    const Tally t = compareAll(false, 4000, 40, 7);
    std::cout << t.formulas << " formulas, " << t.templated << " templated, " << t.rows << " rows\n";
}

// On a library that stores dates year is a stored date's calendar year, the
// same text for both ways.
TEST(ScoreDifferential, CalendarYearsMatchTheLiteralPathBitForBit) {
    const Tally safe = compareAll(true, 1500, 40, 19971231, YearReading::Calendar);
    EXPECT_GT(safe.templated, safe.formulas / 2);
    const Tally every = compareAll(false, 1500, 40, 20061226, YearReading::Calendar);
    std::cout << safe.formulas + every.formulas << " formulas, " << safe.rows + every.rows << " rows\n";
}

// The shapes that first showed a template and the literal text apart, and
// the ones a run relies on being fast.
TEST(ScoreDifferential, KnownPitfallsAndTheTemplateChoice) {
    struct Case {
        const char* filter;
        bool templated;
    };
    const Case cases[] = {
        {"if(playcounter>3,1,0.5)", true},
        {"playcounter*2+year>=bitrate", true},
        {"max(playcounter,3)&!(year<1990)|abs(bpm)", true},
        {"lastplayedage+0.1", true},                   // the filter's own numbers are variables too
        {"if(bpm,3,year)-45000.25-year", false},       // folding regroups around an inner if
        {"-playcounter+3-3", false},                   // a prefix minus regroups the sum
        {"playcounter/3", true},                       // a/b folds as a*(1/b), and is spelled so
        {"(rating*2+playcounter)/(lastplayedage+1)", true},
        {"playcounter/bpm/year*2", true},
        {"playcounter/(bpm/(year+1))", true},
        {"playcounter/-bpm", false},
        {"int(playcounter)", false},
        {"playcounter^2", false},
    };
    const std::vector<std::map<int, std::string>> rows = {
        {{36, "5"}, {9, "42270.22365270"}, {30, "0"}, {17, "128"}, {16, "80"}, {37, "45000.25"}},
        {{36, "-3"}, {9, "1990"}, {30, "2"}, {17, "0"}, {16, "-1"}, {37, "0"}},
        {{36, ""}, {9, "0.30000000000000004"}, {30, "3"}, {17, "1e5"}, {16, "100"}},
        {{36, "0"}, {9, "0"}, {30, "0"}, {17, "0"}, {16, "0"}, {37, "0"}},
    };
    for (const Case& c : cases) {
        MathFilter fast(prepared(c.filter)), reference(prepared(c.filter));
        EXPECT_EQ(fast.usesTemplate(), c.templated) << c.filter;
        for (const auto& values : rows) {
            MapRow row;
            row.values = values;
            EXPECT_EQ(outcomeOf([&] { return fast.score(row); }), outcomeOf([&] { return reference.scoreLiteral(row); }))
                << c.filter << " with playcounter '" << values.at(36) << "'";
        }
    }
}
