// The two short database sessions before the selection: the count
// connection (sort-filter test, library size, column layout) and the date
// connection (today's day number). Each opens, asks and closes. A stage of
// its own, not db/: it maps failures to its stage codes and reads the field
// catalogue, which the layer of connections and statements knows nothing of.
#pragma once

#include <string>
#include <string_view>

#include "filter/field_catalogue.h"

namespace vantor {

// The SQL the two sessions send, each written once.
namespace librarysql {
// The sort filter's test: this head, then the filter; prepared, never stepped.
inline constexpr std::string_view sortTestHead = "SELECT ID FROM songs WHERE ID>0";
inline constexpr std::string_view count = "SELECT COUNT(*) from songs";
// Whether Year holds a date (YYYYMMDD) anywhere: a number of 10000 or more,
// texts left out. One step up the host's Year index.
inline constexpr std::string_view storesDates =
    "SELECT 1 FROM songs WHERE Year>=10000 AND typeof(Year) IN ('integer','real') LIMIT 1";
// Today as a day number since 1899-12-30 (the library's own day count).
inline constexpr std::string_view today = "select JulianDay('now','localtime')-2415018.5";
}  // namespace librarysql

namespace db {
class LibraryFile;
}

struct LibraryInfo {
    int size = 0;             // rows in the songs table
    ColumnMap columns;        // where this library keeps each catalogue column
    bool storesDates = false;  // Year holds dates (YYYYMMDD); asked only when `askDates`
};

// Throws RunError: stage::countOpen, countQuery or countStep + SQLite's code,
// or code::sortFilter for a sort filter SQLite refused as SQL (its generic
// error; any other result is the library's, countQuery + code). `askDates`
// when the filters read year otherwise on a library that stores dates; a
// library without a Year column stores none.
LibraryInfo readLibraryInfo(db::LibraryFile& library, const std::string& sqlSortFilter, bool askDates = false);

// Today as a day number since 1899-12-30, in its "%f" text. Throws RunError
// stage::dateOpen, datePrepare or dateStep + SQLite's code.
std::string readDayNumberText(db::LibraryFile& library);

}  // namespace vantor
