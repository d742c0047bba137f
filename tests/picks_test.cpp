#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "choose/picks.h"

using namespace vantor;

namespace {

// Counts up through every value the generator can give, so a test can visit
// all 32768 draws once each.
class SweepSource final : public RandomSource {
public:
    int next() override { return value_++ % (max + 1); }

private:
    int value_ = 0;
};

// How many of the 32768 possible draws land on each index (-1 = skipped).
std::map<int, int> sweep(const std::vector<pick>& picks) {
    SweepSource rng;
    std::map<int, int> counts;
    for (int r = 0; r <= RandomSource::max; ++r) ++counts[sroulette(picks, rng)];
    return counts;
}

std::vector<std::int64_t> ids(const std::vector<pick>& picks) {
    std::vector<std::int64_t> out;
    for (const pick& p : picks) out.push_back(p.id);
    return out;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(Picks, SumRunsInIndexOrder) {
    // 1e16 + 1 rounds back to 1e16, so only a left-to-right sum gives 0.
    const std::vector<pick> picks{{1, 1e16}, {2, 1.0}, {3, -1e16}};
    EXPECT_EQ(ssum(picks), 0.0);
    EXPECT_EQ(ssum({}), 0.0);
}

TEST(Roulette, EveryDrawOfTheWorkedExample) {
    const std::vector<pick> picks{{10, 2}, {11, 0}, {12, 1}, {13, 1}};
    EXPECT_EQ(sweep(picks), (std::map<int, int>{{0, 16385}, {2, 8192}, {3, 8191}}));
}

TEST(Roulette, AllZeroScoresAlwaysTakeTheFirstRecord) {
    const std::vector<pick> picks{{1, 0}, {2, 0}, {3, 0}};
    EXPECT_EQ(sweep(picks), (std::map<int, int>{{0, 32768}}));
}

TEST(Roulette, DrawsThatNoRecordReachesAreSkipped) {
    // Total -2: the point lies in (-2, 0]; it is reached only when it is -1 or lower.
    EXPECT_EQ(sweep({{1, -1}, {2, -1}}), (std::map<int, int>{{-1, 16384}, {0, 16384}}));
    // A NaN score makes the total and the point NaN, which nothing reaches.
    EXPECT_EQ(sweep({{1, 1}, {2, kNaN}, {3, 1}}), (std::map<int, int>{{-1, 32768}}));
    EXPECT_EQ(sweep({}), (std::map<int, int>{{-1, 32768}}));
}

// The binary search takes the record the scan takes for every draw, whatever
// the scores' signs: negative scores make the running sum fall and rise
// again, infinities and NaN end it. Seeded lists of mixed scores, both ways
// drawing every value of the generator once.
TEST(Roulette, SearchTakesTheScansRecordForScoresOfAnySign) {
    const double special[] = {0.0, -0.0, kInf, -kInf, kNaN, 1e300, -1e300, 1e-300};
    MsvcRand make(7);
    for (int round = 0; round < 120; ++round) {
        std::vector<pick> picks(static_cast<std::size_t>(make.next() % 40));
        for (std::size_t i = 0; i < picks.size(); ++i) {
            const int r = make.next();
            picks[i].id = static_cast<std::int64_t>(i);
            // Mostly small scores of either sign, now and then a special one
            // (in a quarter of the lists only, so most lists keep a finite total).
            picks[i].score = round % 4 == 0 && r % 16 == 0 ? special[r % std::size(special)]
                                                            : (r % 200 - 80) / 10.0;
        }
        SweepSource a, b;
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_EQ(rouletteIds(picks, RandomSource::max + 1, a), scanRouletteIds(picks, RandomSource::max + 1, b));
    }
}

TEST(TopList, DescendingWithTiesInQueryOrderAndNaNLast) {
    std::vector<pick> picks{{1, 0.5}, {2, kNaN}, {3, 2.0}, {4, -kInf}, {5, 0.5},
                            {6, kInf}, {7, kNaN}, {8, -3.0}, {9, 0.5}, {10, -0.0}, {11, 0.0}};
    sortTopList(picks);
    EXPECT_EQ(ids(picks), (std::vector<std::int64_t>{6, 3, 1, 5, 9, 10, 11, 8, 4, 2, 7}));
}
