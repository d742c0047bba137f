// The queries a run adds beside the selection query keep the plans they were
// written for whatever statistics the library carries, and a run gives the
// same bytes with any of them. The sort query's plans are the selection
// differential test's; the split scan's, the range scan test's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/connection.h"
#include "db/query_plan.h"
#include "demolib/demolib.h"
#include "fixture_library.h"
#include "harness.h"
#include "library/session.h"
#include "library/sessions.h"
#include "output/song_lookup.h"
#include "planted_statistics.h"
#include "rules/song_data.h"
#include "rules/songs_by_id.h"
#include "scan/scan_sql.h"

using namespace vantor;
using namespace vantor::testing;

namespace {

using Plan = std::vector<std::string>;

std::string generated(const TempDir& dir, demo::Layout layout, int songs) {
    const std::string name = layout == demo::Layout::Current ? "current.db" : "classic.db";
    const std::string path = (dir / name).string();
    demo::GenerateOptions options;
    options.layout = layout;
    options.songs = songs;
    demo::generateLibrary(path, options);
    return path;
}

}  // namespace

// Each song is looked up alone by its key, and its media by theirs: SQLite
// plans such statements by the key without weighing costs. The ends of the
// ID range are read off the key. The count reads whichever index is
// smallest, which the counts of statistics do not change.
TEST(LibraryStatistics, LookupsByKeyKeepTheirPlans) {
    TempDir dir;
    for (const demo::Layout layout : {demo::Layout::Current, demo::Layout::Classic}) {
        const std::string path = generated(dir, layout, 2000);
        const Plan chosenSongs = layout == demo::Layout::Current
                                     ? Plan{"0 SEARCH s USING INTEGER PRIMARY KEY (rowid=?)",
                                            "0 CORRELATED SCALAR SUBQUERY 1",
                                            "1 SEARCH m USING INTEGER PRIMARY KEY (rowid=?)"}
                                     : Plan{"0 SEARCH s USING INTEGER PRIMARY KEY (rowid=?)"};
        Plan count;
        for (const Statistics statistics : kEveryStatistics) {
            SCOPED_TRACE(std::string(statisticsName(statistics)) + ", " + layoutName(layout));
            plantStatistics(path, statistics, dir.path().string(), layout);
            db::Connection connection;
            ASSERT_EQ(connection.open(path), 0);
            const std::string songData =
                songDataSelect(songsColumns(connection, stagecodes::selection), SongData().fields());
            EXPECT_EQ(db::queryPlan(connection, songByIdSql(songData, "ID")),
                      Plan{"0 SEARCH songs USING INTEGER PRIMARY KEY (rowid=?)"});
            EXPECT_EQ(db::queryPlan(connection, songByIdSql(chosenSongsSelect(connection), "s.ID")), chosenSongs);
            EXPECT_EQ(db::queryPlan(connection, std::string(selectionsql::idEnds)),
                      (Plan{"0 SCAN CONSTANT ROW", "0 SCALAR SUBQUERY 1", "1 SEARCH songs", "0 SCALAR SUBQUERY 2",
                            "1 SEARCH songs"}));
            const auto plan = db::queryPlan(connection, std::string(librarysql::count));
            ASSERT_TRUE(plan);
            if (statistics == Statistics::None) count = *plan;
            EXPECT_EQ(*plan, count);
        }
    }
}

// The same runs on one library as its statistics change: every byte of
// standard output, of the result file and of the playlist stays. They read
// the chosen songs for --show and --m3u, the rules' song data, and the sort
// query through its key lookup (along the table, and along Year's index).
// Each selection query has an order of its own: without one, the order is
// whatever walk SQLite plans, which statistics may change.
TEST(LibraryStatistics, RunsGiveTheSameBytesWhateverTheStatistics) {
    TempDir dir;
    const std::string path = generated(dir, demo::Layout::Current, 2000);
    const std::vector<std::vector<std::string>> runs = {
        {"--show", "--m3u", "all.m3u", path, "id>0", "ORDER BY ID", "1", "0", "0", "0", "out.txt"},
        {"--seed", "7", "--max-per-artist", "2", "--show", path, "genre=rock", "ORDER BY Artist", "1", "1", "60", "0",
         "out.txt"},
        {"--seed", "7", "--minutes", "90", path, "id>0", "ORDER BY Year", "1", "1", "0", "0", "out.txt"},
        {"--seed", "7", path, "id>0", "ORDER BY SongTitle", "1", "1", "300", "1", "out.txt"},
    };
    std::vector<std::string> first;
    for (const Statistics statistics : kEveryStatistics) {
        plantStatistics(path, statistics, dir.path().string());
        for (std::size_t i = 0; i < runs.size(); ++i) {
            SCOPED_TRACE(std::string(statisticsName(statistics)) + ", run " + std::to_string(i));
            const ProcessResult r = runBinary(runs[i], dir.path());
            ASSERT_EQ(r.status, 0) << r.err;
            const std::string bytes = r.out + "\n--\n" + slurp(dir / "out.txt") +
                                      (i == 0 ? "\n--\n" + slurp(dir / "all.m3u") : std::string());
            if (statistics == Statistics::None) {
                first.push_back(bytes);
                EXPECT_FALSE(slurp(dir / "out.txt").starts_with("DATABASE")) << slurp(dir / "out.txt");
            } else {
                EXPECT_EQ(bytes, first[i]);
            }
        }
    }
}

// Where ID is no key, a lookup of one song would walk the whole table: the
// songs are read in lists of IDs instead, with the same rows. A table may then
// hold an ID twice; its first row is the song.
TEST(LibraryStatistics, SongsOfALibraryWithoutAnIdKeyAreReadInLists) {
    TempDir dir;
    const std::string path = (dir / "lib.db").string();
    {
        Writer writer(path);
        writer.exec("CREATE TABLE songs(Artist TEXT, SongTitle TEXT, SongLength INTEGER, ID INTEGER);"
                    "INSERT INTO songs VALUES('ABBA', 'Waterloo', 166000, 5), ('Queen', 'Innuendo', 391000, 9),"
                    " ('Other', 'Copy', 1000, 5)");
    }
    const std::string listing = "5\tABBA – Waterloo\t2:46\n9\tQueen – Innuendo\t6:31\n5\tABBA – Waterloo\t2:46\n";
    struct Case {
        const char* label;
        const char* index;  // made before the run
        bool byKey;
    };
    const Case cases[] = {{"no index", "", false}, {"an index on ID", "CREATE INDEX byId ON songs(ID)", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (*c.index != '\0') Writer(path).exec(c.index);
        db::Connection connection;
        ASSERT_EQ(connection.open(path), 0);
        EXPECT_EQ(db::readsByKey(connection, songByIdSql(chosenSongsSelect(connection), "s.ID")), c.byKey);
        const ProcessResult r = runBinary({"--show", path, "id>0", "ORDER BY rowid", "1", "0", "0", "0", "out.txt"},
                                          dir.path());
        EXPECT_EQ(slurp(dir / "out.txt"), "5,9,5");
        EXPECT_TRUE(r.out.ends_with(listing)) << r.out;
    }
}
