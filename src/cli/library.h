// The two short database sessions before the selection: the count
// connection (sort-filter test, library size, column layout) and the date
// connection (today's day number). Each opens, asks and closes.
#pragma once

#include <string>

#include "filter/field_catalogue.h"

namespace vantor {

namespace db {
class LibraryFile;
}

struct LibraryInfo {
    int size = 0;           // rows in the songs table
    ColumnMap columns;      // where this library keeps each catalogue column
};

// Throws RunError: 500/1500/2000 + SQLite's code, or 5 for a sort filter SQLite
// refused as SQL (its generic error; any other result is the library's 1500 + code).
LibraryInfo readLibraryInfo(db::LibraryFile& library, const std::string& sqlSortFilter);

// Today as a day number since 1899-12-30, in its "%f" text. Throws RunError 2500/3000/4000 + code.
std::string readDayNumberText(db::LibraryFile& library);

}  // namespace vantor
