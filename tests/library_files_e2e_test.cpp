// Library files as they are found in the wild, through the built binary: the
// host holding its library locked, a writer mid-transaction, WAL mode, a
// journal left by a writer that died, other encodings and other column sets.
// In every case the library's content is left as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/collation.h"
#include "db_test_support.h"
#include "e2e_library.h"
#include "fixture_library.h"
#include "harness.h"

using namespace vantor::testing;
using vantor::demo::Layout;
using vantor::testing::ScopedTmpdir;

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
void crashHost(const std::string& path, const std::string& change = "DELETE FROM Songs") {
    leaveHotJournal(path, change + "; CREATE TABLE junk(x);"
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
    // With a sort filter its test query is the first to meet the lock: the
    // library is busy, which is no fault of the sort filter.
    for (const Case& c : {Case{"", kDatabaseMessage + "1505"}, Case{"ORDER BY Artist", kDatabaseMessage + "1505"}}) {
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

// A journal beside the library is never played back there: the run copies
// the library and the journal into a private folder, lets SQLite recover the
// copy and reads that. What SQLite makes of a journal that is not the
// library's is its own affair, but it happens to the copy.
TEST(LockedLibrary, HotJournalIsRecoveredOnAPrivateCopyOnly) {
    struct Case {
        const char* label;
        std::function<void(const TempDir&, const std::string&)> leaveJournal;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a crashed writer's journal", [](const TempDir&, const std::string& lib) { crashHost(lib); },
         kAllEight},
        // SQLite shrinks the copy to the other database, which has no songs.
        {"the journal of a smaller database",
         [](const TempDir& dir, const std::string& lib) {
             const std::string other = (dir / "other.db").string();
             Writer(other).exec("CREATE TABLE other(x); INSERT INTO other VALUES(1)");
             crashHost(other, "DELETE FROM other");
             fs::copy_file(other + "-journal", lib + "-journal");
         },
         kDatabaseMessage + "1501"},
        // The copy comes out malformed, and the check refuses it.
        {"the journal of a larger library",
         [](const TempDir& dir, const std::string& lib) {
             const std::string other = library(dir, "other.db", Layout::Current);
             Writer(other).exec("CREATE TABLE pad(x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n"
                                " WHERE i<40) INSERT INTO pad SELECT randomblob(3000) FROM n");
             crashHost(other, "UPDATE Songs SET Rating=0");
             fs::copy_file(other + "-journal", lib + "-journal");
         },
         kDatabaseMessage + "1508"},
        // No journal header: SQLite discards it, and the copy is the library as it stands.
        {"random bytes",
         [](const TempDir&, const std::string& lib) {
             std::string bytes(5000, '\0');
             std::uint32_t x = 2463534242u;
             for (char& c : bytes) {
                 x ^= x << 13, x ^= x >> 17, x ^= x << 5;
                 c = static_cast<char>(x);
             }
             bytes[0] = 'x';  // a journal whose first byte is zero is not hot
             spit(lib + "-journal", bytes);
         },
         kAllEight},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string lib = library(dir, "host.db", Layout::Current);
        c.leaveJournal(dir, lib);
        ASSERT_TRUE(fs::exists(lib + "-journal"));
        const std::string libraryBefore = slurp(lib), journalBefore = slurp(lib + "-journal");
        fs::create_directories(dir / "tmp");
        const ScopedTmpdir tmpdir((dir / "tmp").string());

        const Outcome o = runVantor(dir, lib, "id>0", "");
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, c.expected) << o.err;
        EXPECT_TRUE(slurp(lib) == libraryBefore) << "the library changed";
        EXPECT_TRUE(slurp(lib + "-journal") == journalBefore) << "the journal changed";
        EXPECT_FALSE(fs::exists(lib + "-wal"));
        EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "the private copy outlived the run";
    }
}

// Without a copy the run cannot read: it ends with the code of the step that
// met the journal, and leaves everything as it was.
// Read in parts, a library with a hot journal is read from its one recovered
// copy by every part: the list of the library before the crash.
TEST(LockedLibrary, HotJournalLibraryIsReadInPartsFromTheCopy) {
    TempDir dir;
    const std::string lib = library(dir, "host.db", Layout::Current);
    const fs::path result = dir / "result.txt";
    const auto list = [&](const std::string& threads, const std::string& query) {
        fs::remove(result);
        const ProcessResult p =
            runBinary({"--threads", threads, lib, query, "", "playcounter+1", "2", "5", "0", result.string()}, dir.path());
        EXPECT_EQ(p.status, 0);
        return fs::exists(result) ? slurp(result) : "<none>";
    };
    const std::string byYear = list("1", "year>0"), byGenre = list("1", "genre like rock");
    ASSERT_FALSE(byYear.starts_with("Database")) << byYear;
    crashHost(lib);
    const std::string before = slurp(lib), journal = slurp(lib + "-journal");
    for (const char* threads : {"1", "4"}) {
        SCOPED_TRACE(threads);
        EXPECT_EQ(list(threads, "year>0"), byYear);
        EXPECT_EQ(list(threads, "genre like rock"), byGenre);
    }
    EXPECT_EQ(slurp(lib), before);
    EXPECT_EQ(slurp(lib + "-journal"), journal);
}

TEST(LockedLibrary, HotJournalWithNowhereToCopyEndsTheRun) {
    TempDir dir;
    const std::string lib = library(dir, "crashed.db", Layout::Current);
    crashHost(lib);
    const std::string libraryBefore = slurp(lib), journalBefore = slurp(lib + "-journal");
    const ScopedTmpdir tmpdir((dir / "no-such-folder").string());
    struct Case {
        std::string sort, expected;
    };
    // With a sort filter its test query meets the journal first; the library, not the filter, is to blame.
    for (const Case& c : {Case{"", kDatabaseMessage + "1508"}, Case{"ORDER BY ID", kDatabaseMessage + "1508"}}) {
        SCOPED_TRACE(c.sort);
        const Outcome o = runVantor(dir, lib, "id>0", c.sort);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, c.expected);
        EXPECT_NE(o.err.find("no private copy could be recovered"), std::string::npos) << o.err;
    }
    EXPECT_TRUE(slurp(lib) == libraryBefore) << "the library changed";
    EXPECT_TRUE(slurp(lib + "-journal") == journalBefore) << "the journal changed";
}

// Runs in one process share nothing: each makes its own copy and removes it.
TEST(LockedLibrary, EveryRunInAProcessRecoversItsOwnCopy) {
    TempDir dir;
    const std::string lib = library(dir, "crashed.db", Layout::Current);
    crashHost(lib);
    const std::string libraryBefore = slurp(lib);
    fs::create_directories(dir / "tmp");
    const ScopedTmpdir tmpdir((dir / "tmp").string());
    const std::string result = (dir / "result.txt").string();
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        fs::remove(result);
        const ProcessResult p = runInProcess({lib, "id>0", "ORDER BY ID", "1", "0", "0", "0", result}, 7, dir.path());
        EXPECT_EQ(p.status, 0);
        EXPECT_EQ(slurp(result), kAllEight) << p.err;
        EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "the private copy outlived the run";
    }
    EXPECT_TRUE(slurp(lib) == libraryBefore) << "the library changed";
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

// Fields are found by the names the selection statement reports, so a table
// of any shape reads the right values: ID after other columns, generated
// columns (which `SELECT *` returns but PRAGMA table_info leaves out) before
// the columns a filter reads, and generated columns the filters read.
TEST(LibraryFiles, ColumnsAreFoundByNameInAnyTableShape) {
    TempDir dir;
    const std::string idLast = (dir / "id-not-first.db").string();
    buildLibrary(idLast, "CREATE TABLE songs(Artist TEXT, PlayCounter INTEGER, ID INTEGER PRIMARY KEY, Genre TEXT)",
                 {"INSERT INTO songs VALUES('Queen',12,11,'Rock'),('ABBA',30,12,'Pop'),('Cher',5,13,'Pop')"});
    const std::string generated = (dir / "generated.db").string();
    buildLibrary(generated,
                 "CREATE TABLE songs(ID INTEGER PRIMARY KEY, Artist TEXT,"
                 " Shout TEXT GENERATED ALWAYS AS (upper(Artist)) VIRTUAL, PlayCounter INTEGER,"
                 " Year INTEGER GENERATED ALWAYS AS (1960 + PlayCounter) STORED,"
                 " Comment TEXT GENERATED ALWAYS AS ('live by ' || Artist) VIRTUAL)",
                 {"INSERT INTO songs(ID,Artist,PlayCounter) VALUES(11,'Queen',12),(12,'ABBA',30),(13,'Cher',5)",
                  // Lets the query of ID and PlayCounter alone walk another way, so every column is fetched.
                  "CREATE INDEX byArtist ON songs(Artist, PlayCounter)"});
    struct Case {
        const char* label;
        std::string library, query, sort, math, mode;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"ID not first: a top list", idLast, "id>0", "", "playcounter", "2", "12,11,13"},
        {"ID not first: kept by score", idLast, "id>0", "", "playcounter>10", "0", "11,12"},
        {"ID not first: a text field", idLast, "id>0", "", "genre=pop", "0", "12,13"},
        // ORDER BY 1 names the table's first column, Artist, when every column is fetched.
        {"ID not first: ORDER BY 1", idLast, "id>0", "ORDER BY 1", "playcounter+1", "0", "12,13,11"},
        {"ID not first: no scoring", idLast, "genre=pop", "ORDER BY Artist", "1", "0", "12,13"},
        {"a generated column before the field", generated, "artist~e", "", "playcounter", "2", "11,13"},
        {"a generated field in the math filter", generated, "id>0", "", "year-1960", "2", "12,11,13"},
        {"a generated text field in the math filter", generated, "id>0", "", "comment~abba", "0", "12"},
        {"a generated text field in anyfield", generated, "'live by c'", "", "1", "0", "13"},
        {"a generated field in the sort filter", generated, "id>0", "ORDER BY Year", "playcounter+1", "0",
         "13,11,12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Outcome o = runVantor(dir, c.library, c.query, c.sort, c.math, c.mode, "3");
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, c.expected) << o.err;
    }
}

TEST(LibraryFiles, SongsTableWithoutIdNamesNoSong) {
    TempDir dir;
    const std::string lib = (dir / "no-id.db").string();
    buildLibrary(lib, "CREATE TABLE songs(Artist TEXT, PlayCounter INTEGER)",
                 {"INSERT INTO songs VALUES('Queen',12),('ABBA',30)"});
    for (const std::string math : {"1", "playcounter"}) {
        SCOPED_TRACE(math);
        const Outcome o = runVantor(dir, lib, "playcounter>0", "", math, "2", "3");
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, kDatabaseMessage + "1501");
        EXPECT_NE(o.err.find("no ID column"), std::string::npos) << o.err;
    }
}
