// Each stage is printed on a line of its own, labelled for people; nothing
// here is read by the front end. Filters are prepared, translated, tokenized
// and classified by the same functions a run calls, in the same order.
#include "cli/explain.h"

#include <algorithm>
#include <vector>

#include "filter/calendar_years.h"
#include "filter/field_catalogue.h"
#include "filter/query_sql.h"
#include "filter/rewrites.h"
#include "report/result_file.h"
#include "report/run_error.h"
#include "rotate/rotation.h"
#include "score/math_filter.h"
#include "score/tokenizer.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

// A song whose every field is NULL: enough to show the formula's shape and
// to let the parser judge it, as it would at a run's first candidate.
class EmptyRow final : public SongRow {
public:
    std::optional<std::string_view> text(int) const override { return std::nullopt; }
};

// How a library that stores dates keeps a song's year.
constexpr std::string_view kDateExample = "Year 19971231 for 1997-12-31";

std::string inQuotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string columnOf(int code) {
    const std::string_view column = columnName(code);
    return column.empty() ? "?" : std::string(column);
}

// Why a name token is no field, in the terms of the mistakes people make.
std::string reasonNotRecognized(const std::vector<ClassifiedToken>& tokens, std::size_t at) {
    std::string word = tokens[at].text;
    while (!word.empty() && word.back() == ' ') word.pop_back();
    const std::string next = at + 1 < tokens.size() ? tokens[at + 1].text : std::string{};
    if ((equalsIgnoreAsciiCase(word, kIfFunction) || isFunctionName(word)) && (word.size() != tokens[at].text.size() || next.starts_with("&(") ||
                                 next.starts_with("("))) {
        return "a blank before \"(\" makes " + inQuotes(word) + " a word of its own, not a function; write " +
               word + "( with no blank";
    }
    if (word.ends_with('\'')) {
        return "the end of a quoted value that an operator character (& / + - * ^ < > = ! , and the word and) "
               "cut apart; compare with a part that holds none, e.g. artist~'ac' for ac/dc";
    }
    if (at >= 2 && tokens[at - 2].operandType == operand::numeric) {
        return "after a number field and its operator a word is read as a field name; compare with a number";
    }
    return "no field has this name (names are the library's column names in lower case, e.g. artist, "
           "playcounter); text to compare belongs in quotes after a text field, e.g. artist='abba'";
}

// What the scorer makes of the token at `at`, in the terms of the filter
// language; an unknown name also gets the likeliest reason.
std::string describe(const std::vector<ClassifiedToken>& tokens, std::size_t at) {
    const ClassifiedToken& t = tokens[at];
    switch (t.operandType) {
    case operand::none:
        return "copied into the formula";
    case operand::numeric:
        return "field, number: the song's " + columnOf(t.code) + " goes here";
    case operand::text:
        return "field, text: the song's " + columnOf(t.code) +
               " is compared as text with the token two places on (=, ~, != or !~)";
    case operand::allText:
        return "anyfield, text: all text fields joined by commas, compared with the token two places on";
    case operand::literal:
        return "text literal " + inQuotes(t.text) + ": only the right side of a text comparison";
    default:
        return "NOT RECOGNIZED: " + reasonNotRecognized(tokens, at);
    }
}

// True when a field's value is followed by an implicit "and" and an any-field
// search, as artist=the beatles expands: the blank ended the value.
bool blankEndedAValue(const std::string& expanded) {
    const std::string_view gap = "'&anyfield~'";
    for (std::size_t at = expanded.find(gap); at != std::string::npos; at = expanded.find(gap, at + 1)) {
        const std::size_t open = expanded.rfind('\'', at - 1);
        if (open == std::string::npos || open == 0) continue;
        const char op = expanded[open - 1];
        const bool afterAnyfield = open >= 9 && expanded.compare(open - 9, 9, "anyfield~") == 0;
        if ((op == '=' || op == '~') && !afterAnyfield) return true;
    }
    return false;
}

// The query filter's stages as a run meets them: the rewrites, then either
// the rotation's playlists or the expansion and the SQL condition. Notes say
// where a run's SQL may differ (the library's columns, today's date, years
// stored as dates) and where a blank ended a value.
void explainQuery(const std::string& typed, const FilterStages& s, std::ostream& out) {
    out << "query filter: " << typed << "\n";
    out << "  after the rewrites:  " << (s.rotation ? s.query : s.initialQuery) << "\n";
    if (s.rotation) {
        out << "  a playlist rotation: the lists named in " << kSettingsFile
            << " are dealt in turn; no library is read,\n"
               "  and the math and sort filters are not used. Playlists:";
        for (const std::string& name : playlistNames(s.query)) out << " " << inQuotes(name);
        out << "\n";
        return;
    }
    out << "  after the expansion: " << s.expandedQuery << "\n";
    const std::string condition = query2sql2(s.expandedQuery, kExplainDayNumber, anyfieldSql(ColumnMap::classic()));
    out << "  SQL condition:       " << condition << "\n";
    if (contains(lowercased(s.expandedQuery), kAnyfieldLabel)) {
        out << "  (anyfield is shown with the classic layout's text columns; a run uses the columns its library has)\n";
    }
    if (contains(condition, kExplainDayNumber)) {
        out << "  (" << kExplainDayNumber << " stands in for today's day number, which a run asks the library for)\n";
    }
    if (mentionsYear(s.expandedQuery)) {
        const std::vector<YearComparison> calendar = calendarYearComparisons(s.expandedQuery);
        if (calendar.empty()) {
            out << "  on a library that stores dates (" << kDateExample << "): the same SQL condition, year compared as stored\n";
        } else {
            out << "  on a library that stores dates (" << kDateExample << "), year compared with a whole\n"
                << "  number from 0 to 9999 is the song's calendar year:\n";
            out << "  SQL condition there: "
                << query2sql2(s.expandedQuery, kExplainDayNumber, anyfieldSql(ColumnMap::classic()), calendar) << "\n";
        }
    }
    if (blankEndedAValue(s.expandedQuery)) {
        out << "  note: a blank ends a value, so a word after it searches every text field; write a value\n"
               "  with blanks in quotes: artist='the beatles'\n";
    }
}

// The math filter's stages, each token with what the scorer makes of it, and
// the formula and score of a song whose every field is empty, or why a run
// would stop.
void explainMath(const FilterStages& s, std::ostream& out) {
    out << "  after the rewrites:  " << s.typedMath << "\n";
    out << "  after the expansion: " << s.math << "\n";
    std::string math = s.math;
    const TokenList list = exptokenize2(math, kExplainDayNumber);

    std::vector<ClassifiedToken> tokens;
    bool allRecognized = true;
    for (const Token& t : list.tokens) {
        tokens.push_back(classifyToken(t));
        allRecognized = allRecognized && tokens.back().operandType != operand::unknown;
    }
    out << "  tokens (" << tokens.size() << "):\n";
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        // Shown as written: the lookup lower-cases names and strips literals.
        out << "    " << inQuotes(list.tokens[i].text) << "  " << describe(tokens, i) << "\n";
    }

    const bool readsYear = std::any_of(tokens.begin(), tokens.end(), [](const ClassifiedToken& t) {
        return t.operandType == operand::numeric && t.code == fieldcode::year;
    });
    if (readsYear && writtenForStoredDates(s.math)) {
        out << "  on a library that stores dates (" << kDateExample
            << "): year is the stored value, as the filter holds a number of 10000 or more\n";
    } else if (readsYear) {
        out << "  on a library that stores dates (" << kDateExample << "): year is the song's calendar year (1997)\n";
    }
    if (s.math == "1") {
        out << "  the math filter is 1: no scoring, every candidate alike\n";
        return;
    }
    if (!allRecognized) {
        out << "  a run stops here: " << errorFileText(code::mathFieldUnknown) << "\n";
        return;
    }
    MathFilter filter(list);
    const EmptyRow row;
    try {
        std::string formula;
        filter.formulaText(row, formula);
        out << "  formula for a song whose fields are all empty: " << formula << "\n";
        const double score = filter.score(row);
        out << "  its score: " << score << "\n";
    } catch (const RunError& e) {
        out << "  a run stops at its first song: " << errorFileText(e.code()) << "\n  why: " << e.what() << "\n";
    }
}

}  // namespace

void explainFilters(const std::string& queryFilter, const std::optional<std::string>& mathFilter,
                    std::ostream& out) {
    const FilterStages stages = prepareFilters(queryFilter, mathFilter.value_or("1"));
    explainQuery(queryFilter, stages, out);
    out << "\nmath filter: " << mathFilter.value_or("1") << (mathFilter ? "" : " (none given)") << "\n";
    if (stages.rotation) {
        out << "  not used by a rotation\n";
        return;
    }
    explainMath(stages, out);
}

}  // namespace vantor
