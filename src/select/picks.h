// The candidate record of the roulette and top-list modes, and the pure
// arithmetic over it: the weight total, one roulette draw, the top-list order.
// Reading rows and writing IDs belong to the selection stage, not here.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "support/random_source.h"

namespace vantor {

struct pick {
    std::int64_t id;
    double score;
};

// The scores added in index order, starting from 0.0.
double ssum(std::span<const pick> picks);

// One roulette draw: the index of the first record whose running score sum
// reaches a point drawn below the total, or -1 when none reaches it (the
// scores sum below 0, or one is NaN); the caller then skips the draw.
int sroulette(std::span<const pick> picks, RandomSource& rng);

// Best first: descending score, equal scores in their query order, NaN after
// every number.
void sortTopList(std::vector<pick>& picks);

// `count` roulette draws, each taking exactly the record sroulette would take
// for the same draw of the random source (draws no record reaches are
// skipped). With no negative or NaN score the running sums are kept in the
// records, so a draw is one binary search instead of two scans; the records
// are used up either way.
std::vector<std::int64_t> rouletteIds(std::vector<pick> picks, int count, RandomSource& rng);

// The IDs of the first m records of the top-list order, found without
// sorting (or copying) every candidate.
std::vector<std::int64_t> topListIds(std::span<const pick> picks, std::size_t m);

}  // namespace vantor
