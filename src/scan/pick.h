// The candidate record: what the scan makes of each row of the selection
// query, and what the modes choose among (choose/picks.h does the arithmetic).
#pragma once

#include <cstdint>

namespace vantor {

// One candidate: a song's ID and its score from the math filter (0 when the
// math filter is "1" and nothing scores).
struct pick {
    std::int64_t id;
    double score;
};

}  // namespace vantor
