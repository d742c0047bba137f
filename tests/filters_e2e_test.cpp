// The query filter as a user types it, through the built binary: the
// expansion and SQL lines on stdout, and the songs that end up in the
// result file, on both library layouts.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "expansion_examples.h"
#include "filter/field_catalogue.h"
#include "fixture_library.h"
#include "harness.h"

using namespace vantor::testing;
using vantor::demo::FixtureSong;
using vantor::demo::Layout;
using vantor::demo::Value;

namespace {

// The rest of the stdout line that starts with `prefix`, or "<missing>".
std::string lineAfter(const std::string& out, const std::string& prefix) {
    const std::size_t at = out.starts_with(prefix) ? 0 : out.find("\n" + prefix);
    if (at == std::string::npos) return "<missing>";
    const std::size_t from = at + (at == 0 ? 0 : 1) + prefix.size();
    return out.substr(from, out.find('\n', from) - from);
}

// Six songs that tell the filters apart: "abba" inside a longer name, an
// empty and a NULL artist, rock and pop in one genre, "Rock and Roll" spelled
// three ways, an apostrophe in an artist, and plays relative to today.
std::string makeFilterLibrary(const std::filesystem::path& dir, Layout layout) {
    const double today = todayDayNumber();
    auto song = [](std::int64_t id, Value artist, const std::string& title, const std::string& genre,
                   std::int64_t rating, double lastPlayed) {
        return FixtureSong{id,
                           {{"Artist", artist},
                            {"SongTitle", Value(title)},
                            {"Genre", Value(genre)},
                            {"Rating", Value(rating)},
                            {"LastTimePlayed", Value(lastPlayed)}}};
    };
    const std::vector<FixtureSong> songs = {
        song(1, Value(std::string("ABBA")), "Dancing Queen", "Pop", 100, today - 5),
        song(2, Value(std::string("Black Sabbath")), "Paranoid", "Rock", 80, today - 100),
        song(3, Value(std::string("Queen")), "Rock and Roll Music", "rock", 60, 0.0),  // never played
        song(4, Value(std::string("")), "Rock & Roll Queen", "Pop Rock", 80, today - 40),
        song(5, Value{}, "Untitled", "Jazz", 100, today - 1),
        song(6, Value(std::string("Don't Stop")), "Rock 'n' Roll", "pop", 80, today - 29.5),
    };
    const auto path = (dir / (std::string(layoutName(layout)) + ".db")).string();
    vantor::demo::LibraryOptions options;
    options.layout = layout;
    vantor::demo::createLibrary(path, options, songs);
    return path;
}

}  // namespace

// Every worked example of the easy notation, typed as a query filter. The
// driver's own steps before the expansion (minus as not, blanks around
// operators, EMPTY, lower case, star equalities) leave all of them as they
// are; the last rows show those steps at work.
TEST(FilterLines, TypedFiltersPrintTheirExpansion) {
    TempDir dir;
    const auto db = makeLibrary(dir.path(), Layout::Classic);
    struct Case { std::string typed; std::string sqlfilter; std::string initial = ""; };
    std::vector<Case> cases;
    for (const auto& e : kWorkedExpansions) cases.push_back({e.typed, e.expanded});
    // The driver's steps: lower case, stars, EMPTY only in capitals, minus as not.
    cases.insert(cases.end(), {
        {"Artist = ABBA", "artist='abba'", "artist=abba"},
        {"Rating=5 & Artist~EMPTY", "(rating>=5&rating<=5)&artist~''", "(rating>=5 & rating<=5)&artist~''"},
        {"artist=empty", "artist='empty'"},
        {"-genre=rock", "!genre='rock'", "!genre=rock"},
        {"genre='hip-hop' -rock", "genre='hip-hop'&!anyfield~'rock'", "genre='hip-hop' !rock"},
    });
    for (const auto& c : cases) {
        const auto r = runBinary(argv8(db, c.typed, "", "1", 0, 0, "out.txt"), dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(lineAfter(r.out, "sqlfilter: "), c.sqlfilter + "_") << c.typed;
        if (!c.initial.empty()) {
            EXPECT_EQ(lineAfter(r.out, "initial sqlfilter: "), c.initial) << c.typed;
        }
    }
}

class FilterRuns : public ::testing::TestWithParam<Layout> {};

// The anyfield SQL covers exactly the text columns this library has.
TEST_P(FilterRuns, TypedFiltersPrintTheirSql) {
    TempDir dir;
    const auto db = makeLibrary(dir.path(), GetParam());
    const std::string any = vantor::anyfieldSql(
        vantor::ColumnMap::fromColumnNames(vantor::demo::columnNames(GetParam())));
    struct Case { std::string typed; std::string sql; };
    const Case cases[] = {
        {"artist contains abba", "artist LIKE '%abba%'"},
        {"(genre=rock or genre=pop) and rating>3",
         "(genre LIKE 'rock' OR genre LIKE 'pop') AND (Rating/20.0)>3"},
        {"-genre=rock", " NOT genre LIKE 'rock'"},
        {"rock pop", any + " LIKE '%rock%' AND " + any + " LIKE '%pop%'"},
    };
    for (const auto& c : cases) {
        const auto r = runBinary(argv8(db, c.typed, "", "1", 0, 0, "out.txt"), dir.path());
        EXPECT_EQ(lineAfter(r.out, "**************SQL Query Out: "), c.sql) << c.typed;
    }
}

TEST_P(FilterRuns, TypedFiltersSelectTheirSongs) {
    TempDir dir;
    const auto db = makeFilterLibrary(dir.path(), GetParam());
    struct Case { std::string typed; std::string file; };
    const Case cases[] = {
        {"rock pop", "4,6"},
        {"artist contains abba", "1,2"},                           // Black Sabbath too
        {"(genre=rock or genre=pop) and rating>3", "1,2,6"},      // whole genres, more than 3 stars
        {"-genre=rock", "1,4,5,6"},                               // "=" ignores case: "rock" goes too
        {"lastplayedage>30", "2,3,4"},                            // never played is oldest of all
        // The expansion makes the value rock&roll, which the SQL reads back
        // as "rock AND roll": the spelled-out title matches, "&" does not.
        {"'rock and roll'", "3"},
        {"artist=EMPTY", "4"},                                    // the empty artist, not the NULL one
        {"artist='don't stop'", "ERROR: Please edit Query Filter"},  // the inner apostrophe ends the SQL text
    };
    for (const auto& c : cases) {
        const auto r = runBinary(argv8(db, c.typed, "ORDER BY ID", "1", 0, 0, "out.txt"), dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(slurp(dir / "out.txt"), c.file) << c.typed << "\n" << r.out << r.err;
    }
}

// The same quoted value works in the math filter, which compares it as text.
TEST_P(FilterRuns, ApostropheInsideAValueComparesInTheMathFilter) {
    TempDir dir;
    const auto db = makeFilterLibrary(dir.path(), GetParam());
    auto r = runBinary(argv8(db, "id>0", "ORDER BY ID", "artist='don't stop'", 0, 0, "out.txt"), dir.path());
    EXPECT_EQ(slurp(dir / "out.txt"), "6") << r.out << r.err;
    r = runBinary(argv8(db, "id>0", "ORDER BY ID", "artist='don't stop'", 2, 6, "out.txt"), dir.path());
    EXPECT_EQ(slurp(dir / "out.txt"), "6,1,2,3,4,5") << r.out << r.err;
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, FilterRuns, ::testing::Values(Layout::Classic, Layout::Current),
                         [](const auto& info) { return std::string(layoutName(info.param)); });

// The rotation test runs after lower-casing, so capitals still deal from the
// playlists, and the database is never opened.
TEST(FilterLines, RotateInCapitalsDealsWithoutTheDatabase) {
    TempDir dir;
    spit(dir / "vantor.ini", "rock.txt_name=Rock\r\npop.txt_name=Pop\r\n");
    spit(dir / "rock.txt", "1,2,3");
    spit(dir / "pop.txt", "10,20");
    const auto missing = (dir / "missing.db").string();
    const auto r = runBinary(argv8(missing, "ROTATE(Rock, Pop)", "no sql at all", "bpm>fast", 0, 7, "out.txt"),
                             dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(slurp(dir / "out.txt"), "1,10,2,20,3,10,1") << r.out << r.err;
    EXPECT_EQ(lineAfter(r.out, "sqlfilter: "), "<missing>");
    EXPECT_FALSE(std::filesystem::exists(missing));
}
