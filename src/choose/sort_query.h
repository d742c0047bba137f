// Mode 1's sort query: the draws re-ordered by the sort filter, on a
// connection of its own. Which form of the query runs is planned in
// choose/sort_plan.h; the text of the LIKE form is in choose/sort_sql.h.
#pragma once

#include <cstdint>
#include <vector>

#include "scan/request.h"

namespace vantor {

// Overwrites the draws from the front with the sort query's rows, one per
// song drawn, in the sort filter's order; the rest keep their draws and the
// count stays. Throws RunError stage::sortQuery + code when the library does not open or
// the query fails to prepare or step.
void sortDraws(std::vector<std::int64_t>& ids, const SelectionRequest& request);

}  // namespace vantor
