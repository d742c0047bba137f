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

// The rules the stand-ins share on every system (ICU on Linux, Windows' own
// comparison there). Where the two differ (punctuation, ß and ss, "007"
// against "7") no case is written here; the README lists those.
TEST_P(DbCollation, SharedRulesHoldOnEverySystem) {
    struct Case {
        const char* rule;
        const char* collation;
        const char* a;
        const char* b;
        int expected;  // the sign of a compared with b
    };
    const Case cases[] = {
        {"case is ignored", "IUNICODE", "abba", "ABBA", 0},
        {"case is ignored", "IUNICODE", "Queen", "qUEEN", 0},
        {"accents count", "IUNICODE", "e", "\xC3\xA9", -1},
        {"an accent sorts beside its letter", "IUNICODE", "\xC3\xA9", "f", -1},
        {"an accent sorts beside its letter", "IUNICODE", "\xC3\xA4", "b", -1},
        {"an accent sorts beside its letter", "IUNICODE", "Bj\xC3\xB6rk", "Bjz", -1},
        {"case is ignored beside an accent", "IUNICODE", "\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89", 0},
        {"Cyrillic case is ignored", "IUNICODE", "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE",
         "\xD0\xBA\xD0\x98\xD0\x9D\xD0\x9E", 0},
        {"Cyrillic letters in alphabet order", "IUNICODE", "\xD0\xB0", "\xD0\x91", -1},
        {"Cyrillic after Latin", "IUNICODE", "z", "\xD0\xB0", -1},
        {"digits compare as characters", "IUNICODE", "track 10", "track 9", -1},
        {"digits compare as numbers", "NUMERICSTRING", "track 9", "Track 10", -1},
        {"digits compare as numbers", "NUMERICSTRING", "2", "10", -1},
        {"digits compare as numbers", "NUMERICSTRING", "disc 2 track 10", "disc 10 track 2", -1},
        {"the user's language ignores case too", "USERLOCALE", "abba", "ABBA", 0},
    };
    const auto sign = [&](const char* x, const char* y, const char* collation) {
        const std::string sql = std::string("SELECT CASE WHEN '") + x + "' < '" + y + "' COLLATE " + collation +
                                " THEN -1 WHEN '" + x + "' = '" + y + "' COLLATE " + collation + " THEN 0 ELSE 1 END";
        return column0(c_, sql);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rule) + ": " + c.a + " / " + c.b + " " + c.collation);
        EXPECT_EQ(sign(c.a, c.b, c.collation), std::vector<std::string>{std::to_string(c.expected)});
        EXPECT_EQ(sign(c.b, c.a, c.collation), std::vector<std::string>{std::to_string(-c.expected)});
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
                                                 " WHERE IDMedia=1 AND SongPath >= ':\\music\\b'"
                                                 " AND SongPath < ':\\Music\\M' ORDER BY ID)").at(0);
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
