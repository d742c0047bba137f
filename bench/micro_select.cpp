// The selection arithmetic and the ID list's way out: roulette draws by scan
// and by search, the top list by full sort and by heap, repeat removal and
// the CSV line.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <sstream>
#include <vector>

#include "choose/picks.h"
#include "report/result_file.h"
#include "rules/repeats.h"
#include "support/random_source.h"

namespace {

using namespace vantor;

std::vector<pick> makePicks(std::size_t n) {
    std::mt19937 gen(2);
    std::vector<pick> picks(n);
    for (std::size_t i = 0; i < n; ++i) picks[i] = {static_cast<std::int64_t>(i + 1), (gen() % 1000) / 100.0};
    return picks;
}

void BM_RouletteScan(benchmark::State& state) {
    const auto picks = makePicks(static_cast<std::size_t>(state.range(0)));
    MsvcRand rng(7);
    for (auto _ : state) {
        for (int i = 0; i < 50; ++i) benchmark::DoNotOptimize(sroulette(picks, rng));
    }
}

void BM_RouletteSearch(benchmark::State& state) {
    const auto picks = makePicks(static_cast<std::size_t>(state.range(0)));
    MsvcRand rng(7);
    for (auto _ : state) benchmark::DoNotOptimize(rouletteIds(picks, 50, rng));
}

void BM_TopListSort(benchmark::State& state) {
    const auto picks = makePicks(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto ranked = picks;
        sortTopList(ranked);
        benchmark::DoNotOptimize(ranked.data());
    }
}

void BM_TopListHeap(benchmark::State& state) {
    const auto picks = makePicks(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(topListIds(picks, 100));
}

void BM_RemoveDupes(benchmark::State& state) {
    std::vector<std::int64_t> ids(1000000);
    for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<std::int64_t>(1 + (i * 7919) % 1000000);
    for (auto _ : state) {
        auto copy = ids;
        benchmark::DoNotOptimize(removedupes(copy, 50));
    }
}

void BM_IntArrayToCsv(benchmark::State& state) {
    std::vector<std::int64_t> ids(1000000);
    for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<std::int64_t>(1 + i);
    const auto path = (std::filesystem::temp_directory_path() / "vantor_micro_csv.txt").string();
    std::ostringstream out;
    for (auto _ : state) benchmark::DoNotOptimize(intArrayToCSV(ids, path, out));
    std::filesystem::remove(path);
}

BENCHMARK(BM_RouletteScan)->Arg(100000)->Arg(1000000);
BENCHMARK(BM_RouletteSearch)->Arg(100000)->Arg(1000000);
BENCHMARK(BM_TopListSort)->Arg(100000)->Arg(1000000);
BENCHMARK(BM_TopListHeap)->Arg(100000)->Arg(1000000);
BENCHMARK(BM_RemoveDupes);
BENCHMARK(BM_IntArrayToCsv);

}  // namespace
