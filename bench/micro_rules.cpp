// The rules over long lists: the artist gap's placement alone, and the fill
// rounds that run every stage again over all that was drawn, at 100,000
// songs by 10,000 (or 500) artists with gaps from none to the widest.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "rules/rules.h"
#include "rules/song_data.h"
#include "scan/request.h"

namespace {

using namespace vantor;

constexpr int kSongs = 100000;
constexpr int kWidestGap = std::numeric_limits<int>::max();

// Songs 1..100,000 spread evenly over `artists` artists, two to six minutes long.
SongData library(int artists) {
    SongData data;
    data.reserve(kSongs);
    for (int id = 1; id <= kSongs; ++id) {
        const std::int64_t length = 120000 + (id * 7919) % 240000;
        data.add(id, length, "Artist " + std::to_string((static_cast<std::int64_t>(id) * 7919) % artists));
    }
    return data;
}

// The library's songs in a shuffled order, as draws or ranks bring them.
std::vector<std::int64_t> shuffled() {
    std::vector<std::int64_t> ids(kSongs);
    for (int i = 0; i < kSongs; ++i) ids[static_cast<std::size_t>(i)] = i + 1;
    std::shuffle(ids.begin(), ids.end(), std::mt19937(3));
    return ids;
}

// Mode 1's draws (or mode 2's unscored ones): uniform, with replacement, endless.
class UniformDraws final : public SongSource {
public:
    std::vector<std::int64_t> more(std::size_t n) override {
        std::vector<std::int64_t> ids(n);
        for (std::int64_t& id : ids) id = 1 + static_cast<std::int64_t>(gen_() % kSongs);
        return ids;
    }
    bool endless() const override { return true; }
    std::vector<std::int64_t> pool() const override { return {}; }  // fillList alone never asks

private:
    std::mt19937 gen_{5};
};

// Mode 2's ranks: the pool in one order, once.
class Ranks final : public SongSource {
public:
    explicit Ranks(std::vector<std::int64_t> order) : order_(std::move(order)) {}
    std::vector<std::int64_t> more(std::size_t n) override {
        const std::size_t end = std::min(order_.size(), next_ + n);
        std::vector<std::int64_t> ids(order_.begin() + static_cast<std::ptrdiff_t>(next_),
                                      order_.begin() + static_cast<std::ptrdiff_t>(end));
        next_ = end;
        usedUp_ = next_ == order_.size();
        return ids;
    }
    bool endless() const override { return false; }
    std::vector<std::int64_t> pool() const override { return order_; }

private:
    std::vector<std::int64_t> order_;
    std::size_t next_ = 0;
};

// Args: artists, gap.
void BM_SpaceArtists(benchmark::State& state) {
    const SongData data = library(static_cast<int>(state.range(0)));
    const std::vector<std::int64_t> order = shuffled();
    for (auto _ : state) {
        std::vector<std::int64_t> ids = order;
        spaceArtists(ids, static_cast<int>(state.range(1)), data);
        benchmark::DoNotOptimize(ids.data());
    }
}

// The run: COUNT 100,000 by draws that may repeat, so four rounds
// (100,000, then 200,000, 400,000 and 800,000 songs drawn, the budget).
// Args: artists, gap.
void BM_FillByDraws(benchmark::State& state) {
    const SongData data = library(static_cast<int>(state.range(0)));
    SelectionRules rules;
    rules.artistGap = static_cast<int>(state.range(1));
    FillPlan plan;
    plan.rules = &rules;
    plan.data = &data;
    plan.count = kSongs;
    plan.poolSize = kSongs;
    for (auto _ : state) {
        UniformDraws source;
        benchmark::DoNotOptimize(fillList(source, plan).data());
    }
}

// Rounds that double many times: COUNT 1,000 from ranks of 100,000 songs by
// 500 artists, which the widest gap never lets fill, so eight rounds run
// every stage again, the last over the whole pool; and with 100 hours of
// --minutes, which 500 songs never fill, till its budget (12,008 songs).
void BM_FillByRanksDoubling(benchmark::State& state) {
    const SongData data = library(500);
    SelectionRules rules;
    rules.artistGap = kWidestGap;
    if (state.range(0) != 0) rules.maxLengthMs = std::int64_t{100} * 60 * 60000;
    FillPlan plan;
    plan.rules = &rules;
    plan.data = &data;
    plan.count = 1000;
    plan.poolSize = kSongs;
    const std::vector<std::int64_t> order = shuffled();
    for (auto _ : state) {
        Ranks source(order);
        benchmark::DoNotOptimize(fillList(source, plan).data());
    }
}

BENCHMARK(BM_SpaceArtists)
    ->Args({10000, 0})
    ->Args({10000, 100})
    ->Args({10000, 499})
    ->Args({10000, kWidestGap})
    ->Args({2000, kWidestGap})
    ->Args({500, kWidestGap})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillByDraws)
    ->Args({10000, 100})
    ->Args({10000, kWidestGap})
    ->Args({500, kWidestGap})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillByRanksDoubling)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
