// Library files as they are found in the wild, through the built binary: the
// host holding its library locked, a writer mid-transaction, WAL mode, a
// journal left by a writer that died, other encodings and other column sets.
// In every case the library's content is left as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <string>
#include <vector>

#include "db/collation.h"
#include "db_test_support.h"
#include "fixture_library.h"
#include "harness.h"

using namespace vantor::testing;
using vantor::demo::Layout;

namespace {

const std::string kAllEight = "11,12,13,14,15,16,17,18";

std::string library(const TempDir& dir, const std::string& name, Layout layout, bool utf16 = true) {
    const std::string path = (dir / name).string();
    vantor::demo::LibraryOptions options;
    options.layout = layout;
    options.utf16 = utf16;
    vantor::demo::createLibrary(path, options, eightSongs());
    return path;
}

struct Outcome {
    int status;
    std::string result, err;
    double seconds;
};

Outcome runVantor(const TempDir& dir, const std::string& db, const std::string& query, const std::string& sort,
                  const std::string& math = "1", const std::string& mode = "0", const std::string& count = "0") {
    const fs::path result = dir / "result.txt";
    fs::remove(result);
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult p = runBinary({db, query, sort, math, mode, count, "0", result.string()}, dir.path());
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return {p.status, fs::exists(result) ? slurp(result) : "<none>", p.err, took.count()};
}

// The torn pages and hot journal of a host that died mid-transaction (see leaveHotJournal).
void crashHost(const std::string& path) {
    leaveHotJournal(path, "DELETE FROM Songs; CREATE TABLE junk(x);"
                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<2000)"
                          " INSERT INTO junk SELECT randomblob(600) FROM n;");
}

}  // namespace

TEST(LockedLibrary, ExclusiveLockEndsTheRunAtOnce) {
    TempDir dir;
    const std::string lib = library(dir, "host.db", Layout::Current);
    const std::string before = slurp(lib);
    Writer host(lib);
    host.exec("BEGIN EXCLUSIVE");
    struct Case {
        std::string sort, expected;
    };
    // The sort filter's test query is the first to meet the lock, and every
    // failure there is reported as the sort filter's.
    for (const Case& c : {Case{"", kDatabaseMessage + "1505"}, Case{"ORDER BY Artist", "ERROR: Please edit Sort Field Filter."}}) {
        SCOPED_TRACE(c.sort);
        const Outcome o = runVantor(dir, lib, "rock", c.sort);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, c.expected);
        EXPECT_NE(o.err.find("database is locked"), std::string::npos) << o.err;
        EXPECT_LT(o.seconds, 5.0);  // no busy timeout: the user retries, not the program
    }
    host.exec("ROLLBACK");
    EXPECT_EQ(slurp(lib), before);
}

TEST(LockedLibrary, WriterMidTransactionIsNotSeen) {
    TempDir dir;
    const std::string lib = library(dir, "host.db", Layout::Current);
    const std::string before = slurp(lib);
    // A writer that has changed rows but not committed holds a reserved lock,
    // which readers pass; they see the last committed state.
    Writer host(lib);
    host.exec("BEGIN IMMEDIATE; DELETE FROM Songs WHERE ID<15");
    const Outcome o = runVantor(dir, lib, "id>0", "ORDER BY ID");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.result, kAllEight);
    host.exec("ROLLBACK");
    EXPECT_EQ(slurp(lib), before);
}

TEST(LockedLibrary, WalLibraryIsReadWhileAWriterIsBusy) {
    TempDir dir;
    const std::string lib = library(dir, "wal.db", Layout::Current);
    Writer host(lib);
    host.exec("PRAGMA journal_mode=WAL");
    // Committed to the WAL, not yet into the library file: a reader must see it.
    host.exec("INSERT INTO Songs(ID, Artist, SongTitle) VALUES(99, 'Late', 'Committed')");
    host.exec("BEGIN; DELETE FROM Songs WHERE ID<15; INSERT INTO Songs(ID, Artist) VALUES(100, 'Uncommitted')");
    const std::string before = slurp(lib), walBefore = slurp(lib + "-wal");

    const Outcome o = runVantor(dir, lib, "id>0", "ORDER BY ID");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.result, kAllEight + ",99");
    EXPECT_EQ(slurp(lib), before);
    EXPECT_EQ(slurp(lib + "-wal"), walBefore);
    host.exec("ROLLBACK");
}

TEST(LockedLibrary, JournalOfADeadWriterIsRolledBackFirst) {
    TempDir dir;
    const std::string lib = library(dir, "crashed.db", Layout::Current);
    const std::string committed = slurp(lib);
    crashHost(lib);
    ASSERT_TRUE(fs::exists(lib + "-journal"));
    ASSERT_NE(slurp(lib), committed);  // the dead writer's pages are in the file

    const Outcome o = runVantor(dir, lib, "id>0", "ORDER BY ID");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.result, kAllEight);
    // The rollback restores the last committed state, byte for byte, and nothing more.
    EXPECT_FALSE(fs::exists(lib + "-journal"));
    EXPECT_EQ(slurp(lib), committed);
}

TEST(LockedLibrary, WalLibraryInAFolderWeMayNotWrite) {
    if (kOnWindows) GTEST_SKIP() << windows::kNoSetuid;
    TempDir dir;
    fs::create_directories(dir / "readonly");
    const std::string lib = library(dir, "readonly/wal.db", Layout::Current);
    Writer(lib).exec("PRAGMA journal_mode=WAL");  // closed: the log is checkpointed and gone
    const std::string before = slurp(lib);
    fs::create_directories(dir / "out");
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
    fs::permissions(dir / "readonly", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                          fs::perms::others_exec | fs::perms::group_read | fs::perms::group_exec);
    fs::permissions(dir / "out", fs::perms::all);

    // Root writes anywhere, so the run goes as nobody; the folder then refuses SQLite's side files.
    const std::string result = (dir / "out" / "result.txt").string();
    RunOptions asNobody;
    asNobody.asNobody = true;
    const ProcessResult p = runBinary({lib, "id>0", "ORDER BY ID", "1", "0", "0", "0", result}, dir / "out", asNobody);
    EXPECT_EQ(p.status, 0);
    // No writer can be at work without the log, so the file alone is read, as it stands.
    EXPECT_EQ(slurp(result), kAllEight) << p.err;
    EXPECT_EQ(slurp(lib), before);
    EXPECT_FALSE(fs::exists(lib + "-wal"));
    EXPECT_FALSE(fs::exists(lib + "-shm"));
    fs::permissions(dir / "readonly", fs::perms::owner_all);
}

// The same runs on the host's UTF-16 library and on the files a user may
// have instead: what they select does not depend on the file's form.
TEST(LibraryFiles, SameSongsWhateverTheFileForm) {
    TempDir dir;
    struct Variant {
        const char* label;
        std::string path;
    };
    std::vector<Variant> variants = {
        {"current layout, UTF-16le", library(dir, "utf16.db", Layout::Current)},
        {"current layout, UTF-8", library(dir, "utf8.db", Layout::Current, false)},
        {"current layout, WAL", library(dir, "wal.db", Layout::Current)},
        {"current layout, extra columns at the end", library(dir, "extra.db", Layout::Current)},
        {"classic layout, fewer than 92 columns", library(dir, "narrow.db", Layout::Classic)},
    };
    Writer(variants[2].path).exec("PRAGMA journal_mode=WAL");
    ASSERT_EQ(slurp(variants[2].path)[18], 2);  // the file's header says WAL
    Writer(variants[3].path)
        .exec("ALTER TABLE Songs ADD COLUMN ExtraNote TEXT DEFAULT 'rock'; "
              "ALTER TABLE Songs ADD COLUMN ExtraCount INTEGER DEFAULT 500");
    // Comment moves from position 91 to 86.
    Writer(variants[4].path)
        .exec("ALTER TABLE songs DROP COLUMN Tempo; ALTER TABLE songs DROP COLUMN Mood; "
              "ALTER TABLE songs DROP COLUMN Occasion; ALTER TABLE songs DROP COLUMN Quality; "
              "ALTER TABLE songs DROP COLUMN Lyrics");

    struct Case {
        const char* label;
        std::string query, sort, math, mode, count;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"equality ignores case, sorted by year", "genre=rock", "ORDER BY Year", "1", "0", "0", "13,12,16,17"},
        {"stars, sorted by artist", "rating>3", "ORDER BY Artist", "1", "0", "0", "11,18,14,12"},
        {"contains, or, a field past the gap", "artist contains abba or comment=live", "", "1", "0", "0",
         "11,14"},
        {"anyfield with a letter above 127", "beyonc\xC3\xA9", "", "1", "0", "0", "15"},
        {"top list by a number field", "id>0", "", "playcounter", "2", "3", "12,11,18"},
        {"text comparisons in the math filter", "id>0", "", "artist=abba|genre=jazz|comment~donington", "0", "0",
         "11,14,16"},
        {"anyfield in the math filter", "id>0", "", "anyfield~remix", "0", "0", "18"},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.label);
        const std::string before = slurp(v.path);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.label);
            const Outcome o = runVantor(dir, v.path, c.query, c.sort, c.math, c.mode, c.count);
            EXPECT_EQ(o.status, 0);
            EXPECT_EQ(o.result, c.expected) << o.err;
        }
        EXPECT_EQ(slurp(v.path), before);
        EXPECT_FALSE(fs::exists(v.path + "-journal"));
    }
    // A reader of a WAL library may leave SQLite's side files, but writes nothing into the log.
    const std::string wal = variants[2].path + "-wal";
    EXPECT_TRUE(!fs::exists(wal) || fs::file_size(wal) == 0);
}
