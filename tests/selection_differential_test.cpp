// The fast ways of the selection stage against its plain ways on generated
// libraries: every score must match the literal one bit for bit, and the
// same seed must give the same IDs in every mode, with the columns fetched,
// the roulette, the top list and the sort query each taking their fast form
// where they can. Ties in the sort keys, NULLs and hostile numbers are what
// could tell the forms apart.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <cstdint>
#include <memory>

#include "choose/selection.h"
#include "choose/sort_plan.h"
#include "choose/sort_sql.h"
#include "db/connection.h"
#include "db/library_file.h"
#include "db/query_plan.h"
#include "db/statement.h"
#include "demolib/demolib.h"
#include "filter/expansion.h"
#include "filter/rewrites.h"
#include "fixture_library.h"
#include "harness.h"
#include "planted_statistics.h"
#include "report/run_error.h"
#include "score/math_filter.h"
#include "score/tokenizer.h"
#include "score_outcome.h"

using namespace vantor;
using namespace vantor::testing;

namespace {

constexpr const char* kToday = "45658.250000";

TokenList preparedMath(const std::string& math) { return vantor::testing::preparedMath(math, kToday); }

// The reference scores each row literally. Otherwise every fast score is
// held against the literal one of the same row, bit for bit; each thread of
// a split scan has its own pair.
class CheckedScorer final : public RowScorer {
public:
    CheckedScorer(std::string math, bool literalOnly)
        : math_(std::move(math)),
          literalOnly_(literalOnly),
          fast_(preparedMath(math_)),
          literal_(preparedMath(math_)) {}
    double score(const SongRow& row) override {
        if (literalOnly_) return literal_.scoreLiteral(row);
        const double value = fast_.score(row);
        const double expected = literal_.scoreLiteral(row);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected))
            << "row " << row.text(0).value_or("?");
        return value;
    }
    std::vector<int> fieldsRead() const override { return literal_.columnsRead(); }
    std::unique_ptr<RowScorer> another() const override {
        return std::make_unique<CheckedScorer>(math_, literalOnly_);
    }

private:
    std::string math_;
    bool literalOnly_;
    MathFilter fast_;
    MathFilter literal_;
};

// A library with numbers a formula can stumble on: signs, blanks, exponents,
// empty texts and NULLs in numeric columns, and many ties in Year and Artist.
std::vector<demo::FixtureSong> hostileSongs() {
    using demo::Value;
    const std::vector<Value> plays = {Value(std::int64_t{0}), Value(std::int64_t{5}), Value(std::string("-3")),
                                      Value(std::string("")), Value(std::string("1e5")), Value(),
                                      Value(std::string(" 7")), Value(2.5), Value(std::string("abc"))};
    const std::vector<std::string> artists = {"ABBA", "abba", "Queen", "", "Björk", "bjork"};
    std::vector<demo::FixtureSong> songs;
    for (std::int64_t id = 1; id <= 240; ++id) {
        demo::FixtureSong s;
        s.id = id * 3;  // gaps in the IDs
        s.values = {{"Artist", Value(artists[static_cast<std::size_t>(id) % artists.size()])},
                    {"Year", Value(std::int64_t{1990 + id % 4})},
                    {"PlayCounter", plays[static_cast<std::size_t>(id * 7) % plays.size()]},
                    {"Rating", Value(std::int64_t{(id % 6) * 20})},
                    {"BPM", id % 5 == 0 ? Value() : Value(std::int64_t{id % 3})},
                    {"LastTimePlayed", Value(45000.0 + static_cast<double>(id % 17) / 7.0)},
                    {"Genre", Value(std::string(id % 2 ? "Rock" : "Pop"))},
                    {"IDMedia", Value(std::int64_t{id % 3})},
                    {"SongPath", Value(std::string(id % 4 ? "a" : "b"))},
                    {"Comment", Value(std::string(id % 9 ? "" : "love"))}};
        songs.push_back(std::move(s));
    }
    return songs;
}

struct Library {
    std::string path;
    int size;
    ColumnMap columns;
};

Library openInfo(const std::string& path) {
    db::Connection connection;
    EXPECT_EQ(connection.open(path), 0);
    db::Statement count;
    count.prepare(connection, "SELECT COUNT(*) FROM songs");
    count.step();
    return {path, count.columnInt(0), ColumnMap::fromColumnNames(db::tableColumnNames(connection, "songs"))};
}

std::vector<std::int64_t> select(const Library& lib, const std::string& condition, const std::string& math,
                                 int mode, int count, bool removeRepeats, const std::string& sortFilter,
                                 bool reference, int threads = 1) {
    SelectionRequest request;
    db::LibraryFile file(lib.path);
    request.library = &file;
    request.condition = condition + sortFilter;
    request.sortFilter = sortFilter;
    request.mode = mode;
    request.songCount = count;
    request.removeRepeats = removeRepeats;
    request.window = 3;
    request.librarySize = lib.size;
    request.columns = lib.columns;
    request.reference = reference;
    request.threads = threads;
    if (math != "1") {
        request.scorer = std::make_shared<CheckedScorer>(math, reference);
    }
    MsvcRand rng(12345);
    return runSelection(request, rng).ids;
}

// The IDs, or the code of the error that ended the run as the only entry.
std::vector<std::int64_t> outcome(const Library& lib, const std::string& condition, const std::string& math,
                                  int mode, int count, bool removeRepeats, const std::string& sortFilter,
                                  bool reference, int threads = 1) {
    try {
        return select(lib, condition, math, mode, count, removeRepeats, sortFilter, reference, threads);
    } catch (const RunError& e) {
        return {-1000000 - e.code()};
    }
}

}  // namespace

TEST(SelectionDifferential, FastWaysGiveTheReferenceIdsInEveryMode) {
    TempDir dir;
    // VANTOR_DIFFERENTIAL_SONGS runs the same comparison on larger libraries by hand.
    const char* songs = std::getenv("VANTOR_DIFFERENTIAL_SONGS");
    const int size = songs != nullptr ? std::atoi(songs) : 3000;
    // The host's shape: dates in Year, and statistics older than the songs, which steer SQLite's plans.
    const std::string plain = generateShaped((dir / "plain.db").string(), size, kPlainShape);
    const std::string host = generateShaped((dir / "host.db").string(), size, kHostShape);
    const std::string hostile = (dir / "hostile.db").string();
    demo::createLibrary(hostile, {}, hostileSongs());

    const char* const maths[] = {"1",
                                 "if(playcounter>3,1,0.5)",
                                 "(rating*2+playcounter)/(lastplayedage+1)",
                                 "anyfield contains love",
                                 "playcounter*2-bpm+year",
                                 "rating>3 and artist=abba"};
    const char* const sorts[] = {"",           " ORDER BY Year",     " ORDER BY Year DESC", " ORDER BY Artist",
                                 " ORDER BY IDMedia", " ORDER BY Genre, Year DESC", " LIMIT 40",
                                 " ORDER BY ID", " ORDER BY ID DESC", " ORDER BY ID LIMIT 50 OFFSET 7",
                                 " ORDER BY BPM"};
    // Split with four parts, where they can be: walks of the table, of a
    // range of Year's index or of the whole of BPM's (NULLs first), sorted
    // by SQLite or not; the rest are read whole.
    const char* const conditions[] = {"Year>0", "Genre LIKE 'rock'"};
    int compared = 0;
    for (const std::string& path : {plain, host, hostile}) {
        const Library lib = openInfo(path);
        for (const char* condition : conditions) {
            for (const char* math : maths) {
                for (const char* sort : sorts) {
                    for (const int mode : {0, 1, 2}) {
                        const int count = mode == 1 ? 400 : 60;
                        const bool repeats = mode == 1 && std::string(sort).empty();
                        const auto reference = outcome(lib, condition, math, mode, count, repeats, sort, true);
                        for (const int threads : {1, 4}) {
                            const auto fast = outcome(lib, condition, math, mode, count, repeats, sort, false, threads);
                            ASSERT_EQ(fast, reference) << path << ": " << condition << " | " << math << " | "
                                                       << sort << " | mode " << mode << " | threads " << threads;
                        }
                        ++compared;
                    }
                }
            }
        }
    }
    EXPECT_EQ(compared, 3 * 2 * 6 * 11 * 3);
}

// Both forms of the sort query over draws with repeats, on a library where
// many songs share each sort key; the lookup form must really be taken,
// whatever statistics the library carries.
TEST(SelectionDifferential, SortQueryThroughTheKeyReturnsTheLikeRows) {
    TempDir dir;
    // Which form is chosen rests on SQLite's plans, made here without statistics.
    const std::string path = generateShaped((dir / "generated.db").string(), 2000, kPlainShape);

    std::vector<std::int64_t> draws;
    for (int i = 0; i < 300; ++i) draws.push_back(1 + (i * 37) % 1999);
    draws.push_back(draws[5]);
    draws.push_back(draws[9]);

    struct Case {
        const char* sort;
        bool lookup;  // whether the key lookup must be chosen
        bool byKey;   // whether it reads the draws by key rather than walking an index as the LIKE form does
    };
    const Case cases[] = {{" ORDER BY Artist", true, true},
                          {" ORDER BY Year", true, true},
                          {" ORDER BY Year DESC", true, true},
                          {" ORDER BY IDMedia", true, false},
                          {" ORDER BY IDMedia DESC", true, false},
                          {" ORDER BY Year LIMIT 7", true, false},
                          {" ORDER BY Genre, Year DESC", true, true},
                          {" order by  Rating/20.0 LIMIT 50", true, true},
                          {" ORDER BY random()", true, false},
                          {" LIMIT 20", false, false},
                          {" AND Year>0 ORDER BY Year", false, false}};
    const std::string byKey = "0 search songs using integer primary key (rowid=?)";
    for (const Statistics statistics : kEveryStatistics) {
        SCOPED_TRACE(statisticsName(statistics));
        plantStatistics(path, statistics, dir.path().string());
        db::Connection connection;
        ASSERT_EQ(connection.open(path), 0);
        auto rowsOf = [&](const std::string& sql) {
            std::vector<int> ids;
            db::Statement st;
            EXPECT_EQ(st.prepare(connection, sql), 0) << sql;
            while (st.step() == 100) ids.push_back(st.columnInt(0));
            return ids;
        };
        for (const Case& c : cases) {
            SelectionRequest request;
            request.sortFilter = c.sort;
            const std::string chosen = chooseSortQuery(connection, draws, request);
            const std::string like = buildSortQuery(draws, c.sort);
            EXPECT_EQ(chosen != like, c.lookup) << c.sort << ": " << chosen.substr(0, 80);
            if (std::string(c.sort).find("random") == std::string::npos) {
                EXPECT_EQ(rowsOf(chosen), rowsOf(like)) << c.sort;
            }
            if (!c.lookup) continue;
            // Only statistics that count a single song make SQLite walk the
            // table or an index for the lookup, and then as the LIKE form does.
            const std::string walk = db::planWalk(connection, chosen)->front();
            if (c.byKey && statistics != Statistics::OneRow) {
                EXPECT_EQ(walk, byKey) << c.sort;
            } else {
                EXPECT_EQ(walk, db::planWalk(connection, like)->front()) << c.sort;
            }
        }
    }
}
