// Text comparisons over a UTF-16 library's own units against the UTF-8 way
// (SQLite converting every column): a library of hostile texts in every
// column of the all-text-fields value, every operator, needles in and out of
// ASCII, and every score compared bit for bit; then whole runs of vantor on
// the UTF-16 library and on the same data stored as UTF-8.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <bit>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/statement.h"
#include "e2e_library.h"
#include "filter/expansion.h"
#include "filter/field_catalogue.h"
#include "filter/rewrites.h"
#include "harness.h"
#include "report/run_error.h"
#include "rules/statement_row.h"
#include "score/math_filter.h"
#include "score/tokenizer.h"
#include "score_outcome.h"

using namespace vantor;
using namespace vantor::testing;

namespace {

// What SQLite's UTF-8 makes of them differs from the standard rules for the
// lone surrogates (folded into the next unit, or three bytes at the end);
// the rest are case pairs ASCII lower-casing must leave alone, embedded
// zeros, and texts with and without the needles.
const std::vector<std::u16string> kTexts = {
    u"",
    u"Love",
    u"LOVE me tender",
    u"a\xD800",
    u"\xD800" u"B love",
    u"x\xDC00love",
    u"l\xD800ove",
    u"love\xDBFF",
    u"\xDFFF",
    u"\xD800\xD800" u"z",
    u"\xD83D\xDE00 love",
    u"\xD83D\xDE00",
    u"\x00C4 \x00E4",
    u"\x03A3\x0391\x03A3 \x03C3\x03B1\x03C2",
    u"\x0130stanbul i",
    u"\x212A" u"elvin K",
    u"Stra\x00DF" u"e SS",
    std::u16string(u"lo\0ve", 5),
    std::u16string(u"\0", 1),
    u"\xFFFF\xFFFD",
    u"\xD800\xDC42",
};

bool wellFormed(std::u16string_view units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] < 0xD800 || units[i] > 0xDFFF) continue;
        if (units[i] > 0xDBFF || i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return false;
        ++i;
    }
    return true;
}

struct Encoding {
    const char* label;
    const char* pragma;  // empty: SQLite's default, UTF-8
};

void PrintTo(const Encoding& e, std::ostream* os) { *os << e.label; }

// The same songs in a library of the given encoding: every column of the
// all-text-fields value gets one of the texts above, or NULL, bound as
// UTF-16 with its length, so a UTF-8 library holds exactly the bytes that
// SQLite's conversion gives for the UTF-16 one.
std::string hostileLibrary(const fs::path& dir, const std::string& name, const std::string& pragma) {
    const std::string path = platform::utf8Path(dir / name);
    fs::remove(path);
    Writer w(path);
    if (!pragma.empty()) w.exec("PRAGMA encoding='" + pragma + "'");
    w.exec("PRAGMA journal_mode=DELETE");
    w.exec(classicSongsTable());
    const auto codes = allTextFieldCodes();
    std::string sql = "INSERT INTO songs(ID,Year";
    for (const int code : codes) (sql += ",") += fieldByCode(code)->column;
    sql += ") VALUES(?,1990";
    for (std::size_t k = 0; k < codes.size(); ++k) sql += ",?";
    sql += ")";
    sqlite3_stmt* insert = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(w.handle(), sql.c_str(), -1, &insert, nullptr), SQLITE_OK) << sql;
    w.exec("BEGIN");
    const std::size_t n = kTexts.size();
    for (std::size_t row = 0; row < 4 * n; ++row) {
        sqlite3_bind_int(insert, 1, static_cast<int>(row + 1));
        for (std::size_t k = 0; k < codes.size(); ++k) {
            const int at = static_cast<int>(k) + 2;
            if ((row + k) % 9 == 0) {
                sqlite3_bind_null(insert, at);
            } else if (codes[k] == fieldcode::dateAdded && row % 3 == 0) {
                sqlite3_bind_double(insert, at, 45000.25 + static_cast<double>(row));  // a number, as hosts store it
            } else {
                // The first half of the songs holds no lone surrogate, so
                // their rows are decided over the units from end to end.
                std::size_t pick = (row * 5 + k * 3) % n;
                while (row < 2 * n && !wellFormed(kTexts[pick])) pick = (pick + 1) % n;
                const std::u16string& t = kTexts[pick];
                sqlite3_bind_text16(insert, at, t.data(), static_cast<int>(t.size() * 2), SQLITE_TRANSIENT);
            }
        }
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    w.exec("COMMIT");
    return path;
}

// The needles, as a user types them: ASCII and not, either case, the empty
// text, and bytes that are no UTF-8 (SQLite's three bytes for a lone
// surrogate, a cut sequence, and the four bytes it folds "\xD800B" into).
const std::vector<std::string> kNeedles = {
    "love",         "LOVE",          "Love me",       "''",
    "\xC3\x84",     "\xC3\xA4",      "\xCE\xA3",      "\xCF\x83",
    "\xCF\x82",     "\xC4\xB0",      "i",             "\xE2\x84\xAA",
    "k",            "\xC3\x9F",      "ss",            "\xF0\x9F\x98\x80",
    "45",           ".25",           "e",             "inf",
    "\xF0\x9F\x98\x80 love",         "\xED\xA0\x80",  "\xC3",
    "\xF0\x90\x81\x82",              "\xEF\xBF\xBD",  "\xEF\xBF\xBF",
};

std::vector<std::string> mathFilters() {
    std::vector<std::string> filters;
    for (const char* field : {"artist", "album", "comment", "lyrics", "anyfield"}) {
        for (const char* op : {"=", "~", "!=", "!~"}) {
            for (const std::string& needle : kNeedles) {
                const bool quoted = needle.front() == '\'';
                filters.push_back(std::string(field) + op + (quoted ? needle : "'" + needle + "'"));
            }
        }
    }
    // Field against field, anyfield on either side, and several comparisons in one row.
    for (const char* f : {"artist=album", "artist~album", "artist!~genre", "anyfield~artist", "artist!=anyfield",
                          "anyfield=anyfield", "artist~'love'+2*(anyfield~'\xC3\xA4')+4*(album!='')",
                          "(anyfield~'love')*dateadded", "artist contains", "love me"}) {
        filters.push_back(f);
    }
    return filters;
}

TokenList prepared(const std::string& math) { return preparedMath(math, "45123.5"); }

enum class Way { Units, Utf8, Utf8ThenUnits };

// Every row's outcome by ID, scored one way over a fresh statement.
std::map<std::int64_t, Outcome> scoresOf(const std::string& path, const TokenList& tokens, Way way,
                                         bool* holdsUtf16 = nullptr) {
    db::Connection connection;
    EXPECT_EQ(connection.open(path), 0);
    db::Statement statement;
    EXPECT_EQ(statement.prepare(connection, "SELECT * FROM songs"), db::result::ok);
    const ColumnMap columns = ColumnMap::fromColumnNames(db::columnNames(statement));
    const StatementRow row(statement, columns);
    MathFilter filter(tokens);
    std::map<std::int64_t, Outcome> scores;
    while (statement.step() == db::result::row) {
        if (holdsUtf16 != nullptr) *holdsUtf16 = row.holdsUtf16();
        const std::int64_t id = idOf(statement, 0);
        if (way == Way::Units) {
            scores[id] = outcomeOf([&] { return filter.score(row); });
        } else if (way == Way::Utf8) {
            scores[id] = outcomeOf([&] { return filter.scoreLiteral(row); });
        } else {
            // Every column read as UTF-8 first: the units must not be trusted after that.
            outcomeOf([&] { return filter.scoreLiteral(row); });
            for (const int code : allTextFieldCodes()) row.text(code);
            scores[id] = outcomeOf([&] { return filter.score(row); });
        }
    }
    return scores;
}

class Utf16Compare : public ::testing::TestWithParam<Encoding> {};

TEST_P(Utf16Compare, ScoresOverTheUnitsEqualTheUtf8WayForEveryRow) {
    TempDir dir;
    const std::string path = hostileLibrary(dir.path(), "lib.db", GetParam().pragma);
    int compared = 0;
    for (const std::string& math : mathFilters()) {
        SCOPED_TRACE(math);
        const TokenList tokens = prepared(math);
        bool holdsUtf16 = false;
        const auto units = scoresOf(path, tokens, Way::Units, &holdsUtf16);
        ASSERT_TRUE(holdsUtf16);
        const auto reference = scoresOf(path, tokens, Way::Utf8);
        const auto afterUtf8 = scoresOf(path, tokens, Way::Utf8ThenUnits);
        ASSERT_EQ(units.size(), 4 * kTexts.size());
        for (const auto& [id, expected] : reference) {
            EXPECT_EQ(units.at(id), expected) << "song " << id;
            EXPECT_EQ(afterUtf8.at(id), expected) << "song " << id << ", read as UTF-8 first";
            ++compared;
        }
    }
    EXPECT_GT(compared, 10000);
}

INSTANTIATE_TEST_SUITE_P(Encodings, Utf16Compare,
                         ::testing::Values(Encoding{"le", "UTF-16le"}, Encoding{"be", "UTF-16be"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Utf16Compare, AUtf8LibraryIsNeverReadAsUnits) {
    TempDir dir;
    const std::string path = hostileLibrary(dir.path(), "lib.db", "");
    bool holdsUtf16 = true;
    scoresOf(path, prepared("anyfield~love"), Way::Units, &holdsUtf16);
    EXPECT_FALSE(holdsUtf16);
}

TEST(Utf16Compare, RunsOnAUtf16LibraryAndItsUtf8TwinGiveTheSameList) {
    TempDir dir;
    const std::string utf16 = hostileLibrary(dir.path(), "utf16.db", "UTF-16le");
    const std::string utf8 = hostileLibrary(dir.path(), "utf8.db", "");
    struct Case {
        const char* math;
        const char* mode;
        bool utf8 = true;  // the filter is UTF-8, as a Windows command line can carry it
    };
    const std::vector<Case> cases = {
        {"anyfield contains love", "2"},
        {"anyfield contains \xC3\xA4", "0"},
        {"artist=love", "0"},
        {"artist!=\xC3\x84 \xC3\xA4", "0"},
        {"comment!~love", "0"},
        {"anyfield~'\xED\xA0\x80'", "0", false},
        {"anyfield~'\xF0\x90\x81\x82'", "0"},
        {"artist~album", "0"},
        {"2*(artist~'love')+(anyfield~'\xCF\x83')+(album!~'\xE2\x84\xAA')", "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.math);
        if (kOnWindows && !c.utf8) continue;  // no UTF-16 command line carries it
        std::string results[2];
        int i = 0;
        for (const std::string& lib : {utf16, utf8}) {
            const ProcessResult p =
                runBinary({"--seed", "7", lib, "id>0", "", c.math, c.mode, "100", "0", "result.txt"}, dir.path());
            EXPECT_EQ(p.status, 0) << p.err;
            results[i++] = slurp(dir / "result.txt");
        }
        EXPECT_EQ(results[0], results[1]);
        EXPECT_NE(results[0].find(','), std::string::npos) << results[0];
    }
}

}  // namespace
