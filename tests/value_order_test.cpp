// The merge of sorted parts compares values itself: it must agree with
// SQLite's own comparison for every pair of values of every type, under each
// collation it follows, in UTF-8 and UTF-16 libraries, both ways up.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "db/connection.h"
#include "db/statement.h"
#include "db/value_order.h"
#include "db_test_support.h"
#include "harness.h"
#include "scan/sorted_parts.h"

using namespace vantor;
using namespace vantor::testing;

namespace {

// Values every type class can hold, with neighbours that tell rules apart:
// integers against reals past 2^53, case and accents, digits as numbers,
// texts that are prefixes of others, blobs.
const char* const kValues[] = {
    "NULL",          "0",     "-0.0",  "1",   "1.0",  "-1",  "9007199254740993", "9007199254740992.0",
    "9223372036854775807", "9.3e18", "-9.3e18", "2.5", "''", "'a'", "'A'", "'ab'", "'b'", "'Á'",
    "'abba'", "'ABBA'", "'x10'", "'x9'", "'007'", "'7'", "'Кино'", "'кино'", "'龍'", "x''", "x'00'", "x'0001'",
    "x'01'"};

}  // namespace

TEST(ValueOrder, AgreesWithSqliteForEveryPair) {
    TempDir dir;
    for (const bool utf16 : {false, true}) {
        const std::string path = (dir / (utf16 ? "u16.db" : "u8.db")).string();
        {
            Writer writer(path);
            writer.exec(std::string("PRAGMA encoding='") + (utf16 ? "UTF-16le" : "UTF-8") + "'");
            writer.exec("CREATE TABLE t(v)");
            for (const char* v : kValues) writer.exec(std::string("INSERT INTO t VALUES(") + v + ")");
        }
        db::Connection connection;
        ASSERT_EQ(connection.open(path), 0);
        ASSERT_EQ(db::nativeUtf16(connection), utf16);

        std::vector<db::KeyValue> values;
        db::Statement all;
        ASSERT_EQ(all.prepare(connection, "SELECT v FROM t ORDER BY rowid"), 0);
        while (all.step() == db::result::row) db::readKeyValue(all, 0, utf16, values.emplace_back());
        ASSERT_EQ(values.size(), std::size(kValues));

        for (const char* collation : {"BINARY", "IUNICODE", "NUMERICSTRING", "USERLOCALE"}) {
            for (const bool descending : {false, true}) {
                const auto order = db::TermOrder::of(collation, descending, utf16);
                ASSERT_TRUE(order.has_value()) << collation;
                // SQLite's own ORDER BY of the two rows, ties broken both ways:
                // the same first row both times means it sorts first, else they tie.
                const std::string term = std::string(" ORDER BY v COLLATE ") + collation + (descending ? " DESC" : "");
                db::Statement upward, downward;
                const std::string pairSql = "SELECT rowid FROM t WHERE rowid IN (?1, ?2)" + term;
                ASSERT_EQ(upward.prepare(connection, pairSql + ", rowid"), 0) << connection.errorMessage();
                ASSERT_EQ(downward.prepare(connection, pairSql + ", rowid DESC"), 0);
                const auto first = [](db::Statement& st, std::size_t i, std::size_t j) {
                    st.bindInt64(1, static_cast<std::int64_t>(i) + 1);
                    st.bindInt64(2, static_cast<std::int64_t>(j) + 1);
                    const std::int64_t row = st.step() == db::result::row ? st.columnInt64(0) : 0;
                    st.reset();
                    return row;
                };
                for (std::size_t i = 0; i < values.size(); ++i) {
                    for (std::size_t j = 0; j < values.size(); ++j) {
                        if (i == j) continue;
                        const std::int64_t a = first(upward, i, j), b = first(downward, i, j);
                        const auto self = static_cast<std::int64_t>(i) + 1;
                        const int sqlite = a != b ? 0 : a == self ? -1 : 1;
                        EXPECT_EQ(order->compare(values[i], values[j]), sqlite)
                            << kValues[i] << " vs " << kValues[j] << " " << collation << (descending ? " DESC" : "")
                            << (utf16 ? " UTF-16" : " UTF-8");
                    }
                }
            }
        }
    }
    EXPECT_FALSE(db::TermOrder::of("NOCASE", false, false).has_value());
    EXPECT_FALSE(db::TermOrder::of("rtrim", false, true).has_value());
}

TEST(SortedParts, SimpleSortFiltersAreRead) {
    struct Case {
        const char* text;
        std::size_t terms;  // 0: not one the merge follows
    };
    const Case cases[] = {{" ORDER BY Artist", 1},
                          {"order by artist desc, Year ASC", 2},
                          {" ORDER BY \"Song \"\"Title\"\"\" COLLATE IUNICODE DESC", 1},
                          {" ORDER  BY  Album  ,  Year  ,  ID ", 3},
                          {" ORDER BY Artist COLLATE", 0},
                          {" ORDER BY 1", 0},
                          {" ORDER BY Artist NULLS LAST", 0},
                          {" ORDER BY Artist LIMIT 3", 0},
                          {" ORDER BY lower(Artist)", 0},
                          {" ORDER BY Artist,", 0},
                          {" ORDER BY DESC", 0},
                          {" ORDER BY \"\"", 0},
                          {" GROUP BY Artist", 0},
                          {"", 0}};
    for (const Case& c : cases) {
        const auto terms = simpleOrderBy(c.text);
        EXPECT_EQ(terms ? terms->size() : 0u, c.terms) << c.text;
    }
    const auto quoted = simpleOrderBy(" ORDER BY \"Song \"\"Title\"\"\" COLLATE IUNICODE DESC");
    ASSERT_TRUE(quoted);
    EXPECT_EQ((*quoted)[0].column, "Song \"Title\"");
    EXPECT_EQ((*quoted)[0].collation, "IUNICODE");
    EXPECT_TRUE((*quoted)[0].descending);
}
