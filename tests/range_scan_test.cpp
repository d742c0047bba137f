// The selection query read in parts: which walks are split, and that every
// run reads one committed state of a library another connection keeps
// changing. That the parts give the one-connection candidates, row for row
// and score for score, is the selection differential test's.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "choose/selection.h"
#include "db/connection.h"
#include "db/library_file.h"
#include "db/statement.h"
#include "demolib/demolib.h"
#include "fixture_library.h"
#include "harness.h"
#include "planted_statistics.h"
#include "report/run_error.h"
#include "scan/range_scan.h"

using namespace vantor;
using namespace vantor::testing;

namespace {

std::string generated(const TempDir& dir, int songs, const GeneratedShape& shape) {
    return generateShaped((dir / "library.db").string(), songs, shape);
}

std::string shapeName(const ::testing::TestParamInfo<GeneratedShape>& info) { return info.param.name; }

void exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error != nullptr ? error : "";
    sqlite3_free(error);
    ASSERT_EQ(rc, SQLITE_OK) << sql << ": " << message;
}

}  // namespace

class RangeScanWalks : public ::testing::TestWithParam<GeneratedShape> {};

TEST_P(RangeScanWalks, OnlyWalksInKeyOrderAndSortsItCanFollowAreSplit) {
    TempDir dir;
    const std::string path = generated(dir, 200, GetParam());
    db::Connection connection;
    ASSERT_EQ(connection.open(path), 0);

    struct Case {
        const char* condition;
        const char* sort;
        const char* index;  // the walk split: "" the table's own order, nullptr none
        const char* column;
        std::size_t terms;  // the sort terms the parts are merged by
        // Statistics of a library a tenth of this one's 200 songs make SQLite
        // scan the table for the NULL keys' part, so the walk may be read
        // whole there: slower, never wrong (larger libraries keep the index).
        bool wholeOnStaleStatistics = false;
    };
    const Case cases[] = {
        {"Genre LIKE 'rock'", "", "", "ID", 0},
        {"PlayCounter>=0", " ORDER BY ID", "", "ID", 0},  // the walk's own order: no sort
        {"Year>0", "", "idxsongsyear", "Year", 0},        // up Year's index
        {"Year>1990 AND Year<2000", "", "idxsongsyear", "Year", 0},
        {"BPM>=0", "", "idxsongsbpm", "BPM", 0},
        {"Extension>''", "", "idxsongsextension", "Extension", 0},  // split only where the bounds read are numbers
        {"PlayCounter>=0", " ORDER BY Artist", "", "ID", 1},         // sorted by SQLite, merged by key
        {"Rating>=3", " ORDER BY Year", "idxsongsyear", "Year", 0, true},  // the whole index, NULL keys first
        {"Year>0", " order by  Artist DESC, \"Rating\" asc", "idxsongsyear", "Year", 2},
        {"Year>0", " ORDER BY Artist COLLATE USERLOCALE, Year", "idxsongsyear", "Year", 2},
        {"PlayCounter>=0", " ORDER BY Artist COLLATE NOCASE", nullptr, nullptr, 0},  // a collation not followed
        {"PlayCounter>=0", " ORDER BY lower(Artist)", nullptr, nullptr, 0},         // an expression
        {"PlayCounter>=0", " ORDER BY 2", nullptr, nullptr, 0},
        {"PlayCounter>=0", " ORDER BY Artist NULLS LAST", nullptr, nullptr, 0},
        {"PlayCounter>=0", " ORDER BY Artist LIMIT 5", nullptr, nullptr, 0},
        {"PlayCounter>=0", " ORDER BY ID DESC", nullptr, nullptr, 0},  // backwards
        {"Year>0", " ORDER BY Year DESC", nullptr, nullptr, 0},        // down the index
        {"PlayCounter>=0", " LIMIT 40", nullptr, nullptr, 0},
        {"PlayCounter>=0", " LIMIT -1 OFFSET 3", nullptr, nullptr, 0},
        {"PlayCounter>=0", " GROUP BY Genre", nullptr, nullptr, 0},
        {"PlayCounter>=0", " HAVING count(*)>0", nullptr, nullptr, 0},
        {"ID IN (SELECT ID FROM songs WHERE Year>0)", "", nullptr, nullptr, 0},  // a second walk
        {"ID>5", "", nullptr, nullptr, 0},  // a walk over a range of IDs is read whole
    };
    for (const Case& c : cases) {
        const std::string sql = "SELECT ID FROM songs WHERE " + std::string(c.condition) + c.sort;
        const auto walk = splittableWalk(connection, sql, c.sort);
        if (!walk && c.wholeOnStaleStatistics && GetParam().statistics == demo::Statistics::Stale) continue;
        ASSERT_EQ(walk.has_value(), c.index != nullptr) << sql;
        if (!walk) continue;
        EXPECT_EQ(walk->index, c.index) << sql;
        EXPECT_EQ(walk->column, c.column) << sql;
        EXPECT_EQ(walk->sort.size(), c.terms) << sql;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, RangeScanWalks, ::testing::Values(kPlainShape, kHostShape), shapeName);

// With statistics, SQLite may walk another index, or none, or several at
// once: a walk the scan knows is split (on whatever index it now walks), any
// other is read whole, and the list is the one-part list either way.
TEST(RangeScan, WalksAreSplitOrReadWholeWhateverTheStatistics) {
    TempDir dir;
    const std::string path = generated(dir, 3000, kPlainShape);
    struct Case {
        const char* condition;
        const char* sort;
        const char* walks[4];  // the walk split under each of kEveryStatistics: "ID" the table's, "" none
    };
    const Case cases[] = {
        {"Year>0", "", {"idxsongsyear", "idxsongsyear", "idxsongsyear", "idxsongsyear"}},
        {"Year>0", " ORDER BY Artist", {"idxsongsyear", "idxsongsyear", "idxsongsyear", ""}},
        {"PlayCounter>=0", "", {"ID", "ID", "ID", ""}},  // one row: each part would walk the table
        {"IDMedia=2 AND Year>0", "", {"idxsongsmediapath", "idxsongsyear", "idxsongsyear", ""}},
        {"Year>2000 OR BPM>150", "", {"", "", "", ""}},  // a MULTI-INDEX OR, or with one row a walk of the table
    };
    const ColumnMap columns = [&] {
        db::Connection c;
        c.open(path);
        return ColumnMap::fromColumnNames(db::tableColumnNames(c, "songs"));
    }();
    const auto selected = [&](const std::string& condition, int threads) {
        db::LibraryFile file(path);
        SelectionRequest request;
        request.library = &file;
        request.condition = condition;
        request.mode = 0;
        request.librarySize = 3000;
        request.columns = columns;
        request.threads = threads;
        MsvcRand rng(1);
        return runSelection(request, rng).ids;
    };
    for (std::size_t s = 0; s < std::size(kEveryStatistics); ++s) {
        plantStatistics(path, kEveryStatistics[s], dir.path().string());
        db::Connection connection;
        ASSERT_EQ(connection.open(path), 0);
        for (const Case& c : cases) {
            const std::string condition = std::string(c.condition) + c.sort;
            SCOPED_TRACE(std::string(statisticsName(kEveryStatistics[s])) + ": " + condition);
            const auto walk = splittableWalk(connection, "SELECT ID FROM songs WHERE " + condition, c.sort);
            EXPECT_EQ(walk ? (walk->index.empty() ? "ID" : walk->index) : "", c.walks[s]);
            const std::vector<std::int64_t> whole = selected(condition, 1);
            EXPECT_FALSE(whole.empty());
            EXPECT_EQ(selected(condition, 4), whole);
        }
    }
}

TEST(RangeScan, PartsAreAsManyAsAskedOrTheCoresAndTheSizeAllow) {
    EXPECT_EQ(scanParts(3, 10), 3);
    EXPECT_EQ(scanParts(1, 10'000'000), 1);
    EXPECT_EQ(scanParts(0, 1000), 1);  // too small to gain
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    EXPECT_EQ(scanParts(0, 10'000'000), std::min(cores, 8));
    EXPECT_LE(scanParts(0, 60'000), 2);
}

// A writer flips every song between two states, commit after commit, while
// runs read the library in four parts: each run's IDs must be all the songs
// (the first state) or none (the second), never a mixture.
class RangeScanUnderAWriter : public ::testing::TestWithParam<std::tuple<const char*, GeneratedShape>> {};

TEST_P(RangeScanUnderAWriter, EveryRunReadsOneCommittedState) {
    TempDir dir;
    const int songs = 3000;
    const auto& [journalMode, shape] = GetParam();
    const std::string path = generated(dir, songs, shape);
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
    exec(writer, std::string("PRAGMA journal_mode=") + journalMode);
    exec(writer, "UPDATE songs SET PlayCounter=0, Year=2000");
    // Waiting to commit, the writer keeps new readers out of a rollback-journal library.
    sqlite3_busy_timeout(writer, 1000);

    std::atomic<bool> stop{false};
    std::atomic<int> commits{0};
    std::thread flipping([&] {
        for (int state = 1; !stop; state ^= 1) {
            const std::string sql = state != 0 ? "UPDATE songs SET PlayCounter=1, Year=-1"
                                               : "UPDATE songs SET PlayCounter=0, Year=2000";
            if (sqlite3_exec(writer, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) ++commits;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

    const char* const conditions[] = {"PlayCounter=0", "Year>0"};
    const ColumnMap columns = [&] {
        db::Connection c;
        c.open(path);
        // Otherwise the runs below would read the library whole and prove nothing.
        for (const char* condition : conditions) {
            EXPECT_TRUE(splittableWalk(c, std::string("SELECT ID FROM songs WHERE ") + condition, ""))
                << condition << " is not read in parts";
        }
        return ColumnMap::fromColumnNames(db::tableColumnNames(c, "songs"));
    }();
    int answered = 0;
    // Until the writer has committed often and enough runs have answered;
    // a minute at most, so a writer that never gets in cannot hang the test.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while ((commits < 20 || answered < 40) && std::chrono::steady_clock::now() < giveUp) {
        for (const char* condition : conditions) {
            db::LibraryFile file(path);
            SelectionRequest request;
            request.library = &file;
            request.condition = condition;
            request.mode = 0;
            request.librarySize = songs;
            request.columns = columns;
            request.threads = 4;
            MsvcRand rng(1);
            try {
                const std::vector<std::int64_t> ids = runSelection(request, rng).ids;
                ++answered;
                EXPECT_TRUE(ids.empty() || ids.size() == static_cast<std::size_t>(songs))
                    << condition << ": " << ids.size() << " songs of " << songs;
            } catch (const RunError& e) {
                // A rollback-journal library may be busy at the very moment a
                // run begins: the run says so, as it always has.
                EXPECT_TRUE(e.code() == stage::selectionStep + SQLITE_BUSY ||
                            e.code() == stage::selectionPrepare + SQLITE_BUSY)
                    << e.code() << ": " << e.what();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
    stop = true;
    flipping.join();
    sqlite3_close(writer);
    EXPECT_GE(answered, 40);
    EXPECT_GE(commits.load(), 20);
}

INSTANTIATE_TEST_SUITE_P(JournalModes, RangeScanUnderAWriter,
                         ::testing::Combine(::testing::Values("WAL", "DELETE"), ::testing::Values(kPlainShape, kHostShape)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) + std::get<1>(info.param).name;
                         });
