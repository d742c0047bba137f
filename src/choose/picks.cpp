// The arithmetic over candidate records, each choice in a plain form and a
// fast form that gives the same IDs: roulette draws by scan or by binary
// search over running sums, the top list by a full stable sort or by a heap.
// It reads no rows and writes no result.
#include "choose/picks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace vantor {

double ssum(std::span<const pick> picks) {
    double total = 0.0;
    for (const pick& p : picks) total += p.score;
    return total;
}

int sroulette(std::span<const pick> picks, RandomSource& rng) {
    const double point = random(rng, ssum(picks));
    // Accumulated exactly as the total was, so with a total of 0 or more the
    // last record at the latest reaches the point.
    double running = 0.0;
    for (std::size_t i = 0; i < picks.size(); ++i) {
        running += picks[i].score;
        if (running >= point) return static_cast<int>(i);
    }
    return -1;
}

void sortTopList(std::vector<pick>& picks) {
    // A comparison that calls NaN equal to everything is no ordering at all;
    // NaN goes last instead, and the stable sort keeps ties in query order.
    std::stable_sort(picks.begin(), picks.end(), [](const pick& a, const pick& b) {
        if (std::isnan(a.score)) return false;
        if (std::isnan(b.score)) return true;
        return a.score > b.score;
    });
}

std::vector<std::int64_t> scanRouletteIds(std::vector<pick> picks, int count, RandomSource& rng) {
    std::vector<std::int64_t> ids;
    ids.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        const int index = sroulette(picks, rng);
        if (index >= 0) ids.push_back(picks[static_cast<std::size_t>(index)].id);
    }
    return ids;
}

std::vector<std::int64_t> rouletteIds(std::vector<pick> picks, int count, RandomSource& rng) {
    // The same additions in the same order as the scan, so every running sum
    // and the total are the scan's to the bit. The scan stops at the first
    // record whose running sum reaches the point, which is the first whose
    // highest running sum so far reaches it; those never fall, whatever the
    // signs of the scores, so a binary search over them finds that record.
    double running = 0.0;
    double highest = -std::numeric_limits<double>::infinity();
    for (pick& p : picks) {
        running += p.score;
        highest = std::max(highest, running);
        p.score = highest;
    }
    // A NaN sum stays NaN to the end, so the total and every point are NaN
    // then, and no record is reached (the draws are made all the same).
    const double total = running;
    std::vector<std::int64_t> ids;
    ids.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        const double point = random(rng, total);
        // The first highest sum that reaches the point; NaN reaches nothing.
        const auto it = std::partition_point(picks.begin(), picks.end(),
                                             [point](const pick& p) { return !(p.score >= point); });
        if (point == point && it != picks.end()) ids.push_back(it->id);
    }
    return ids;
}

std::vector<std::int64_t> sortedTopListIds(std::span<const pick> picks, std::size_t m) {
    std::vector<pick> ranked(picks.begin(), picks.end());
    sortTopList(ranked);
    m = std::min(m, ranked.size());
    std::vector<std::int64_t> ids;
    ids.reserve(m);
    for (std::size_t i = 0; i < m; ++i) ids.push_back(ranked[i].id);
    return ids;
}

std::vector<std::int64_t> topListIds(std::span<const pick> picks, std::size_t m) {
    m = std::min(m, picks.size());
    // The top-list order made total by the query position: a strict ranking,
    // so the best m are the ones the stable sort puts first.
    const auto better = [&picks](std::uint32_t a, std::uint32_t b) {
        const double x = picks[a].score, y = picks[b].score;
        if (std::isnan(x) != std::isnan(y)) return std::isnan(y);
        if (!std::isnan(x) && x != y) return x > y;
        return a < b;
    };
    // A heap with the worst kept record on top, replaced whenever a better one comes.
    std::vector<std::uint32_t> kept;
    kept.reserve(m);
    for (std::size_t i = 0; i < picks.size() && m > 0; ++i) {
        const auto index = static_cast<std::uint32_t>(i);
        if (kept.size() < m) {
            kept.push_back(index);
            std::push_heap(kept.begin(), kept.end(), better);
        } else if (better(index, kept.front())) {
            std::pop_heap(kept.begin(), kept.end(), better);
            kept.back() = index;
            std::push_heap(kept.begin(), kept.end(), better);
        }
    }
    std::sort(kept.begin(), kept.end(), better);
    std::vector<std::int64_t> ids;
    ids.reserve(kept.size());
    for (const std::uint32_t index : kept) ids.push_back(picks[index].id);
    return ids;
}

}  // namespace vantor
