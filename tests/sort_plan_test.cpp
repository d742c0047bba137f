// The sort query's planning: the plan text it reads, and the lookups it
// spells from it, on the current host layout's indexes.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "choose/sort_plan.h"
#include "choose/sort_sql.h"
#include "db/connection.h"
#include "db/query_plan.h"
#include "fixture_library.h"
#include "harness.h"

using namespace vantor;
using namespace vantor::testing;

TEST(SortPlan, OnlyAnOrderingCountsAsOne) {
    const struct {
        const char* sort;
        bool ordering;
    } cases[] = {
        {" ORDER BY Year", true},   {"order by year", true},     {" \n Order\t\tBy  Year", true},
        {" ORDER BY", false},       {" ORDERBY Year", false},    {" ORDER BYYear", false},
        {" ORDER", false},          {"", false},                 {" LIMIT 5", false},
        {" AND Year>0 ORDER BY Year", false},
    };
    for (const auto& c : cases) EXPECT_EQ(startsWithOrderBy(c.sort), c.ordering) << '"' << c.sort << '"';
}

TEST(SortPlan, WalkLinesNameTheTableOrTheIndexTheyScan) {
    using Name = std::optional<std::string>;
    const struct {
        const char* line;
        Name table;
        Name index;
    } cases[] = {
        {"0 scan songs", "songs", std::nullopt},
        {"0 scan songs using index idxsongsyear", std::nullopt, "idxsongsyear"},
        {"0 scan songs using index ", std::nullopt, std::nullopt},
        {"0 scan songs using index two words", std::nullopt, std::nullopt},
        {"0 scan songs using index \"quoted\"", std::nullopt, std::nullopt},
        {"0 search songs using integer primary key (rowid=?)", std::nullopt, std::nullopt},
        {"0 use temp b-tree for order by", std::nullopt, std::nullopt},
        {"1 scan songs", std::nullopt, std::nullopt},  // a walk inside another
    };
    for (const auto& c : cases) {
        EXPECT_EQ(db::tableScanned(c.line), c.table) << c.line;
        EXPECT_EQ(db::indexScanned(c.line), c.index) << c.line;
    }
}

class SortPlanOnLibrary : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(connection.open(makeLibrary(dir.path(), demo::Layout::Current)), 0); }

    TempDir dir;
    db::Connection connection;
};

TEST_F(SortPlanOnLibrary, WalkIsThePlanInLowerCaseWithCoveringIndexesReadAsIndexes) {
    EXPECT_EQ(db::planWalk(connection, "SELECT Year FROM songs ORDER BY Year"),
              (std::vector<std::string>{"0 scan songs using index idxsongsyear"}));
    EXPECT_EQ(db::planWalk(connection, buildSortQuery({12, 13}, " ORDER BY SongTitle")),
              (std::vector<std::string>{"0 scan songs", "0 use temp b-tree for order by"}));
    EXPECT_EQ(db::planWalk(connection, "SELECT ID FROM nowhere"), std::nullopt);
}

TEST_F(SortPlanOnLibrary, BackwardsOnlyForADescendingWalkOfAnAscendingIndex) {
    EXPECT_TRUE(db::walksBackwards(connection, buildSortQuery({12, 13}, " ORDER BY Year DESC")));
    EXPECT_FALSE(db::walksBackwards(connection, buildSortQuery({12, 13}, " ORDER BY Year")));
    EXPECT_FALSE(db::walksBackwards(connection, "SELECT ID FROM nowhere ORDER BY Year DESC"));
}

TEST_F(SortPlanOnLibrary, IndexOrderIsSpelledOnlyForPlainColumnsAndNoLimit) {
    const struct {
        const char* sort;
        const char* index;
        const char* lookup;
    } cases[] = {
        {" ORDER BY Year", "idxSongsYear",
         "SELECT ID FROM songs NOT INDEXED WHERE ID IN (SELECT value FROM json_each('[12,13]'))"
         " ORDER BY \"Year\" ASC, ID ASC"},
        {" ORDER BY Year DESC", "idxSongsYear",
         "SELECT ID FROM songs NOT INDEXED WHERE ID IN (SELECT value FROM json_each('[12,13]'))"
         " ORDER BY \"Year\" DESC, ID DESC"},
        {" ORDER BY Year LIMIT 1", "idxSongsYear", ""},      // the walk serves LIMIT and OFFSET
        {" ORDER BY IDMedia", "idxSongsMediaPath", ""},     // SongPath keeps the host's collation
        {" ORDER BY Year", "idxNowhere", ""},
    };
    for (const auto& c : cases) {
        const std::string like = buildSortQuery({13, 12, 13}, c.sort);
        EXPECT_EQ(lookupInIndexOrder(connection, like, c.index, "12,13", c.sort), c.lookup) << c.sort;
    }
}

TEST_F(SortPlanOnLibrary, TheReferenceAlwaysGetsTheLikeForm) {
    SelectionRequest request;
    request.sortFilter = " ORDER BY Year";
    const std::vector<std::int64_t> draws{13, 12, 13};
    EXPECT_EQ(chooseSortQuery(connection, draws, request),
              "SELECT ID FROM songs NOT INDEXED WHERE ID IN (SELECT value FROM json_each('[12,13]'))"
              " ORDER BY \"Year\" ASC, ID ASC");
    request.reference = true;
    EXPECT_EQ(chooseSortQuery(connection, draws, request), buildSortQuery(draws, request.sortFilter));
}
