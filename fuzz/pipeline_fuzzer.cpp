// libFuzzer target over the whole text pipeline of a run: both filters
// through the run's rewrites and the expansion, the query filter into SQL
// (prepared, never stepped, on an in-memory table of the classic layout),
// the math filter through the tokenizer, the classification and fparser for
// a small fake song. Besides crashes it checks the invariants the later
// stages rely on.
//
// Input: query filter, math filter, sort filter and one column text, cut at
// NUL bytes (a command line cannot hold one). Missing parts: the query text
// doubles as the math filter; sort filter and column text are empty.
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/explain.h"
#include "db/collation.h"
#include "filter/calendar_years.h"
#include "filter/field_catalogue.h"
#include "filter/passes.h"
#include "filter/query_sql.h"
#include "filter/rewrites.h"
#include "report/run_error.h"
#include "rotate/rotation.h"
#include "rules/repeats.h"
#include "score/math_filter.h"
#include "score/tokenizer.h"
#include "text/toolkit.h"

namespace {

using namespace vantor;

constexpr const char* kToday = "45658.500000";

#define FUZZ_CHECK(cond)                                                  \
    do {                                                                  \
        if (!(cond)) {                                                    \
            std::fprintf(stderr, "invariant failed: %s (line %d)\n", #cond, __LINE__); \
            std::abort();                                                 \
        }                                                                 \
    } while (0)

// A song with a handful of values; `hostile` is what a damaged or odd
// library might hold, put into a text column and a numeric one (and the
// year, read as a stored number, when `hostileYear`).
class FakeRow final : public SongRow {
public:
    explicit FakeRow(std::string hostile, bool hostileYear = false)
        : values_{{0, "11"},      {1, "ABBA"},   {3, "Arrival"}, {7, "Dancing Queen"}, {9, "1976"},
                  {10, "Pop"},    {12, "230000"}, {16, "80"},    {36, "12"},            {37, "45000.5"},
                  {49, "40000.25"}, {30, std::move(hostile)}} {
        values_[91] = values_[30];
        if (hostileYear) values_[9] = values_[30];
    }
    std::optional<std::string_view> text(int code) const override {
        const auto it = values_.find(code);
        if (it == values_.end()) return std::nullopt;
        return it->second;
    }
    bool holdsNumber(int code) const override { return code == 9; }

private:
    std::map<int, std::string> values_;
};

// The classic layout, every catalogued text column with the host's
// collation name, so the collation stand-ins are exercised too.
sqlite3* classicLibrary() {
    static sqlite3* db = [] {
        sqlite3* handle = nullptr;
        sqlite3_open(":memory:", &handle);
        db::installCollationHandler(handle);
        std::vector<std::string> columns(fieldcode::maxColumnCode + 1);
        for (std::size_t i = 0; i < columns.size(); ++i) columns[i] = "Unused" + std::to_string(i) + " INTEGER";
        columns[0] = "ID INTEGER PRIMARY KEY";
        for (const Field& f : fieldCatalogue()) {
            if (f.code > fieldcode::maxColumnCode) continue;
            columns[static_cast<std::size_t>(f.code)] =
                std::string(f.column) + (f.kind == FieldKind::Text ? " TEXT COLLATE IUNICODE" : " REAL");
        }
        std::string sql = "CREATE TABLE songs(";
        for (std::size_t i = 0; i < columns.size(); ++i) sql += (i ? "," : "") + columns[i];
        sql += ")";
        sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr);
        return handle;
    }();
    return db;
}

std::vector<std::string> cutAtNul(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && parts.size() < 4) parts.emplace_back();
        else parts.back().push_back(static_cast<char>(data[i]));
    }
    return parts;
}

bool hasAgeLabel(std::string_view text) {
    const std::string lower = lowercased(text);
    return contains(lower, "lastplayedage") || contains(lower, "dateaddedage") || contains(lower, "filemodifiedage");
}

// The text with the blank dropped before each "!" that ends it or stands
// before "=" or "~".
std::string joinedNegations(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool joins = text[i] == ' ' && i + 1 < text.size() && text[i + 1] == '!' &&
                           (i + 2 == text.size() || text[i + 2] == '=' || text[i + 2] == '~');
        if (!joins) out.push_back(text[i]);
    }
    return out;
}

void checkPasses(const std::string& text) {
    std::string stripped = text;
    stripspacesAroundOperators2(stripped);
    FUZZ_CHECK(stripped.size() <= text.size());
    // A second pass changes nothing, except where a "!" that a blank after it
    // kept plain now ends the text or stands before "=" or "~", and so has
    // become half of an operator ("x ! ", "x ! = y"): the blank before it goes.
    std::string again = stripped;
    stripspacesAroundOperators2(again);
    FUZZ_CHECK(again == stripped || again == joinedNegations(stripped));

    std::string joined;
    for (const std::string& piece : splitItUp(text)) {
        FUZZ_CHECK(!piece.empty());
        joined += piece;
    }
    FUZZ_CHECK(joined == text);

    std::string minus = text;
    minusToNot(minus);
    FUZZ_CHECK(minus.size() == text.size());
}

void checkQuery(const FilterStages& stages, const std::string& sort) {
    if (stages.rotation) {
        for (const std::string& name : playlistNames(stages.query)) FUZZ_CHECK(!name.empty());
        return;
    }
    // As on a library of plain years, and on one that stores dates.
    const std::vector<YearComparison> calendar = calendarYearComparisons(stages.expandedQuery);
    std::size_t end = 0;
    for (const YearComparison& c : calendar) {
        FUZZ_CHECK(c.at >= end && c.length > 0);
        end = c.at + c.length;
    }
    FUZZ_CHECK(end <= stages.expandedQuery.size());
    for (const bool dates : {false, true}) {
        const std::string condition = query2sql2(stages.expandedQuery + sqlSortFilter(sort), kToday,
                                                 anyfieldSql(ColumnMap::classic()),
                                                 dates ? std::span<const YearComparison>(calendar) : std::span<const YearComparison>());
        const std::string sql = "SELECT * FROM songs WHERE " + condition;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(classicLibrary(), sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && stmt != nullptr) {
            // Only the first statement is ever prepared, and it only reads.
            FUZZ_CHECK(sqlite3_stmt_readonly(stmt));
        }
        sqlite3_finalize(stmt);
    }
}

void checkMath(const FilterStages& stages, const std::string& hostile) {
    if (stages.rotation) return;
    std::string math = stages.math;
    const TokenList list = exptokenize2(math, kToday);
    FUZZ_CHECK(!list.tokens.empty());
    if (!hasAgeLabel(math)) {
        std::string joined;
        for (const Token& t : list.tokens) joined += t.text;
        FUZZ_CHECK(joined == math);
    }
    for (const YearReading years : {YearReading::Stored, YearReading::Calendar}) {
        try {
            MathFilter filter(list, years);
            (void)filter.score(FakeRow(hostile, years == YearReading::Calendar));
        } catch (const RunError& e) {
            FUZZ_CHECK(e.code() == code::mathFieldUnknown || e.code() == code::mathFilter);
        }
    }
    (void)writtenForStoredDates(stages.math);
    std::string buffer;
    if (const auto year = calendarYearOf(hostile, buffer)) FUZZ_CHECK(!year->empty());
}

// Repeat removal over whatever an ID-list file could hold.
void checkRepeats(const std::string& text, int window) {
    std::vector<std::int64_t> ids = nsplit(text, ',');
    const std::vector<std::int64_t> before = ids;
    ids.resize(static_cast<std::size_t>(removedupes(ids, window)));
    std::size_t j = 0;  // the kept IDs are a subsequence of the list
    for (const std::int64_t id : ids) {
        while (j < before.size() && before[j] != id) ++j;
        FUZZ_CHECK(j < before.size());
        ++j;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> parts = cutAtNul(data, size);
    const std::string& query = parts[0];
    const std::string& math = parts.size() > 1 ? parts[1] : parts[0];
    const std::string sort = parts.size() > 2 ? parts[2] : std::string{};
    const std::string hostile = parts.size() > 3 ? parts[3] : std::string{};

    checkPasses(query);
    const FilterStages stages = prepareFilters(query, math);
    checkQuery(stages, sort);
    checkMath(stages, hostile);
    checkRepeats(query, size > 0 ? static_cast<int>(data[0]) - 64 : 0);

    std::ostringstream explained;
    explainFilters(query, math, explained);
    return 0;
}
