// The count and date sessions: each failure leaves with its step's stage
// code, so the number in the message tells where the library failed.
#include "library/sessions.h"

#include <cstdio>

#include "library/session.h"

namespace vantor {

// One connection, with the count's codes, for the sort filter's test, the
// count, the columns and whether the years are dates.
LibraryInfo readLibraryInfo(db::LibraryFile& library, const std::string& sqlSortFilter, bool askDates) {
    Session session(library, stagecodes::count);
    if (!sqlSortFilter.empty()) {
        // Only tests that SQLite accepts the sort filter; never stepped.
        session.prepareTyped(std::string(librarysql::sortTestHead) + sqlSortFilter, "cannot test the sort filter",
                             code::sortFilter, "the sort filter was refused");
    }
    LibraryInfo info;
    const std::string count(librarysql::count);
    db::Statement counting = session.prepare(count, "cannot count the songs");
    info.size = session.step(counting, count, "cannot count the songs") == db::result::row ? counting.columnInt(0) : 0;
    info.columns = songsColumns(session.connection(), stagecodes::count);
    if (askDates && info.columns.position(fieldcode::year) >= 0) {
        const std::string sql(librarysql::storesDates);
        db::Statement dates = session.prepare(sql, "cannot read the years");
        info.storesDates = session.step(dates, sql, "cannot read the years") == db::result::row;
    }
    return info;
}

std::string readDayNumberText(db::LibraryFile& library) {
    Session session(library, stagecodes::date);
    const std::string sql(librarysql::today);
    db::Statement statement = session.prepare(sql, "cannot read the date");
    const bool row = session.step(statement, sql, "cannot read the date") == db::result::row;
    const double today = row ? statement.columnDouble(0) : 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%f", today);
    return text;
}

}  // namespace vantor
