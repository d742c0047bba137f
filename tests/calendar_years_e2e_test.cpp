// Whole runs on libraries that store Year as YYYYMMDD: the query filter
// selects and the math filter scores by calendar year, on a fixture of the
// edge cases in both layouts and on the real host libraries; a library of
// plain years, or one without Year, runs as it always did.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "demolib/demolib.h"
#include "e2e_library.h"
#include "fixture_library.h"
#include "harness.h"
#include "real_libraries.h"
#include "text/toolkit.h"

using namespace vantor::testing;
using vantor::demo::Layout;
using vantor::demo::Value;
using vantor::replace;

namespace {

// Unknown years beside plain years and dates, as a library may mix them.
std::string datesLibrary(const TempDir& dir, Layout layout) {
    const std::vector<std::pair<std::int64_t, Value>> years = {
        {1, std::int64_t{-1}},       {2, std::int64_t{0}},        {3, Value{}},
        {4, std::int64_t{1997}},     {5, std::int64_t{19970000}}, {6, std::int64_t{19971231}},
        {7, std::int64_t{19980000}}, {8, std::int64_t{19891231}}, {9, std::int64_t{19900000}},
        {10, std::int64_t{20061226}}, {11, std::int64_t{1990}},
    };
    std::vector<vantor::demo::FixtureSong> songs;
    for (const auto& [id, year] : years) {
        songs.push_back({id, {{"Year", year}, {"Artist", Value(std::string("Artist ") + std::to_string(id))}}});
    }
    const std::string path = (dir / (std::string(layoutName(layout)) + "-dates.db")).string();
    vantor::demo::LibraryOptions options;
    options.layout = layout;
    vantor::demo::createLibrary(path, options, songs);
    return path;
}

// The line of standard output that starts with `label`, without it.
std::string lineAfter(const std::string& out, const std::string& label) {
    const std::size_t at = out.find(label);
    if (at == std::string::npos) return "<no " + label + ">";
    const std::size_t from = at + label.size();
    return out.substr(from, out.find('\n', from) - from);
}

// The listing of --show: each song's ID and score.
std::map<std::int64_t, std::string> scoresShown(const std::string& out) {
    std::map<std::int64_t, std::string> scores;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        scores[std::stoll(line.substr(0, tab))] = line.substr(line.rfind('\t') + 1);
    }
    return scores;
}

constexpr const char* kSqlLine = "**************SQL Query Out: ";

}  // namespace

class CalendarYearsE2e : public ::testing::TestWithParam<Layout> {};

TEST_P(CalendarYearsE2e, TheQueryFilterSelectsByCalendarYear) {
    TempDir dir;
    const std::string lib = datesLibrary(dir, GetParam());
    struct Case {
        const char* query;
        const char* ids;
    };
    const Case cases[] = {
        {"year>=1990 and year<2000", "4,5,6,7,9,11"},
        {"(year>=1990 and year<=1999)", "4,5,6,7,9,11"},
        {"year=1997", "4,5,6"},
        {"year contains 1997", "4,5,6"},
        {"year>1990", "4,5,6,7,10"},
        {"1990<year", "4,5,6,7,10"},
        {"year<1970", "1,2"},  // unknown years (-1, 0) are below any year, as always; NULL is nothing
        {"year<=1990", "1,2,8,9,11"},
        {"-year=1997", "1,2,7,8,9,10,11"},
        {"year!=1997", "1,2,7,8,9,10,11"},
        {"year<>1997", "1,2,7,8,9,10,11"},
        {"year=1998 or year=2006", "7,10"},
        {"year>0", "4,5,6,7,8,9,10,11"},
        {"year=0", "2"},
        // Written for the stored dates: compared as stored.
        {"year>=19900000", "5,6,7,9,10"},
        {"year<19900000", "1,2,4,8,11"},
    };
    for (const Case& c : cases) {
        const ProcessResult p = runBinary(argv8(lib, c.query, "ORDER BY ID", "1", 0, 0, "result.txt"), dir.path());
        EXPECT_EQ(p.status, 0) << c.query;
        EXPECT_EQ(slurp(dir / "result.txt"), c.ids) << c.query << "\n" << p.out << p.err;
    }
}

TEST_P(CalendarYearsE2e, TheMathFilterScoresTheCalendarYearUnlessWrittenForTheStoredDates) {
    TempDir dir;
    const std::string lib = datesLibrary(dir, GetParam());
    const ProcessResult p =
        runBinary({"--show", lib, "id>0", "", "year-1950", "2", "11", "0", "result.txt"}, dir.path());
    const std::map<std::int64_t, std::string> expected = {
        {1, "-1951"}, {2, "-1950"}, {3, "-1950"}, {4, "47"}, {5, "47"}, {6, "47"},
        {7, "48"},    {8, "39"},    {9, "40"},    {10, "56"}, {11, "40"}};
    EXPECT_EQ(scoresShown(p.out), expected) << p.out << p.err;

    // A number of 10000 or more: the author compares the stored dates.
    runBinary(argv8(lib, "id>0", "ORDER BY ID", "if(year>=19900000,1,0)", 0, 0, "result.txt"), dir.path());
    EXPECT_EQ(slurp(dir / "result.txt"), "5,6,7,9,10");
    runBinary(argv8(lib, "id>0", "ORDER BY ID", "if(year>=1990,1,0)", 0, 0, "result.txt"), dir.path());
    EXPECT_EQ(slurp(dir / "result.txt"), "4,5,6,7,9,10,11");
}

TEST_P(CalendarYearsE2e, TheSqlLineShowsTheConditionOnTheCalendarYearOnlyWhereYearsAreDates) {
    TempDir dir;
    const std::string dates = datesLibrary(dir, GetParam());
    const std::string plain = makeLibrary(dir.path(), GetParam());
    const auto args = [](const std::string& lib) {
        return argv8(lib, "year>=1990 and year<2000", "ORDER BY ID", "1", 0, 0, "result.txt");
    };
    ProcessResult p = runBinary(args(dates), dir.path());
    EXPECT_EQ(lineAfter(p.out, kSqlLine),
              "(Year>=1990 AND NOT (Year>=10000 AND Year<19900000)) AND (Year<20000000 AND NOT (Year>=2000 AND "
              "Year<10000)) ORDER BY ID");
    // Plain years: the lines as they always were.
    p = runBinary(args(plain), dir.path());
    EXPECT_EQ(lineAfter(p.out, "\nsqlfilter: "), "year>=1990&year<2000 ORDER BY ID_");
    EXPECT_EQ(lineAfter(p.out, kSqlLine), "year>=1990 AND year<2000 ORDER BY ID");
    EXPECT_EQ(slurp(dir / "result.txt"), "18");
}

INSTANTIATE_TEST_SUITE_P(Layouts, CalendarYearsE2e, ::testing::Values(Layout::Current, Layout::Classic),
                         [](const auto& info) { return std::string(layoutName(info.param)); });

// A library without Year stores no dates and is not asked: the query filter
// is refused by SQLite, naming the column, and the math filter reads 0.
TEST(CalendarYearsE2eNoYear, ALibraryWithoutYearRunsAsAlways) {
    TempDir dir;
    const std::string lib = (dir / "narrow.db").string();
    buildLibrary(lib, classicSongsTable(9), {"INSERT INTO songs(ID,Artist) VALUES(1,'A'),(2,'B')"});
    ProcessResult p = runBinary(argv8(lib, "year>1990", "", "1", 0, 0, "result.txt"), dir.path());
    EXPECT_EQ(slurp(dir / "result.txt"), "ERROR: Please edit Query Filter");
    EXPECT_NE(p.err.find("no such column: year"), std::string::npos) << p.err;
    p = runBinary(argv8(lib, "id>0", "", "if(year-1950<0,1,0)", 0, 0, "result.txt"), dir.path());
    EXPECT_EQ(slurp(dir / "result.txt"), "1,2");
}

// The host's own libraries (years as 19970000, one full date 20061226,
// unknown as -1). The expected IDs were read from the files with the sqlite3
// shell, each song's calendar year worked out in SQL.
TEST(CalendarYearsRealLibraries, SelectAndScoreByCalendarYear) {
    TempDir dir;
    const auto big = realLibrary("autoequaliser-MM.DB", dir);
    const auto small = realLibrary("autoequaliser-py-MM.DB", dir);
    if (!big || !small) GTEST_SKIP() << kNoRealLibraries;

    const std::string nineties =
        "15,20,23,26,29,32,36,40,44,47,49,52,55,76,78,80,81,83,86,87,89,91,94,96,99,102,104,106,107,109,111,117,"
        "122,124,128,129,130,133,134,135,136,137,138,139,140,141,142,143,144,145,146,147,148,149,150,151,152,153,"
        "154,155,156,157,169,170,171,172,173,174,175,176,177,178,179,180,181,182,183,184,185,186,187,188,189,190,"
        "191,192,193,194,195,196,197,198,199,200,201";
    const std::string in1997 =
        "76,78,80,81,83,86,87,89,91,94,96,99,102,104,106,107,109,111,122,133,134,135,136,137,138,139,140,141,142,"
        "143,144,145,146,148,149,150,151,152,153,154,155,156,157";
    // After 1990 are the songs dated from 1990-00-00 on but those of 1990 itself (129 and 130).
    const std::string from1990 =
        "15,16,18,20,21,23,24,26,27,29,30,32,33,35,36,38,40,41,43,44,46,47,49,50,52,53,55,56,58,60,62,64,65,66,67,"
        "68,69,70,71,72,73,74,76,78,80,81,83,86,87,89,91,94,96,99,100,102,104,106,107,109,111,117,118,122,123,124,"
        "127,128,129,130,131,132,133,134,135,136,137,138,139,140,141,142,143,144,145,146,147,148,149,150,151,152,"
        "153,154,155,156,157,169,170,171,172,173,174,175,176,177,178,179,180,181,182,183,184,185,186,187,188,189,"
        "190,191,192,193,194,195,196,197,198,199,200,201";
    std::string after1990 = from1990;
    replace(after1990, "128,129,130,", "128,");
    const std::string before1970 =
        "14,17,19,22,25,28,31,34,37,39,42,45,48,51,54,57,59,61,63,75,77,79,82,84,85,88,90,92,93,95,97,98,101,103,"
        "105,108,110,112,113,114,115,116,158,159,160,161,162,163";
    struct Case {
        const std::string* library;
        const char* query;
        std::string ids;
    };
    const Case cases[] = {
        {&*big, "year>=1990 and year<2000", nineties}, {&*big, "year=1997", in1997},
        {&*big, "year>1990", after1990},               {&*big, "year<1970", before1970},
        {&*big, "year>=19900000", from1990},
        {&*small, "year>=1990 and year<2000", "5"},    {&*small, "year=1997", ""},
        {&*small, "year>1990", "1,2,3,4,5"},           {&*small, "year<1970", "6"},
        {&*small, "year>=19900000", "1,2,3,4,5"},
    };
    for (const Case& c : cases) {
        const ProcessResult p = runBinary(argv8(*c.library, c.query, "ORDER BY ID", "1", 0, 0, "result.txt"), dir.path());
        EXPECT_EQ(slurp(dir / "result.txt"), c.ids) << *c.library << ": " << c.query << "\n" << p.out << p.err;
    }

    // year-1950 on the smaller library: 2001, 2006, 2006-12-26, 2007, 1994 and unknown (-1).
    ProcessResult p = runBinary({"--show", *small, "id>0", "", "year-1950", "2", "6", "0", "result.txt"}, dir.path());
    const std::map<std::int64_t, std::string> smallScores = {{1, "51"}, {2, "56"}, {3, "56"},
                                                             {4, "57"}, {5, "44"}, {6, "-1951"}};
    EXPECT_EQ(scoresShown(p.out), smallScores) << p.out << p.err;
    // On the larger one, how many songs get each score: one per calendar year.
    p = runBinary({"--show", *big, "id>0", "", "year-1950", "2", "184", "0", "result.txt"}, dir.path());
    std::map<std::string, int> songsPerScore;
    for (const auto& [id, score] : scoresShown(p.out)) ++songsPerScore[score];
    const std::map<std::string, int> expected = {{"-1951", 20}, {"6", 2},  {"10", 7},  {"15", 11}, {"16", 7},
                                                 {"18", 1},     {"21", 1}, {"30", 5},  {"40", 2},  {"44", 14},
                                                 {"47", 43},    {"48", 32}, {"49", 4}, {"50", 3},  {"52", 1},
                                                 {"53", 31}};
    EXPECT_EQ(songsPerScore, expected) << p.out << p.err;
}

// The condition on the calendar year keeps one range of the Year index, so a
// run read in parts still splits that walk, and gives what one connection does.
TEST(CalendarYearsE2eParts, ARunReadInPartsChoosesWhatOneConnectionChooses) {
    TempDir dir;
    std::vector<vantor::demo::FixtureSong> songs;
    for (std::int64_t id = 1; id <= 3000; ++id) {
        const std::int64_t year = 1950 + id * 7 % 70;
        const Value stored = id % 50 == 0 ? Value(year) : id % 97 == 0 ? Value(std::int64_t{-1})
                                                        : Value(year * 10000 + id % 12 * 100 + id % 28);
        songs.push_back({id, {{"Year", stored}, {"PlayCounter", Value(id % 9)}}});
    }
    const std::string lib = (dir / "many.db").string();
    vantor::demo::createLibrary(lib, {}, songs);
    for (const char* mode : {"0", "1", "2"}) {
        std::string results[2];
        for (int i = 0; i < 2; ++i) {
            const ProcessResult p = runBinary({"--seed", "7", "--threads", i == 0 ? "1" : "4", lib,
                                               "year>=1990 and year<2000", "", "(year-1950)/100+playcounter/10",
                                               mode, "200", "0", "result.txt"},
                                              dir.path());
            EXPECT_NE(lineAfter(p.out, kSqlLine).find("NOT (Year>=10000"), std::string::npos) << p.out;
            results[i] = slurp(dir / "result.txt");
        }
        EXPECT_FALSE(results[0].empty());
        EXPECT_EQ(results[0].find("ERROR"), std::string::npos) << results[0];
        EXPECT_EQ(results[1], results[0]) << "mode " << mode;
    }
}
