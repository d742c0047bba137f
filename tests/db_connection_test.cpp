#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "db/connection.h"
#include "db/statement.h"
#include "db_test_support.h"
#include "support/files.h"

using namespace vantor;
using vantor::testing::ScratchDir;
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

TEST_F(DbLibrary, MovedConnectionKeepsWorking) {
    db::Connection a;
    ASSERT_EQ(a.open(path), SQLITE_OK);
    db::Connection b = std::move(a);
    EXPECT_EQ(a.handle(), nullptr);
    db::Statement st;
    ASSERT_EQ(st.prepare(b, kStateQuery), SQLITE_OK);
    expectCommittedState(st);
}

TEST_F(DbLibrary, PrepareRollsBackJournalOfDeadWriter) {
    crashWriter(path);
    ASSERT_TRUE(std::filesystem::exists(path + "-journal"));

    // Without recovery a read-only reader is refused: the fixture really left a hot journal.
    sqlite3* plain = nullptr;
    sqlite3_open_v2(path.c_str(), &plain, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* raw = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(plain, kStateQuery, -1, &raw, nullptr), SQLITE_READONLY);
    EXPECT_EQ(sqlite3_extended_errcode(plain), SQLITE_READONLY_ROLLBACK);
    sqlite3_finalize(raw);
    sqlite3_close(plain);

    db::Connection c;
    ASSERT_EQ(c.open(path), SQLITE_OK);
    db::Statement st;
    ASSERT_EQ(st.prepare(c, kStateQuery), SQLITE_OK) << c.errorMessage();
    expectCommittedState(st);
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

TEST_F(DbLibrary, StepRollsBackJournalOfDeadWriter) {
    db::Connection c;
    ASSERT_EQ(c.open(path), SQLITE_OK);
    db::Statement st;
    // The schema is read now, so after the crash only the step touches the file.
    ASSERT_EQ(st.prepare(c, kStateQuery), SQLITE_OK);
    crashWriter(path);
    ASSERT_TRUE(std::filesystem::exists(path + "-journal"));

    expectCommittedState(st);
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
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
