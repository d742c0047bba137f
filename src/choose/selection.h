// The selection stage: runs the selection query, turns rows into candidates,
// applies the mode (0 probability, 1 roulette / uniform draws, 2 top list),
// re-orders mode-1 draws with the sort filter and removes repeats.
// It does not build SQL from filters and does not write the result file.
// This header is the stage's face: the request, the run, and the sort
// query's two forms, which the tests compare.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "choose/sort_plan.h"
#include "choose/sort_sql.h"
#include "scan/request.h"
#include "support/random_source.h"

namespace vantor {

// What the selection chose: the final ID list and, when the math filter
// scored the run and the request asked to keep them, each chosen song's
// score (one per ID: mode 1 may choose a song twice).
struct SelectionOutcome {
    std::vector<std::int64_t> ids;
    std::unordered_map<std::int64_t, double> scores;

    // Callers that want the IDs alone (the tests of the front end's runs)
    // take them as the list they always were.
    operator std::vector<std::int64_t>() && { return std::move(ids); }
};

// The final ID list. Throws RunError with the selection and sort connections'
// codes (scan/candidates.h, choose/sort_query.h) and the score's.
SelectionOutcome runSelection(const SelectionRequest& request, RandomSource& rng);

}  // namespace vantor
