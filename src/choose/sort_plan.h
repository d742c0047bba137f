// The sort query's planning: whether the drawn IDs can be looked up by key
// instead of matched by LIKE against every song, read off SQLite's plans
// (db/query_plan.h). A lookup is chosen only when it provably returns the LIKE
// form's rows in the LIKE form's order. It runs no sort query itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/request.h"

namespace vantor {

namespace db {
class Connection;
}

// Whether the sort filter begins with ORDER BY (blanks before and between
// allowed, any case), so that it orders the rows and adds no condition.
bool startsWithOrderBy(std::string_view sortFilter);

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
