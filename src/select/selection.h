// The selection stage: runs the selection query, turns rows into candidates,
// applies the mode (0 probability, 1 roulette / uniform draws, 2 top list),
// re-orders mode-1 draws with the sort filter and removes repeats.
// It does not build SQL from filters and does not write the result file.
// This header is the stage's face: the request, the run, and the sort
// query's two forms, which the tests compare.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "select/request.h"
#include "select/selection_sql.h"
#include "select/sort_plan.h"
#include "support/random_source.h"

namespace vantor {

// What the stage chose: the final ID list and, when the math filter scored
// the run, each chosen song's score by ID.
struct SelectionOutcome {
    std::vector<std::int64_t> ids;
    std::unordered_map<std::int64_t, double> scores;
};

// The final ID list. Throws RunError with the selection and sort connections'
// codes (select/candidates.h, select/sort_query.h) and the score's.
SelectionOutcome runSelection(const SelectionRequest& request, RandomSource& rng);

}  // namespace vantor
