// The count and date sessions: each failure leaves with its step's stage
// code, so the number in the message tells where the library failed.
#include "library/sessions.h"

#include <cstdio>

#include "db/connection.h"
#include "db/library_file.h"
#include "db/statement.h"
#include "report/run_error.h"

namespace vantor {

LibraryInfo readLibraryInfo(db::LibraryFile& library, const std::string& sqlSortFilter, bool askDates) {
    db::Connection connection;
    if (const int rc = connection.open(library); rc != db::result::ok) {
        throw RunError(stage::countOpen + rc, connection.openFailure(library));
    }
    if (!sqlSortFilter.empty()) {
        // Only tests that SQLite accepts the sort filter; never stepped.
        const std::string test = std::string(librarysql::sortTestHead) + sqlSortFilter;
        db::Statement statement;
        // Only SQLite's generic error means the text was refused; a busy or
        // damaged library is no fault of the sort filter.
        if (const int rc = statement.prepare(connection, test); rc == db::result::error) {
            throw RunError(code::sortFilter,
                           "the sort filter was refused: " + connection.errorMessage() + " in: " + test);
        } else if (rc != db::result::ok) {
            throw RunError(stage::countQuery + rc, "cannot test the sort filter: " + connection.errorMessage() + " in: " + test);
        }
    }
    LibraryInfo info;
    {
        const std::string sql(librarysql::count);
        db::Statement count;
        if (const int rc = count.prepare(connection, sql); rc != db::result::ok) {
            throw RunError(stage::countQuery + rc, "cannot count the songs: " + connection.errorMessage() + " in: " + sql);
        }
        const int rc = count.step();
        if (db::stepFailed(rc)) {
            throw RunError(stage::countStep + rc, "cannot count the songs: " + connection.errorMessage() + " in: " + sql);
        }
        info.size = rc == db::result::row ? count.columnInt(0) : 0;
    }
    {
        const std::string sql(librarysql::columns);
        db::Statement all;
        if (const int rc = all.prepare(connection, sql); rc != db::result::ok) {
            throw RunError(stage::countQuery + rc, "cannot read the columns: " + connection.errorMessage() + " in: " + sql);
        }
        info.columns = ColumnMap::fromColumnNames(db::columnNames(all));
    }
    // Without ID there is nothing to name a song by; SQLite says the same of
    // any query that asks for it.
    if (info.columns.position(fieldcode::id) < 0) {
        throw RunError(stage::countQuery + db::result::error, "the songs table has no ID column");
    }
    if (askDates && info.columns.position(fieldcode::year) >= 0) {
        const std::string sql(librarysql::storesDates);
        db::Statement dates;
        if (const int rc = dates.prepare(connection, sql); rc != db::result::ok) {
            throw RunError(stage::countQuery + rc, "cannot read the years: " + connection.errorMessage() + " in: " + sql);
        }
        const int rc = dates.step();
        if (db::stepFailed(rc)) {
            throw RunError(stage::countStep + rc, "cannot read the years: " + connection.errorMessage() + " in: " + sql);
        }
        info.storesDates = rc == db::result::row;
    }
    return info;
}

std::string readDayNumberText(db::LibraryFile& library) {
    db::Connection connection;
    if (const int rc = connection.open(library); rc != db::result::ok) {
        throw RunError(stage::dateOpen + rc, connection.openFailure(library));
    }
    const std::string sql(librarysql::today);
    db::Statement statement;
    if (const int rc = statement.prepare(connection, sql); rc != db::result::ok) {
        throw RunError(stage::datePrepare + rc, "cannot read the date: " + connection.errorMessage() + " in: " + sql);
    }
    const int rc = statement.step();
    if (db::stepFailed(rc)) throw RunError(stage::dateStep + rc, "cannot read the date: " + connection.errorMessage() + " in: " + sql);
    const double today = rc == db::result::row ? statement.columnDouble(0) : 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%f", today);
    return text;
}

}  // namespace vantor
