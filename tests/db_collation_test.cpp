#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <set>

#include "db/connection.h"
#include "db/statement.h"
#include "db_test_support.h"
#include "demolib/demolib.h"

using namespace vantor;
using vantor::testing::ScratchDir;
using vantor::testing::Writer;

namespace {

std::vector<std::string> column0(db::Connection& c, const std::string& sql) {
    db::Statement st;
    EXPECT_EQ(st.prepare(c, sql), SQLITE_OK) << sql << ": " << c.errorMessage();
    std::vector<std::string> out;
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) out.emplace_back(st.text(0).value_or("<null>"));
    EXPECT_EQ(rc, SQLITE_DONE) << sql << ": " << c.errorMessage();
    return out;
}

// Both text encodings, since SQLite asks for the collation in the database's own.
class DbCollation : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        path_ = dir_.file("lib.db");
        Writer w(path_);
        w.exec(std::string("PRAGMA encoding='") + GetParam() + "';"
               "CREATE TABLE Songs(ID INTEGER PRIMARY KEY, SongTitle TEXT COLLATE IUNICODE);"
               "INSERT INTO Songs(SongTitle) VALUES ('b'),('É'),('e'),('a'),('f'),('E'),"
               "('track 10'),('Track 9'),('track 1');");
        ASSERT_EQ(c_.open(path_), SQLITE_OK);
    }
    ScratchDir dir_;
    std::string path_;
    db::Connection c_;
};

}  // namespace

TEST_P(DbCollation, IunicodeIgnoresCaseAndSortsAccentsBesideTheirLetter) {
    const auto got = column0(c_, "SELECT SongTitle FROM Songs WHERE length(SongTitle)=1 ORDER BY SongTitle");
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0], "a");
    EXPECT_EQ(got[1], "b");
    // e and E are equal, so their order between them is SQLite's to choose.
    EXPECT_EQ((std::set<std::string>{got[2], got[3]}), (std::set<std::string>{"e", "E"}));
    EXPECT_EQ(got[4], "É");
    EXPECT_EQ(got[5], "f");

    EXPECT_EQ(column0(c_, "SELECT count(*) FROM Songs WHERE SongTitle = 'E'"), std::vector<std::string>{"2"});
    EXPECT_EQ(column0(c_, "SELECT count(*) FROM Songs WHERE SongTitle = 'é'"), std::vector<std::string>{"1"});
    EXPECT_EQ(column0(c_, "SELECT count(DISTINCT SongTitle) FROM Songs WHERE length(SongTitle)=1"),
              std::vector<std::string>{"5"});
}

TEST_P(DbCollation, NumericStringOrdersNumbersByValue) {
    EXPECT_EQ(column0(c_, "SELECT SongTitle FROM Songs WHERE SongTitle LIKE 'track%' "
                          "ORDER BY SongTitle COLLATE NUMERICSTRING"),
              (std::vector<std::string>{"track 1", "Track 9", "track 10"}));
    // The plain stand-in compares character by character, as a dictionary does.
    EXPECT_EQ(column0(c_, "SELECT SongTitle FROM Songs WHERE SongTitle LIKE 'track%' ORDER BY SongTitle"),
              (std::vector<std::string>{"track 1", "track 10", "Track 9"}));
}

TEST_P(DbCollation, UserLocaleAndUnknownNamesGetAStandIn) {
    for (const char* name : {"USERLOCALE", "userlocale", "SomethingNew"}) {
        const std::string sql = std::string("SELECT count(*) FROM Songs WHERE SongTitle = 'TRACK 1' COLLATE ") + name;
        EXPECT_EQ(column0(c_, sql), std::vector<std::string>{"1"}) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, DbCollation, ::testing::Values("UTF-8", "UTF-16le"),
                         [](const auto& info) { return std::string(info.index == 0 ? "Utf8" : "Utf16le"); });

TEST(DbCollationPlain, HostSchemaIsRefusedWithoutTheHandler) {
    // Shows what the handler is for: plain SQLite cannot even compare such a column.
    ScratchDir dir;
    const std::string path = dir.file("lib.db");
    Writer(path).exec("CREATE TABLE Songs(ID INTEGER PRIMARY KEY, SongTitle TEXT COLLATE IUNICODE)");
    sqlite3* plain = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &plain, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(plain, "SELECT ID FROM Songs ORDER BY SongTitle", -1, &st, nullptr), SQLITE_ERROR);
    EXPECT_STREQ(sqlite3_errmsg(plain), "no such collation sequence: IUNICODE");
    sqlite3_finalize(st);
    sqlite3_close(plain);
}

TEST(DbCollationIndex, HostPathIndexFindsWhatAFullScanFinds) {
    // An index ordered by the stand-in must agree with comparing row by row,
    // or lookups through it would silently miss songs.
    ScratchDir dir;
    const std::string path = dir.file("lib.db");
    demo::generateLibrary(path, {});
    db::Connection c;
    ASSERT_EQ(c.open(path), SQLITE_OK);

    const auto query = [&](const std::string& access) {
        const std::string range = column0(c, "SELECT group_concat(ID) FROM (SELECT ID FROM Songs " + access +
                                                 " WHERE IDMedia=1 AND SongPath >= 'c:\\music\\b'"
                                                 " AND SongPath < 'C:\\Music\\M' ORDER BY ID)").at(0);
        // Each of the first 300 songs is found again by its path in upper case.
        const std::string found = column0(c, "SELECT count(*) FROM Songs a, Songs b " + access +
                                                 " WHERE a.ID <= 300 AND b.IDMedia = a.IDMedia"
                                                 " AND b.SongPath = upper(a.SongPath)").at(0);
        return std::make_pair(range, found);
    };
    const auto indexed = query("INDEXED BY idxSongsMediaPath");
    EXPECT_EQ(indexed, query("NOT INDEXED"));
    EXPECT_GT(std::count(indexed.first.begin(), indexed.first.end(), ','), 100);
    EXPECT_EQ(indexed.second, "300");
}
