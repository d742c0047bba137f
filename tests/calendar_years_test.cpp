// Calendar years on libraries that store dates (YYYYMMDD): which comparisons
// of year change and into what SQL, that the SQL selects each song by its
// calendar year as the stored comparison selects by a plain year, that
// SQLite still walks the Year index over one range, and what the math filter
// reads for year.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/query_plan.h"
#include "demolib/demolib.h"
#include "filter/calendar_years.h"
#include "filter/field_catalogue.h"
#include "filter/query_sql.h"
#include "harness.h"
#include "library/sessions.h"
#include "real_libraries.h"
#include "scan/range_scan.h"
#include "score/math_filter.h"
#include "score_outcome.h"
#include "text/toolkit.h"

using namespace vantor;
using namespace vantor::testing;

namespace {

constexpr const char* kToday = "45000.500000";

std::string storedSql(const std::string& query) { return query2sql2(query, kToday, "ANY "); }

std::string calendarSql(const std::string& query) {
    return query2sql2(query, kToday, "ANY ", calendarYearComparisons(query));
}

// Runs a query on an open handle and gives its first column, joined by commas.
std::string column0(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        return std::string("refused: ") + sqlite3_errmsg(db);
    }
    std::string out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        out += (out.empty() ? "" : ",") + std::string(text != nullptr ? text : "NULL");
    }
    sqlite3_finalize(st);
    return out;
}

// A stored number's SQL literal and its calendar year's, worked out here
// from the definition rather than by the code under test.
struct StoredYear {
    std::string stored;    // SQL literal
    std::string calendar;  // SQL literal
};

std::vector<StoredYear> storedYears() {
    std::vector<StoredYear> years = {{"NULL", "NULL"}, {"'abc'", "'abc'"}, {"''", "''"}, {"9999.5", "9999.5"},
                                     {"1997.5", "1997.5"}, {"19971231.5", "1997"}, {"19979999.99999", "1997"},
                                     {"1000000000000000", "100000000000"}};
    for (const long long v : {-1LL, 0LL, 1LL, 2LL, 3LL, 1989LL, 1990LL, 1991LL, 1996LL, 1997LL, 1998LL, 1999LL, 2000LL,
                              9999LL, 10000LL, 19999LL, 20000LL, 19890000LL, 19891231LL, 19899999LL, 19900000LL,
                              19901231LL, 19969999LL, 19970000LL, 19970101LL, 19971231LL, 19979999LL, 19980000LL,
                              19990000LL, 20000000LL, 20061226LL, 99991231LL, 100000000LL}) {
        years.push_back({std::to_string(v), std::to_string(v < 10000 ? v : v / 10000)});
    }
    return years;
}

}  // namespace

TEST(CalendarYears, ComparisonsWithACalendarYearBecomeConditionsOnIt) {
    const std::string eq1997 = "(Year>=1997 AND Year<19980000 AND NOT (Year>1997 AND Year<19970000))";
    struct Row {
        const char* label;
        std::string in, out;
    };
    const Row rows[] = {
        {"a decade", "year>=1990&year<2000",
         "(Year>=1990 AND NOT (Year>=10000 AND Year<19900000)) AND (Year<20000000 AND NOT (Year>=2000 AND Year<10000))"},
        {"after", "year>1990", "(Year>1990 AND NOT (Year>=10000 AND Year<19910000))"},
        {"up to", "(year<=1999)", "((Year<20000000 AND NOT (Year>1999 AND Year<10000)))"},
        {"equal", "year=1997", eq1997},
        {"contains is equal", "year~1997", eq1997},
        {"leading zeros", "year=01997", eq1997},
        {"negated", "!year=1997", " NOT " + eq1997},
        {"not equal", "year!=1997", "NOT " + eq1997},
        {"not equal, SQL's spelling", "year<>1997", "NOT " + eq1997},
        {"does not contain", "year!~1997", "NOT " + eq1997},
        {"the number first", "1990<year", "(Year>1990 AND NOT (Year>=10000 AND Year<19910000))"},
        {"the number first, equal", "1997=year|genre='x'", eq1997 + " OR genre LIKE 'x'"},
        {"the last calendar year", "year>9999", "(Year>9999 AND NOT (Year>=10000 AND Year<100000000))"},
        // A date's year is never 0: where both readings select alike, the SQL stays.
        {"above 0", "year>0", "year>0"},
        {"from 1", "year>=1", "year>=1"},
        {"below 1", "year<1", "year<1"},
        {"up to 0", "year<=0", "year<=0"},
        {"equal to 0", "year=0", "year LIKE 0"},
        {"from 2", "year>=2", "(Year>=2 AND NOT (Year>=10000 AND Year<20000))"},
        // Written for the stored dates: compared as stored.
        {"a stored date", "year>=19900000", "year>=19900000"},
        {"10000", "year<10000", "year<10000"},
        // No condition of its own, or no whole number: as stored.
        {"arithmetic before", "2*year>3990", "2*year>3990"},
        {"arithmetic after", "year>1990+5", "year>1990+5"},
        {"a decimal", "year>1990.5", "year>1990.5"},
        {"a chain", "1990<year<2000", "1990<year<2000"},
        {"quoted", "songtitle~'(year>1990)'", "songtitle LIKE '%(year>1990)%'"},
        {"double-quoted", "songtitle=\"year>1990\"&year>1990",
         "songtitle LIKE \"year>1990\" AND (Year>1990 AND NOT (Year>=10000 AND Year<19910000))"},
        {"inside a word", "myyear>1990", "myyear>1990"},
        {"another field", "origyear>1990", "origyear>1990"},
    };
    for (const Row& r : rows) EXPECT_EQ(calendarSql(r.in), r.out) << r.label;

    // A library of plain years gets the SQL it always got.
    EXPECT_EQ(storedSql("year>=1990&year<2000"), "year>=1990 AND year<2000");
}

TEST(CalendarYears, ContainsKeepsArmingTheNextQuotedValueAndTheSortFilterStays) {
    // As the stored year~2000 does, the comparison written with ~ leaves the
    // next quoted value matched as contained text.
    EXPECT_EQ(calendarSql("year~2000&artist='abba'"),
              "(Year>=2000 AND Year<20010000 AND NOT (Year>2000 AND Year<20000000)) AND artist LIKE '%abba%'");
    // Only the query filter's comparisons change; the sort filter after it is raw SQL.
    const std::string query = "year>1990";
    const std::string sort = " ORDER BY year>1990, Year";
    EXPECT_EQ(query2sql2(query + sort, kToday, "ANY ", calendarYearComparisons(query)),
              "(Year>1990 AND NOT (Year>=10000 AND Year<19910000)) ORDER BY year>1990, Year");
}

// The reference: the stored comparison (today's SQL) over each song's
// calendar year, worked out apart. Every operator, both sides, negated and
// not, every calendar year where the readings meet or part.
TEST(CalendarYears, ConditionsSelectByCalendarYearWhatTheStoredComparisonSelectsByAPlainYear) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    // Year as the host declares it; Calendar without a type, so it keeps what it is given.
    sqlite3_exec(db, "CREATE TABLE songs(ID INTEGER PRIMARY KEY, Year INTEGER, Calendar)", nullptr, nullptr, nullptr);
    int id = 0;
    for (const StoredYear& y : storedYears()) {
        const std::string sql = "INSERT INTO songs VALUES(" + std::to_string(++id) + "," + y.stored + "," + y.calendar + ")";
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    }
    int translated = 0;
    for (const char* op : {">=", ">", "<", "<=", "=", "~", "!=", "!~", "<>"}) {
        for (const int n : {0, 1, 2, 3, 1989, 1990, 1997, 1999, 2000, 9999}) {
            const std::string number = std::to_string(n);
            for (const std::string& filter :
                 {"year" + std::string(op) + number, number + op + "year", "!year" + std::string(op) + number,
                  "(year" + std::string(op) + number + ")&id>0"}) {
                std::string reference = filter;
                replace(reference, "year", "calendar");
                const std::string expected = column0(db, "SELECT ID FROM songs WHERE " + storedSql(reference));
                const std::string sql = calendarSql(filter);
                translated += sql != storedSql(filter) ? 1 : 0;
                EXPECT_EQ(column0(db, "SELECT ID FROM songs WHERE " + sql), expected) << filter << " as " << sql;
            }
        }
    }
    EXPECT_GT(translated, 250);  // most of them do read otherwise on dates
    sqlite3_close(db);
}

// The conditions keep the stored comparison's one range of the Year index,
// which the split scan cuts into parts, with and without the host's
// statistics; and asking a library whether it stores dates is one step up
// that index.
TEST(CalendarYears, TheIndexWalksOneRangeOfYearAsTheStoredComparisonDoes) {
    TempDir dir;
    const std::string fixture = (dir / "dates.db").string();
    std::vector<demo::FixtureSong> songs;
    for (std::int64_t id = 1; id <= 40; ++id) {
        songs.push_back({id, {{"Year", demo::Value(std::int64_t{19500000} + id * 10000 + id % 12 * 100)}}});
    }
    demo::createLibrary(fixture, {}, songs);
    std::vector<std::string> libraries = {fixture};
    if (const auto real = realLibrary("autoequaliser-MM.DB", dir)) libraries.push_back(*real);

    struct Case {
        const char* filter;
        const char* walk;  // the plan's line, as the stored comparison's
    };
    const Case cases[] = {
        {"year>=1990&year<2000", "SEARCH songs USING INDEX idxSongsYear (Year>? AND Year<?)"},
        {"year=1997", "SEARCH songs USING INDEX idxSongsYear (Year>? AND Year<?)"},
        {"year>1990", "SEARCH songs USING INDEX idxSongsYear (Year>?)"},
        {"year>=1990", "SEARCH songs USING INDEX idxSongsYear (Year>?)"},
        {"year<1970", "SEARCH songs USING INDEX idxSongsYear (Year<?)"},
        {"year<=1999", "SEARCH songs USING INDEX idxSongsYear (Year<?)"},
        {"year>0", "SEARCH songs USING INDEX idxSongsYear (Year>?)"},
    };
    for (const std::string& library : libraries) {
        db::Connection connection;
        ASSERT_EQ(connection.open(library), 0);
        for (const Case& c : cases) {
            const std::string sql = "SELECT * FROM songs WHERE " + calendarSql(c.filter);
            const auto plan = db::queryPlan(connection, sql);
            ASSERT_TRUE(plan.has_value()) << sql;
            EXPECT_EQ(*plan, std::vector<std::string>{std::string("0 ") + c.walk}) << library << ": " << sql;
            const auto walk = splittableWalk(connection, sql, "");
            ASSERT_TRUE(walk.has_value()) << sql;
            EXPECT_EQ(walk->index, "idxsongsyear");
        }
        EXPECT_EQ(db::queryPlan(connection, std::string(librarysql::storesDates)),
                  std::vector<std::string>{"0 SEARCH songs USING COVERING INDEX idxSongsYear (Year>?)"})
            << library;
    }
}

TEST(CalendarYears, AStoredNumberReadsAsItsCalendarYear) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"19970000", "1997"},  {"19971231", "1997"},  {"10000", "1"},          {"99991231", "9999"},
        {"19971231.5", "1997"}, {"19979999.9999999", "1997"}, {"1.5e+20", "15000000000000000"},
        {"9223372036854775807", "922337203685477"},
        // Plain years and what is no finite number stay as stored.
        {"1997", std::nullopt}, {"9999", std::nullopt}, {"9999.9", std::nullopt}, {"-1", std::nullopt},
        {"0", std::nullopt},    {"-19970000", std::nullopt}, {"Inf", std::nullopt}, {"", std::nullopt},
        {"abc", std::nullopt},  {" 19970000", std::nullopt},
    };
    std::string buffer;
    for (const auto& [stored, calendar] : cases) {
        const auto year = calendarYearOf(stored, buffer);
        EXPECT_EQ(year.has_value(), calendar.has_value()) << stored;
        if (year && calendar) {
            EXPECT_EQ(*year, *calendar) << stored;
        }
    }
}

TEST(CalendarYears, AMathFilterWithANumberOf10000OrMoreIsWrittenForTheStoredDates) {
    const std::pair<const char*, bool> cases[] = {
        {"(year-1950)/10", false},
        {"if(year>=19900000,1,0)", true},
        {"(year-19500000)/10000", true},
        {"year>1.99e7", true},
        {"year-1950+0.5", false},
        {"(songlength/1000.0)>9999.9", false},
        {"artist='10000maniacs'&year>1990", false},  // quoted text is no number
        {"artist='don't 10000'&year>1990", false},   // the apostrophe of don't stays inside
        {"custom10000=1", false},                    // a name's digits
    };
    for (const auto& [math, stored] : cases) EXPECT_EQ(writtenForStoredDates(math), stored) << math;

    const std::pair<const char*, bool> mentions[] = {
        {"year>1990", true}, {"(rating/20.0)*year", true}, {"origyear>1990", false}, {"years>1", false},
        {"songtitle~'year'", false}, {"songtitle~'don't year'", false}, {"year", true},
    };
    for (const auto& [filter, named] : mentions) EXPECT_EQ(mentionsYear(filter), named) << filter;
}

namespace {

// A song whose numbers are stored as numbers, except the codes in `texts`.
class StoredRow final : public SongRow {
public:
    std::optional<std::string_view> text(int code) const override {
        const auto it = values.find(code);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    bool holdsNumber(int code) const override { return values.contains(code) && !texts.contains(code); }
    std::map<int, std::string> values;
    std::map<int, bool> texts;
};

}  // namespace

TEST(CalendarYears, TheMathFiltersYearIsAStoredDatesCalendarYear) {
    const TokenList tokens = preparedMath("(year-1950)/10", kToday);
    MathFilter calendar(tokens, YearReading::Calendar), stored(tokens);
    struct Case {
        const char* year;
        bool text;
        double calendarScore, storedScore;
    };
    const Case cases[] = {
        {"19970000", false, 4.7, 1996805.0},
        {"19671231", false, 1.7, 1966928.1},
        {"1997", false, 4.7, 4.7},
        {"-1", false, -195.1, -195.1},
        {"0", false, -195.0, -195.0},
        {"19970000", true, 1996805.0, 1996805.0},  // a text is no stored date
    };
    for (const Case& c : cases) {
        StoredRow row;
        row.values = {{fieldcode::year, c.year}};
        if (c.text) row.texts[fieldcode::year] = true;
        EXPECT_DOUBLE_EQ(calendar.score(row), c.calendarScore) << c.year;
        EXPECT_DOUBLE_EQ(calendar.scoreLiteral(row), c.calendarScore) << c.year;
        EXPECT_DOUBLE_EQ(stored.score(row), c.storedScore) << c.year;
    }
    // NULL reads as 0 either way.
    EXPECT_DOUBLE_EQ(calendar.score(StoredRow{}), -195.0);
}
