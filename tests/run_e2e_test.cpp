// Whole runs of the built binary: result file bytes, exit status, stdout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include <sqlite3.h>

#include "e2e_library.h"
#include "fixture_library.h"
#include "harness.h"

using namespace vantor::testing;
using vantor::demo::Layout;

namespace {

void makeDatabaseWithoutSongs(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE other(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace

TEST(RunBinary, EchoesArgumentsWithAndWithoutNinth) {
    TempDir dir;
    const auto missing = (dir / "missing.db").string();
    auto r = runBinary(argv8(missing, "a b", "", "1", 0, 5, 1, "out.txt"), dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find("Unlock")),
              "arg1: " + missing + "\narg2: a b\narg3: \narg4: 1\narg5: 0\narg6: 5\narg7: 1\n"
              "arg8: _out.txt_\narg9: _(null)_\n");
    EXPECT_NE(r.out.find("Unlock: 0\n"), std::string::npos);

    auto args = argv8(missing, "x", "", "1", 0, 5, 1, "out.txt");
    args.push_back("7 songs");
    r = runBinary(args, dir.path());
    EXPECT_NE(r.out.find("arg9: _7 songs_\nUnlock: 7\n"), std::string::npos);
}

TEST(RunBinary, DatabaseFailuresGoToTheResultFile) {
    TempDir dir;
    const auto missing = (dir / "missing.db").string();
    const auto noSongs = (dir / "nosongs.db").string();
    makeDatabaseWithoutSongs(noSongs);
    struct Case { std::string db; std::string sort; std::string file; };
    const Case cases[] = {
        {missing, "", kDatabaseMessage + "514"},  // read-only open: no create
        {noSongs, "", kDatabaseMessage + "1501"},
        {noSongs, "ORDER BY Year", "ERROR: Please edit Sort Field Filter."},
    };
    for (const auto& c : cases) {
        spit(dir / "out.txt", "1,2,3");  // an earlier result is replaced
        const auto r = runBinary(argv8(c.db, "genre=rock", c.sort, "1", 0, 5, 0, "out.txt"), dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(slurp(dir / "out.txt"), c.file) << c.db << " / " << c.sort;
        EXPECT_FALSE(r.err.empty());  // a reason for people on stderr
    }
    EXPECT_FALSE(std::filesystem::exists(missing));

    // A directory is no database: SQLite's own code follows the message.
    runBinary(argv8(dir.path().string(), "genre=rock", "", "1", 0, 5, 0, "out.txt"), dir.path());
    EXPECT_TRUE(slurp(dir / "out.txt").starts_with(kDatabaseMessage + "5"));
}

TEST(RunBinary, UnwritableResultPathStillExitsZero) {
    TempDir dir;
    const auto r = runBinary(argv8((dir / "missing.db").string(), "x", "", "1", 0, 1, 0, "no/such/dir/out.txt"),
                             dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.ends_with("Can't write file"));
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(RunBinary, UsageForPeople) {
    TempDir dir;
    auto r = runBinary({"a.db", "q", "", "1"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("usage: vantor"), std::string::npos);
    r = runBinary({"--help"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: vantor"), std::string::npos);
    r = runBinary({"--version"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.starts_with("vantor "));
}

TEST(RunBinary, Mode0StdoutByteForByte) {
    TempDir dir;
    const auto db = makeLibrary(dir.path(), Layout::Classic);
    const auto r = runBinary(argv8(db, "Genre = 'Rock'", "ORDER BY Year", "1", 0, 0, 0, "out.txt"), dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "arg1: " + db +
                         "\narg2: Genre = 'Rock'\narg3: ORDER BY Year\narg4: 1\narg5: 0\narg6: 0\narg7: 0\n"
                         "arg8: _out.txt_\narg9: _(null)_\nUnlock: 0\n"
                         "initial sqlfilter: genre='rock'\n"
                         "sqlfilter: genre='rock' ORDER BY Year_\n"
                         "sortfilter: ORDER BY Year_\n"
                         "mathfilter: 1_\n"
                         "**************SQL Query Out: genre LIKE 'rock' ORDER BY Year\n\n"
                         "toki: 1\n");
    EXPECT_EQ(slurp(dir / "out.txt"), "13,12,16,17");
}

TEST(RunBinary, OutOfMemoryIsReportedNotCrashed) {
    if (kUnderAsan) GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
    if (kOnWindows) GTEST_SKIP() << windows::kNoMemoryLimit;
    TempDir dir;
    const auto db = makeLibrary(dir.path(), Layout::Current);
    spit(dir / "out.txt", "old");
    // 2,000,000,000 draws need 8 GB; the process may have 1 GB.
    RunOptions oneGiB;
    oneGiB.memoryLimitBytes = 1ull << 30;
    const auto r = runBinary(argv8(db, "year>0", "", "1", 1, 2000000000, 0, "out.txt"), dir.path(), oneGiB);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(slurp(dir / "out.txt"), kDatabaseMessage + "7");
}

// The same table on both layouts: what the user sees does not depend on where
// the library keeps its columns.
class LibraryRuns : public ::testing::TestWithParam<Layout> {};

TEST_P(LibraryRuns, Mode0WritesTheQueryRowsInOrder) {
    TempDir dir;
    const auto db = makeLibrary(dir.path(), GetParam());
    struct Case { std::string query; std::string sort; std::string file; };
    const Case cases[] = {
        {"genre='rock'", "", "12,13,16,17"},
        {"genre='rock'", "ORDER BY Year", "13,12,16,17"},
        {"genre='rock'", "  ORDER BY Year DESC", "17,16,12,13"},  // a leading blank is kept as given
        {"rating>=4", "", "11,12,14,18"},                        // stars
        {"songlength>300", "", "12,14"},                         // seconds
        {"anyfield~'live'", "", "11,14,16"},                     // NULL artist of 17 does not hide it
        {"anyfield~'untitled'", "", "17"},
        {"year>1990&genre~'o'", "ORDER BY Year", "18,17,15"},
        {"year>3000", "", ""},
    };
    for (const auto& c : cases) {
        const auto r = runBinary(argv8(db, c.query, c.sort, "1", 0, 0, 0, "out.txt"), dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(slurp(dir / "out.txt"), c.file) << c.query << " / " << c.sort << "\n" << r.out << r.err;
    }
}

TEST_P(LibraryRuns, RefusedQueriesAndUnknownModes) {
    TempDir dir;
    const auto db = makeLibrary(dir.path(), GetParam());
    struct Case { std::string query; int mode; int count; std::string file; };
    const Case cases[] = {
        {"", 0, 5, "ERROR: Please edit Query Filter"},
        {"year>fast", 0, 5, "ERROR: Please edit Query Filter"},
        {"(rock", 0, 5, "ERROR: Please edit Query Filter"},
        {"genre='rock'", 3, 5, ""},
        {"genre='rock'", 1, 0, ""},
        {"genre='rock'", 2, -5, ""},
        {"year>3000", 1, 5, ""},
    };
    for (const auto& c : cases) {
        spit(dir / "out.txt", "old");
        const auto r = runBinary(argv8(db, c.query, "", "1", c.mode, c.count, 0, "out.txt"), dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(slurp(dir / "out.txt"), c.file) << c.query << " mode " << c.mode;
    }
}

TEST_P(LibraryRuns, UniformDrawsAreSeededFromTheClock) {
    TempDir dir;
    const auto db = makeLibrary(dir.path(), GetParam());
    // Clock 1 seeds the generator with fmix32(1), whose first five draws
    // take these indexes over four candidates.
    vantor::MsvcRand seeded(vantor::fmix32(1));
    std::vector<int> indexes;
    for (int i = 0; i < 5; ++i) indexes.push_back(vantor::randint(seeded, 0, 4));
    ASSERT_EQ(indexes, (std::vector<int>{2, 0, 2, 1, 0}));
    struct Case { int mode; std::string sort; int norepeat; std::string window; std::string file; };
    const Case cases[] = {
        {1, "", 0, "0", "16,12,16,13,12"},
        {1, "", 1, "0", "16,12,13"},
        {1, "", 1, "1", "16,12,16,13,12"},
        // The sort filter orders the candidates (17, 16, 12, 13), so the same
        // indexes draw 12, 17, 12, 16, 17; mode 1 then sorts the three distinct
        // songs into the front and keeps the stale tail: the count stays 5.
        {1, "ORDER BY Year DESC", 0, "0", "17,16,12,16,17"},
        {1, "ORDER BY Year DESC", 1, "0", "17,16,12"},
        {2, "ORDER BY Year DESC", 0, "0", "12,17,12,16,17"},  // mode 2 runs no sort query
    };
    for (const auto& c : cases) {
        auto args = argv8(db, "genre='rock'", c.sort, "1", c.mode, 5, c.norepeat, (dir / "out.txt").string());
        args.push_back(c.window);
        const auto r = runInProcess(args, 1, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(slurp(dir / "out.txt"), c.file) << "mode " << c.mode << " sort " << c.sort << "\n" << r.err;
    }
    // Mode 2 never asks for more songs than the library holds.
    auto args = argv8(db, "genre='rock'", "", "1", 2, 50, 0, (dir / "out.txt").string());
    runInProcess(args, 1, dir.path());
    const std::string written = slurp(dir / "out.txt");
    EXPECT_EQ(std::count(written.begin(), written.end(), ','), 7);
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, LibraryRuns, ::testing::Values(Layout::Classic, Layout::Current),
                         [](const auto& info) { return std::string(layoutName(info.param)); });

TEST(CurrentLayout, HostCollationsAndPositions) {
    TempDir dir;
    const auto db = makeLibrary(dir.path(), Layout::Current);
    struct Case { std::string query; std::string sort; std::string file; };
    const Case cases[] = {
        {"genre='rock'", "ORDER BY Artist", "17,16,12,13"},  // NULL first; IUNICODE ordering needs the stand-in
        {"year>0", "ORDER BY Artist DESC", "13,12,14,18,15,16,11,17"},
        {"rating>=5", "", "11,14"},                          // Rating read by name, not by the classic position
    };
    for (const auto& c : cases) {
        const auto r = runBinary(argv8(db, c.query, c.sort, "1", 0, 0, 0, "out.txt"), dir.path());
        EXPECT_EQ(slurp(dir / "out.txt"), c.file) << c.query << "\n" << r.out << r.err;
    }
}

TEST(Seeding, Fmix32IsMurmurHash3sFinalizer) {
    EXPECT_EQ(vantor::fmix32(0), 0u);
    EXPECT_EQ(vantor::fmix32(1), 0x514e28b7u);
    EXPECT_EQ(vantor::fmix32(0xdeadbeef), 0x0de5c6a9u);
}

// Runs started a second apart must not begin with the same song: the clock
// is mixed by fmix32 before it seeds the generator, whose own first draw
// would move by about 3 in 32768 per second.
TEST(Seeding, RunsASecondApartStartWithDifferentSongs) {
    TempDir dir;
    const std::string lib = (dir / "twenty.db").string();
    std::string insert = "INSERT INTO songs(ID,Genre) VALUES(1,'Rock')";
    for (int id = 2; id <= 20; ++id) insert += ",(" + std::to_string(id) + ",'Rock')";
    buildLibrary(lib, classicSongsTable(), {insert});

    const std::uint32_t start = 1700000000;  // November 2023
    std::vector<std::string> firsts;
    for (std::uint32_t clock = start; clock < start + 12; ++clock) {
        const auto out = (dir / "out.txt").string();
        const auto r = runInProcess(argv8(lib, "id>0", "", "1", 1, 1, 0, out), clock, dir.path());
        // The expectation through the same mix: the first draw over 20 songs in ID order.
        vantor::MsvcRand seeded(vantor::fmix32(clock));
        EXPECT_EQ(slurp(out), std::to_string(1 + vantor::randint(seeded, 0, 20))) << "clock " << clock << r.err;
        firsts.push_back(slurp(out));
    }
    for (std::size_t i = 1; i < firsts.size(); ++i) {
        EXPECT_NE(firsts[i], firsts[i - 1]) << "runs " << i - 1 << " and " << i;
    }
    std::sort(firsts.begin(), firsts.end());
    EXPECT_GE(std::unique(firsts.begin(), firsts.end()) - firsts.begin(), 9);
}
