#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "db/connection.h"
#include "db/library_file.h"
#include "db/statement.h"
#include "db_test_support.h"
#include "support/read_file.h"

using namespace vantor;
using vantor::testing::ScratchDir;
using vantor::testing::ScopedTmpdir;
using vantor::testing::Writer;
using vantor::testing::leaveHotJournal;

namespace {

// A committed table of 50 rows, every v = 'committed', in rollback-journal mode.
void makeCommittedLibrary(const std::string& path) {
    Writer w(path);
    w.exec("PRAGMA journal_mode=DELETE; CREATE TABLE t(id INTEGER PRIMARY KEY, v TEXT);"
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<50)"
           " INSERT INTO t(v) SELECT 'committed' FROM n;");
}

// The torn pages and hot journal of a writer that died mid-transaction (see leaveHotJournal).
void crashWriter(const std::string& path) {
    leaveHotJournal(path, "UPDATE t SET v='torn';"
                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<3000)"
                          " INSERT INTO t(v) SELECT hex(randomblob(400)) FROM n;");
}

void expectCommittedState(db::Statement& st) {
    ASSERT_EQ(st.step(), SQLITE_ROW);
    EXPECT_EQ(st.columnInt(0), 50);
    EXPECT_EQ(st.text(1), "committed");
    EXPECT_EQ(st.text(2), "committed");
}

const char* const kStateQuery = "SELECT count(*), min(v), max(v) FROM t";

class DbLibrary : public ::testing::Test {
protected:
    void SetUp() override { makeCommittedLibrary(path); }
    ScratchDir dir;
    const std::string path = dir.file("lib.db");
};

}  // namespace

TEST(DbConnection, MissingFileIsCantOpenAndNotCreated) {
    ScratchDir dir;
    const std::string path = dir.file("absent.db");
    db::Connection c;
    EXPECT_EQ(c.open(path), SQLITE_CANTOPEN);
    EXPECT_FALSE(c.errorMessage().empty());
    EXPECT_FALSE(std::filesystem::exists(path));
}

// In a process where SQLite is already in use the URI setting cannot be
// changed any more; a name is a plain file name all the same.
TEST(DbConnection, NamesThatLookLikeUrisArePlainFileNames) {
    ScratchDir dir;
    makeCommittedLibrary(dir.file("lib.db"));
    makeCommittedLibrary(dir.file("file:named.db"));
    ASSERT_EQ(sqlite3_initialize(), SQLITE_OK);
    ASSERT_EQ(sqlite3_config(SQLITE_CONFIG_URI, 1), SQLITE_MISUSE);  // too late: nothing changes
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.file(""));
    struct Case {
        const char* name;
        int rc;
    };
    for (const Case& c : {Case{"file:named.db", SQLITE_OK}, Case{"file:lib.db", SQLITE_CANTOPEN},
                          Case{"file:lib.db?mode=ro", SQLITE_CANTOPEN}, Case{"file:./lib.db", SQLITE_CANTOPEN}}) {
        SCOPED_TRACE(c.name);
        db::Connection connection;
        EXPECT_EQ(connection.open(c.name), c.rc);
        if (c.rc == SQLITE_OK) {
            db::Statement st;
            ASSERT_EQ(st.prepare(connection, kStateQuery), SQLITE_OK) << connection.errorMessage();
            expectCommittedState(st);
        }
    }
    std::filesystem::current_path(cwd);
}

TEST_F(DbLibrary, NeverWritesTheLibrary) {
    const auto before = readWholeFile(path);

    db::Connection c;
    ASSERT_EQ(c.open(path), SQLITE_OK);
    for (const char* sql : {"INSERT INTO t(v) VALUES('x')", "UPDATE t SET v='x'", "CREATE TABLE u(a)"}) {
        db::Statement st;
        ASSERT_EQ(st.prepare(c, sql), SQLITE_OK) << sql;
        EXPECT_EQ(st.step(), SQLITE_READONLY) << sql;
    }
    EXPECT_EQ(readWholeFile(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

// The library is read, never mapped: a library the host cuts short under a
// map (a VACUUM) would kill the run with SIGBUS before any result is written,
// where a read gets an error to report; and on Windows a map would keep the
// host from shrinking its own file.
TEST_F(DbLibrary, ReadsWithoutAMemoryMap) {
    db::Connection c;
    ASSERT_EQ(c.open(path), SQLITE_OK);
    db::Statement st;
    ASSERT_EQ(st.prepare(c, "PRAGMA mmap_size"), SQLITE_OK);
    ASSERT_EQ(st.step(), SQLITE_ROW);
    EXPECT_EQ(st.columnInt(0), 0);
}

TEST_F(DbLibrary, MovedConnectionKeepsWorking) {
    db::Connection a;
    ASSERT_EQ(a.open(path), SQLITE_OK);
    db::Connection b = std::move(a);
    EXPECT_EQ(a.handle(), nullptr);
    db::Statement st;
    ASSERT_EQ(st.prepare(b, kStateQuery), SQLITE_OK);
    expectCommittedState(st);
}

// A crashed writer's library read through a run's LibraryFile: the reads see
// the last committed state, from a recovered copy in a private folder under
// TMPDIR, while the library and its journal stay byte for byte as they were.
class DbHotJournal : public DbLibrary {
protected:
    void SetUp() override {
        DbLibrary::SetUp();
        std::filesystem::create_directories(scratch);
    }
    void expectUntouched() const {
        EXPECT_TRUE(readWholeFile(path) == libraryBefore) << "the library changed";
        EXPECT_TRUE(readWholeFile(path + "-journal") == journalBefore) << "the journal changed";
        EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
    }
    void keepBytes() {
        ASSERT_TRUE(std::filesystem::exists(path + "-journal"));
        libraryBefore = readWholeFile(path).value();
        journalBefore = readWholeFile(path + "-journal").value();
    }
    bool scratchIsEmpty() const { return std::filesystem::is_empty(scratch); }

    const std::string scratch = dir.file("tmp");
    ScopedTmpdir tmpdir{scratch};
    std::string libraryBefore, journalBefore;
};

TEST_F(DbHotJournal, PrepareMovesOntoARecoveredCopy) {
    crashWriter(path);
    keepBytes();

    // A connection of no run may not recover: it is refused, as SQLite refuses any reader.
    {
        db::Connection plain;
        ASSERT_EQ(plain.open(path), SQLITE_OK);
        db::Statement st;
        EXPECT_EQ(st.prepare(plain, kStateQuery), SQLITE_READONLY);
        EXPECT_EQ(sqlite3_extended_errcode(plain.handle()), SQLITE_READONLY_ROLLBACK);
    }
    {
        db::LibraryFile library(path);
        db::Connection c;
        ASSERT_EQ(c.open(library), SQLITE_OK);
        db::Statement st;
        ASSERT_EQ(st.prepare(c, kStateQuery), SQLITE_OK) << c.errorMessage();
        expectCommittedState(st);
        EXPECT_NE(library.readPath(), library.path());
        EXPECT_EQ(std::filesystem::path(library.readPath()).parent_path().parent_path(),
                  std::filesystem::canonical(scratch));

        // A later connection of the run opens the copy straight away.
        db::Connection later;
        ASSERT_EQ(later.open(library), SQLITE_OK);
        EXPECT_EQ(std::string(sqlite3_db_filename(later.handle(), "main")), library.readPath());
        db::Statement again;
        ASSERT_EQ(again.prepare(later, kStateQuery), SQLITE_OK);
        expectCommittedState(again);
        expectUntouched();
    }
    EXPECT_TRUE(scratchIsEmpty()) << "the private copy outlived its run";
    expectUntouched();
}

TEST_F(DbHotJournal, FirstStepMovesOntoARecoveredCopy) {
    db::LibraryFile library(path);
    db::Connection c;
    ASSERT_EQ(c.open(library), SQLITE_OK);
    db::Statement st;
    // The schema is read now, so after the crash only the step touches the file.
    ASSERT_EQ(st.prepare(c, kStateQuery), SQLITE_OK);
    crashWriter(path);
    keepBytes();

    expectCommittedState(st);
    EXPECT_EQ(st.step(), SQLITE_DONE);
    EXPECT_NE(library.readPath(), library.path());
    expectUntouched();
}

TEST_F(DbHotJournal, CopyThatCannotBeMadeIsRefusedOncePerRun) {
    crashWriter(path);
    keepBytes();

    db::LibraryFile library(path);
    {
        ScopedTmpdir nowhere(dir.file("no-such-folder"));
        db::Connection c;
        ASSERT_EQ(c.open(library), SQLITE_OK);
        db::Statement st;
        EXPECT_EQ(st.prepare(c, kStateQuery), SQLITE_READONLY);
        EXPECT_NE(c.errorMessage().find("no private copy could be recovered"), std::string::npos) << c.errorMessage();
        EXPECT_NE(library.failure().find("no private folder"), std::string::npos) << library.failure();
    }
    // The run does not try again, even where it now could.
    db::Connection later;
    ASSERT_EQ(later.open(library), SQLITE_OK);
    db::Statement st;
    EXPECT_EQ(st.prepare(later, kStateQuery), SQLITE_READONLY);
    EXPECT_EQ(library.readPath(), library.path());
    expectUntouched();

    // The next run does.
    db::LibraryFile nextRun(path);
    db::Connection c;
    ASSERT_EQ(c.open(nextRun), SQLITE_OK);
    db::Statement next;
    ASSERT_EQ(next.prepare(c, kStateQuery), SQLITE_OK) << c.errorMessage();
    expectCommittedState(next);
    expectUntouched();
}

// Ends a journal as SQLite does when its transaction spans several
// databases: the name of the super-journal that ties them together, its
// length and checksum, and the journal magic.
void appendSuperJournalName(const std::string& journal, const std::string& super) {
    std::string tail(4, '\0');  // the page number SQLite puts first; never read back
    tail += super;
    auto put32 = [&tail](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) tail += static_cast<char>((v >> shift) & 0xFF);
    };
    std::uint32_t sum = 0;
    for (const char c : super) sum += static_cast<std::uint32_t>(static_cast<signed char>(c));
    put32(static_cast<std::uint32_t>(super.size()));
    put32(sum);
    tail += std::string("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
    std::FILE* f = std::fopen(journal.c_str(), "ab");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fwrite(tail.data(), 1, tail.size(), f), tail.size());
    std::fclose(f);
}

// A super-journal that no journal refers to any more is one SQLite removes
// after playing a journal back. The recovery may act on the copy only: the
// super-journal, wherever it is, stays.
TEST_F(DbHotJournal, RecoveryRemovesNothingOutsideItsFolder) {
    crashWriter(path);
    const std::string super = dir.file("lib.db-mj0123ABCD");
    // It lists one journal, long gone: stale. (An empty one would count as absent.)
    std::ofstream(super, std::ios::binary) << dir.file("gone.db-journal") << '\0';
    appendSuperJournalName(path + "-journal", super);
    keepBytes();
    {
        db::LibraryFile library(path);
        db::Connection c;
        ASSERT_EQ(c.open(library), SQLITE_OK);
        db::Statement st;
        ASSERT_EQ(st.prepare(c, kStateQuery), SQLITE_OK) << c.errorMessage();
        expectCommittedState(st);
    }
    EXPECT_TRUE(std::filesystem::exists(super));
    expectUntouched();
}

TEST_F(DbLibrary, ColumnsAndNulls) {
    db::Connection c;
    ASSERT_EQ(c.open(path), SQLITE_OK);
    db::Statement st;
    ASSERT_EQ(st.prepare(c, "SELECT NULL, '', 'a' || char(0) || 'b', 2.5, 4000000000, 'Ünïcode'"), SQLITE_OK);
    EXPECT_EQ(st.columnCount(), 6);
    ASSERT_EQ(st.step(), SQLITE_ROW);
    EXPECT_EQ(st.text(0), std::nullopt);
    EXPECT_EQ(st.text(1), "");
    EXPECT_EQ(st.text(2), std::string_view("a\0b", 3));
    EXPECT_DOUBLE_EQ(st.columnDouble(3), 2.5);
    EXPECT_EQ(st.text(4), "4000000000");
    EXPECT_EQ(st.text(5), "Ünïcode");
    EXPECT_EQ(st.text(99), std::nullopt);  // no such column
    EXPECT_EQ(st.step(), SQLITE_DONE);
}

TEST_F(DbLibrary, OnlyTheFirstStatementIsPrepared) {
    db::Connection c;
    ASSERT_EQ(c.open(path), SQLITE_OK);
    db::Statement st;
    // The tail is neither parsed nor run.
    ASSERT_EQ(st.prepare(c, "SELECT 7; this is no sql at all"), SQLITE_OK);
    ASSERT_EQ(st.step(), SQLITE_ROW);
    EXPECT_EQ(st.columnInt(0), 7);

    EXPECT_EQ(st.prepare(c, "SELECT FROM WHERE"), SQLITE_ERROR);
    EXPECT_EQ(st.prepare(c, "SELECT * FROM nosuchtable"), SQLITE_ERROR);
    EXPECT_NE(c.errorMessage().find("nosuchtable"), std::string::npos);
    // Nothing but blanks prepares to no statement; stepping it is reported, not a crash.
    EXPECT_EQ(st.prepare(c, "  "), SQLITE_OK);
    EXPECT_EQ(st.step(), SQLITE_MISUSE);
}

TEST(DbSchema, TableColumnNamesInPositionOrder) {
    ScratchDir dir;
    const std::string path = dir.file("lib.db");
    {
        Writer w(path);
        w.exec("CREATE TABLE Songs(ID INTEGER PRIMARY KEY, Artist TEXT COLLATE IUNICODE, \"Odd\"\"Name\" INT);"
               "CREATE TABLE \"we\"\"ird\"(x)");
    }
    db::Connection c;
    ASSERT_EQ(c.open(path), SQLITE_OK);
    int rc = -1;
    EXPECT_EQ(db::tableColumnNames(c, "songs", &rc), (std::vector<std::string>{"ID", "Artist", "Odd\"Name"}));
    EXPECT_EQ(rc, SQLITE_OK);
    EXPECT_EQ(db::tableColumnNames(c, "we\"ird"), std::vector<std::string>{"x"});
    rc = -1;
    EXPECT_TRUE(db::tableColumnNames(c, "absent", &rc).empty());
    EXPECT_EQ(rc, SQLITE_OK);
}
