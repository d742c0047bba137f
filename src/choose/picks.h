// The candidate record of the roulette and top-list modes, and the pure
// arithmetic over it: the weight total, one roulette draw, the top-list order.
// Reading rows and writing IDs belong to the selection stage, not here.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "scan/pick.h"
#include "support/random_source.h"

namespace vantor {

// The total of the scores, added in index order starting from 0.0.
double ssum(std::span<const pick> picks);

// One roulette draw: the index of the first record whose running score sum
// reaches a point drawn below the total, or -1 when none reaches it (the
// scores sum below 0, or one is NaN); the caller then skips the draw.
int sroulette(std::span<const pick> picks, RandomSource& rng);

// Best first: descending score, equal scores in their query order, NaN after
// every number.
void sortTopList(std::vector<pick>& picks);

// `count` roulette draws by sroulette, one scan per draw; a draw that no
// record reaches adds nothing. The plain way, which rouletteIds must match.
std::vector<std::int64_t> scanRouletteIds(std::vector<pick> picks, int count, RandomSource& rng);

// `count` roulette draws, each taking exactly the record sroulette would take
// for the same draw of the random source (draws no record reaches are
// skipped). The highest running sum so far is kept in each record, so a
// draw is one binary search instead of two scans, whatever the scores' signs;
// the records are used up.
std::vector<std::int64_t> rouletteIds(std::vector<pick> picks, int count, RandomSource& rng);

// The IDs of the first m records after sortTopList. The plain way, which
// topListIds must match.
std::vector<std::int64_t> sortedTopListIds(std::span<const pick> picks, std::size_t m);

// The IDs of the first m records of the top-list order, found without
// sorting (or copying) every candidate.
std::vector<std::int64_t> topListIds(std::span<const pick> picks, std::size_t m);

// The ways the scored choices are computed: the fast ones, or the plain ones
// that the selection differential test holds them to. A run takes one set
// throughout; the modes never ask which.
struct PickWays {
    std::vector<std::int64_t> (*roulette)(std::vector<pick> picks, int count, RandomSource& rng);
    std::vector<std::int64_t> (*topList)(std::span<const pick> picks, std::size_t m);
};
inline constexpr PickWays fastWays{rouletteIds, topListIds};
inline constexpr PickWays plainWays{scanRouletteIds, sortedTopListIds};

}  // namespace vantor
