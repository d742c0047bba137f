#include "select/picks.h"

#include <algorithm>
#include <cmath>

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

}  // namespace vantor
