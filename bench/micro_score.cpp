// Per-row scoring: the reference (parse every row's text) against score(),
// for the benchmark scenarios' formulas over made-up rows.
#include <benchmark/benchmark.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "filter/expansion.h"
#include "filter/field_catalogue.h"
#include "filter/rewrites.h"
#include "score/math_filter.h"
#include "score/tokenizer.h"

namespace {

using namespace vantor;

class VectorRow final : public SongRow {
public:
    std::optional<std::string_view> text(int code) const override {
        const std::string& v = values[static_cast<std::size_t>(code)];
        if (v.empty()) return std::nullopt;
        return v;
    }
    std::vector<std::string> values = std::vector<std::string>(fieldcode::maxColumnCode + 1);
};

std::vector<VectorRow> makeRows(std::size_t n) {
    std::mt19937 gen(1);
    std::vector<VectorRow> rows(n);
    for (VectorRow& r : rows) {
        r.values[16] = std::to_string(gen() % 6 * 20);
        r.values[36] = std::to_string(gen() % 40);
        r.values[37] = std::to_string(40000 + gen() % 5000) + "." + std::to_string(gen() % 1000000);
        r.values[9] = std::to_string(1960 + gen() % 60);
        r.values[1] = "Some Artist";
        r.values[7] = gen() % 10 == 0 ? "Love Song" : "Another Title";
        r.values[90] = std::string(2000, 'x');
    }
    return rows;
}

MathFilter filterOf(std::string math) {
    rewriteMathFilterAsTyped(math);
    math = easyFormulaToFullRedone(math);
    rewriteMathRating(math);
    return MathFilter(exptokenize2(math, "45123.456789"));
}

const char* const kFormulas[] = {"if(playcounter>3,1,0.5)", "(rating*2+playcounter)/(lastplayedage+1)",
                                 "anyfield contains love"};

void BM_ScoreLiteral(benchmark::State& state) {
    const auto rows = makeRows(4096);
    MathFilter filter = filterOf(kFormulas[state.range(0)]);
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(filter.scoreLiteral(rows[i++ % rows.size()]));
    state.SetLabel(kFormulas[state.range(0)]);
}

void BM_ScoreFast(benchmark::State& state) {
    const auto rows = makeRows(4096);
    MathFilter filter = filterOf(kFormulas[state.range(0)]);
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(filter.score(rows[i++ % rows.size()]));
    state.SetLabel(std::string(kFormulas[state.range(0)]) + (filter.usesTemplate() ? " (template)" : " (cache)"));
}

BENCHMARK(BM_ScoreLiteral)->DenseRange(0, 2);
BENCHMARK(BM_ScoreFast)->DenseRange(0, 2);

}  // namespace
