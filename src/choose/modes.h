// The selection modes: what a score means, and how the candidate list becomes
// the IDs of the result. The enum names the front end's numbers; the modes
// themselves, and any rule added later, live in choose/modes.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "choose/picks.h"
#include "choose/selection.h"
#include "scan/request.h"
#include "support/random_source.h"

namespace vantor {

// ORDER Mode: the table of modes in choose/modes.cpp follows this order.
enum class Mode {
    probability,  // 0: each candidate kept with probability = its score
    roulette,     // 1: `songCount` draws with replacement, weighted by score
    topList,      // 2: the `songCount` best scores, best first
    other,        // any other number: nothing chosen
};

// The mode a number names: 0, 1 and 2 their own, every other number Mode::other.
Mode modeOf(int number);

// The IDs the request's mode chooses from the selection query's candidates,
// through the request's rules (rules/rules.h), with their scores when the
// request keeps them. `ways` computes the scored choices (fastWays, or
// plainWays for the reference). Throws RunError as scan/candidates.h,
// choose/sort_query.h and rules/song_data.h say.
SelectionOutcome selectByMode(const SelectionRequest& request, RandomSource& rng, const PickWays& ways);

}  // namespace vantor
