#include "cli/library.h"

#include <cstdio>

#include "db/connection.h"
#include "db/statement.h"
#include "report/run_error.h"

namespace vantor {

LibraryInfo readLibraryInfo(const std::string& dbPath, const std::string& sqlSortFilter) {
    db::Connection connection;
    if (const int rc = connection.open(dbPath); rc != db::result::ok) {
        throw RunError(500 + rc, "cannot open the library " + dbPath + ": " + connection.errorMessage());
    }
    if (!sqlSortFilter.empty()) {
        // Only tests that SQLite accepts the sort filter; never stepped.
        const std::string test = "SELECT ID FROM songs WHERE ID>0" + sqlSortFilter;
        db::Statement statement;
        if (statement.prepare(connection, test) != db::result::ok) {
            throw RunError(code::sortFilter,
                           "the sort filter was refused: " + connection.errorMessage() + " in: " + test);
        }
    }
    LibraryInfo info;
    {
        const std::string sql = "SELECT COUNT(*) from songs";
        db::Statement count;
        if (const int rc = count.prepare(connection, sql); rc != db::result::ok) {
            throw RunError(1500 + rc, "cannot count the songs: " + connection.errorMessage() + " in: " + sql);
        }
        const int rc = count.step();
        if (db::stepFailed(rc)) {
            throw RunError(2000 + rc, "cannot count the songs: " + connection.errorMessage() + " in: " + sql);
        }
        info.size = rc == db::result::row ? count.columnInt(0) : 0;
    }
    info.columns = ColumnMap::fromColumnNames(db::tableColumnNames(connection, "songs"));
    return info;
}

std::string readDayNumberText(const std::string& dbPath) {
    db::Connection connection;
    if (const int rc = connection.open(dbPath); rc != db::result::ok) {
        throw RunError(2500 + rc, "cannot open the library " + dbPath + ": " + connection.errorMessage());
    }
    const std::string sql = "select JulianDay('now','localtime')-2415018.5";
    db::Statement statement;
    if (const int rc = statement.prepare(connection, sql); rc != db::result::ok) {
        throw RunError(3000 + rc, "cannot read the date: " + connection.errorMessage() + " in: " + sql);
    }
    const int rc = statement.step();
    if (db::stepFailed(rc)) throw RunError(4000 + rc, "cannot read the date: " + connection.errorMessage() + " in: " + sql);
    const double today = rc == db::result::row ? statement.columnDouble(0) : 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%f", today);
    return text;
}

}  // namespace vantor
