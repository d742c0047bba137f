// Which selection queries may be read in key ranges: the walks SQLite's
// plan shows to be splittable, and each range's query. Reading the ranges
// and proving they read one state are not here (scan/scan_parts.h,
// scan/range_scan.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "scan/sorted_parts.h"

namespace vantor {

// The order a splittable walk returns its rows in: the table's own (by ID),
// or that of an index whose first column holds numbers, walked upwards.
struct WalkOrder {
    std::string index;   // "" for the table's own order
    std::string column;  // the key the parts are split on: ID, or the index's first column
    std::vector<SortTerm> sort;  // SQLite sorts what the walk finds by these; empty: it does not
    bool withNulls = false;      // the walk goes through the whole index, NULL keys first
};

// How the selection query `sql` walks the table, when it is a walk that may
// be split into ranges of its key: the whole query walks the table in ID
// order, or one index upwards (over a range of its first column, or whole),
// and nothing else (no LIMIT or OFFSET, no aggregate, no other table), then at most sorts
// the rows by `sortFilter` when that is one scan/sorted_parts.h can
// follow; and each range of the key is read by SQLite along that same order.
// Nothing otherwise.
std::optional<WalkOrder> splittableWalk(db::Connection& connection, const std::string& sql,
                                        const std::string& sortFilter);

// The selection query restricted to a range of the walk's key: from ?1
// (included) when `lower`, below ?2 when `upper`, the NULL keys alone when
// `nulls`; a sorted walk's key columns follow the query's own.
std::string rangeQuery(const std::string& sql, const WalkOrder& walk, bool lower, bool upper, bool nulls = false);

}  // namespace vantor
