// The sort query's planning: whether the drawn IDs can be looked up by key
// instead of matched by LIKE against every song, read off SQLite's EXPLAIN
// QUERY PLAN text. A lookup is chosen only when it provably returns the LIKE
// form's rows in the LIKE form's order. It runs no sort query itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "select/request.h"

namespace vantor {

namespace db {
class Connection;
}

// The statement's plan as the order it walks rows in: one line per step,
// "DEPTH detail", lower-cased, with "covering index" read as "index"
// (whether an index also holds every column changes no order); nullopt when
// SQLite refuses the statement. Two statements with equal walks return their
// rows in the same order; the column choice compares by it too.
std::optional<std::vector<std::string>> planWalk(db::Connection& connection, const std::string& sql);

// Whether the sort filter begins with ORDER BY (blanks before and between
// allowed, any case), so that it orders the rows and adds no condition.
bool startsWithOrderBy(std::string_view sortFilter);

// The table a walk's line scans whole in key order ("0 scan songs"), or
// nullopt for any other line.
std::optional<std::string> tableScanned(std::string_view walkLine);

// The index a walk's line scans ("0 scan songs using index idxSongsYear"),
// or nullopt for any other line and for names that would need quoting.
std::optional<std::string> indexScanned(std::string_view walkLine);

// Whether SQLite walks the statement's index backwards (an ORDER BY ... DESC
// along an ascending index): the bytecode then starts at the last entry.
bool walksBackwards(db::Connection& connection, const std::string& sql);

// The drawn rows (`list`: distinct IDs joined by commas) in the order a walk
// of `like` along `index` meets them, without the walk; "" when the walk
// cannot be spelled as an ORDER BY (see the definition).
std::string lookupInIndexOrder(db::Connection& connection, const std::string& like, const std::string& index,
                               const std::string& list, const std::string& sortFilter);

// The sort query to run for these draws: the LIKE form (buildSortQuery), or
// a lookup through the ID key that SQLite walks the same way, so the rows and
// their order are the LIKE form's (the reference request always gets the
// LIKE form).
std::string chooseSortQuery(db::Connection& connection, const std::vector<std::int64_t>& ids,
                            const SelectionRequest& request);

}  // namespace vantor
