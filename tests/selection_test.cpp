// The selection stage on a real fixture library, with scripted draws.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "choose/selection.h"
#include "choose/sort_sql.h"
#include "db/library_file.h"
#include "db_test_support.h"
#include "fixture_library.h"
#include "harness.h"
#include "report/run_error.h"

using namespace vantor;
using namespace vantor::testing;

TEST(SortQuery, ListsTheDrawsAsOneLikePattern) {
    EXPECT_EQ(buildSortQuery({5, 7, 5, 9}, " ORDER BY Year"),
              "SELECT ID FROM songs WHERE ',5,7,5,9,' LIKE '%,'||ID||',%' ORDER BY Year");
}

TEST(Selection, SortQueryKeepsTheStaleTailOfRepeatedDraws) {
    TempDir dir;
    SelectionRequest request;
    db::LibraryFile library(makeLibrary(dir.path(), demo::Layout::Classic));
    request.library = &library;
    request.condition = "genre LIKE 'rock'";  // 12, 13, 16, 17
    request.mode = 1;
    request.songCount = 4;
    request.librarySize = 8;
    request.sortFilter = " ORDER BY Year DESC";
    ScriptedSource draws({0, 16384, 0, 24576});  // indexes 0, 2, 0, 3: IDs 12, 16, 12, 17
    EXPECT_EQ(runSelection(request, draws).ids, (std::vector<std::int64_t>{17, 16, 12, 17}));

    request.removeRepeats = true;
    ScriptedSource again({0, 16384, 0, 24576});
    EXPECT_EQ(runSelection(request, again).ids, (std::vector<std::int64_t>{17, 16, 12}));
}

TEST(Selection, ConnectionFailuresCarryTheirCodes) {
    TempDir dir;
    SelectionRequest request;
    db::LibraryFile missing((dir / "missing.db").string());
    request.library = &missing;
    request.condition = "1";
    ScriptedSource draws({0});
    try {
        runSelection(request, draws);
        FAIL() << "expected a RunError";
    } catch (const RunError& e) {
        EXPECT_EQ(e.code(), 4514);
    }
    db::LibraryFile library(makeLibrary(dir.path(), demo::Layout::Classic));
    request.library = &library;
    request.condition = "year>fast";
    try {
        runSelection(request, draws);
        FAIL() << "expected a RunError";
    } catch (const RunError& e) {
        EXPECT_EQ(e.code(), 2);
    }
}

// Every mode number, known or not, opens, prepares and steps the selection
// query, so each meets the same failures; a number no mode has reads nothing.
TEST(Selection, EveryModeNumberRunsTheQueryAndMeetsItsFailures) {
    TempDir dir;
    db::LibraryFile missing((dir / "missing.db").string());
    db::LibraryFile library(makeLibrary(dir.path(), demo::Layout::Classic));
    for (const int mode : {0, 1, 2, 3, -1, 1000}) {
        SelectionRequest request;
        request.mode = mode;
        request.songCount = 3;
        request.librarySize = 8;
        const struct {
            db::LibraryFile* library;
            const char* condition;
            int code;
        } failures[] = {{&missing, "1", 4514}, {&library, "year>fast", 2}};
        for (const auto& f : failures) {
            request.library = f.library;
            request.condition = f.condition;
            ScriptedSource draws({0});
            try {
                runSelection(request, draws);
                ADD_FAILURE() << "mode " << mode << ": expected a RunError";
            } catch (const RunError& e) {
                EXPECT_EQ(e.code(), f.code) << "mode " << mode;
            }
        }
        request.library = &library;
        request.condition = "genre LIKE 'rock'";
        ScriptedSource draws({0, 0, 0});
        EXPECT_EQ(runSelection(request, draws).ids.empty(), mode < 0 || mode > 2) << "mode " << mode;
    }
}

namespace {

// Draws like the source it wraps, but its first draw has another process's
// worth of writer take the library's exclusive lock: the library turns busy
// after the selection connection has closed and before the sort query runs.
class LockingSource final : public RandomSource {
public:
    LockingSource(std::string library, RandomSource& draws) : library_(std::move(library)), draws_(draws) {}
    int next() override {
        if (!host_) {
            host_ = std::make_unique<Writer>(library_);
            host_->exec("BEGIN EXCLUSIVE");
        }
        return draws_.next();
    }

private:
    std::string library_;
    RandomSource& draws_;
    std::unique_ptr<Writer> host_;
};

}  // namespace

TEST(Selection, BusySortQueryEndsTheRunInsteadOfLeavingDrawsUnsorted) {
    TempDir dir;
    SelectionRequest request;
    db::LibraryFile library(makeLibrary(dir.path(), demo::Layout::Classic));
    request.library = &library;
    request.condition = "genre LIKE 'rock'";
    request.mode = 1;
    request.songCount = 4;
    request.librarySize = 8;
    request.sortFilter = " ORDER BY Year DESC";
    ScriptedSource draws({0, 16384, 0, 24576});
    LockingSource locking(library.path(), draws);
    try {
        const std::vector<std::int64_t> ids = runSelection(request, locking).ids;
        FAIL() << "expected a RunError, got " << ids.size() << " IDs";
    } catch (const RunError& e) {
        EXPECT_EQ(e.code(), 8505) << e.what();
        EXPECT_NE(std::string(e.what()).find("database is locked"), std::string::npos) << e.what();
    }
}

TEST(Selection, KeepsTheChosenSongsScoresWhenAsked) {
    TempDir dir;
    db::LibraryFile library(makeLibrary(dir.path(), demo::Layout::Current));
    SelectionRequest request;
    request.library = &library;
    request.condition = "genre LIKE 'rock'";  // 12, 13, 16, 17
    request.librarySize = 8;
    request.columns = ColumnMap::fromColumnNames(demo::columnNames(demo::Layout::Current));
    // The score is the ID over 100, so each one tells which song it came from.
    struct IdScorer final : RowScorer {
        double score(const SongRow& row) override { return std::stod(std::string(row.text(0).value_or("0"))) / 100; }
        std::vector<int> fieldsRead() const override { return {0}; }
        std::unique_ptr<RowScorer> another() const override { return std::make_unique<IdScorer>(); }
    };
    request.scorer = std::make_shared<IdScorer>();
    for (const int mode : {0, 1, 2}) {
        request.mode = mode;
        request.songCount = 3;
        MsvcRand plain(5);
        const std::vector<std::int64_t> ids = runSelection(request, plain).ids;

        request.keepScores = true;
        MsvcRand again(5);
        const SelectionOutcome outcome = runSelection(request, again);
        request.keepScores = false;
        EXPECT_EQ(outcome.ids, ids) << "mode " << mode;  // keeping the scores changes no choice
        ASSERT_FALSE(outcome.ids.empty()) << "mode " << mode;
        EXPECT_EQ(outcome.scores.size(), std::set<std::int64_t>(ids.begin(), ids.end()).size()) << "mode " << mode;
        for (const std::int64_t id : outcome.ids) EXPECT_DOUBLE_EQ(outcome.scores.at(id), id / 100.0) << "mode " << mode;
    }
    // Unscored runs have no scores to keep.
    request.scorer = nullptr;
    request.keepScores = true;
    MsvcRand rng(5);
    EXPECT_TRUE(runSelection(request, rng).scores.empty());
}
