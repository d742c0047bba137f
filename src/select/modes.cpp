// The modes as small functions over the one candidate list, and the one
// routine they all go through. A new mode is an enum value, a function and a
// row of the table; a new rule over the chosen IDs is a function and a line
// in selectByMode. Running the selection query and planning the sort query
// are not here (candidates.cpp, sort_plan.cpp).
#include "select/modes.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <limits>
#include <span>
#include <utility>

#include "select/repeats.h"
#include "select/sort_query.h"

namespace vantor {
namespace {

// A mode's choice: the candidates in, the chosen IDs out.
using Choice = std::vector<std::int64_t> (*)(CandidateList& candidates, const SelectionRequest& request,
                                             RandomSource& rng, const PickWays& ways);

// `count` draws with replacement, every candidate alike.
std::vector<std::int64_t> drawUniformly(std::span<const pick> picks, int count, RandomSource& rng) {
    std::vector<std::int64_t> ids(static_cast<std::size_t>(count));
    const int k = static_cast<int>(std::min<std::size_t>(picks.size(), std::numeric_limits<int>::max()));
    for (std::int64_t& id : ids) id = picks[static_cast<std::size_t>(randint(rng, 0, k))].id;
    return ids;
}

// Mode 0: every candidate in query order, kept when its score beats a draw;
// the song count plays no part. Unscored (the math filter "1"), every
// candidate is kept and nothing is drawn. A score is drawn for once, after
// it is computed; NaN never passes. random(1.0) is the draw over
// RandomSource::range, to the bit.
std::vector<std::int64_t> keepByProbability(CandidateList& candidates, const SelectionRequest&, RandomSource& rng,
                                            const PickWays&) {
    std::vector<std::int64_t> ids;
    for (pick candidate; candidates.next(candidate);) {
        if (!candidates.scored() || candidate.score > random(rng, 1.0)) ids.push_back(candidate.id);
    }
    return ids;
}

// Mode 1: `songCount` draws with replacement, weighted by score.
std::vector<std::int64_t> drawByWeight(CandidateList& candidates, const SelectionRequest& request,
                                       RandomSource& rng, const PickWays& ways) {
    std::vector<pick> picks = candidates.takeAll();
    const int count = request.songCount;
    // A song count of zero or less asks for nothing.
    if (picks.empty() || count <= 0) return {};
    // Deliberate: with the math filter "1" the draws are uniform.
    if (!candidates.scored()) return drawUniformly(picks, count, rng);
    return ways.roulette(std::move(picks), count, rng);
}

// Mode 2: the `songCount` best scores, best first.
std::vector<std::int64_t> takeBest(CandidateList& candidates, const SelectionRequest& request, RandomSource& rng,
                                   const PickWays& ways) {
    std::vector<pick> picks = candidates.takeAll();
    // Deliberate: the count is lowered to the library size, not to the
    // candidates; only the uniform draws below can ask for more IDs than
    // there are candidates, and they never ask for more than the library holds.
    const int count = std::min(request.songCount, request.librarySize);
    if (picks.empty() || count <= 0) return {};
    // Deliberate: with the math filter "1" mode 2 draws uniformly with
    // replacement, as mode 1 does, rather than ranking equal scores.
    if (!candidates.scored()) return drawUniformly(picks, count, rng);
    return ways.topList(picks, static_cast<std::size_t>(count));
}

// Any other mode number. Deliberate: the selection query has been opened,
// prepared and stepped once all the same (its failures end the run with
// their codes), but no candidate is read and the result is empty.
std::vector<std::int64_t> readNothing(CandidateList&, const SelectionRequest&, RandomSource&, const PickWays&) {
    return {};
}

// What each mode does, one row per Mode in its order.
struct ModeRow {
    Choice choose;
    bool sortsDraws;      // the sort filter, when given, re-orders the chosen IDs
    bool removesRepeats;  // repeat removal applies when the run asks for it
};

// ORDER Mode. Mode 0's IDs are final: its rows came in the sort filter's
// order already, and no row comes twice.
constexpr ModeRow modeTable[] = {
    {keepByProbability, false, false},  // probability
    {drawByWeight, true, true},         // roulette: sorted, the count kept (the stale tail, sort_query.cpp)
    {takeBest, false, true},            // topList: its order is the ranking
    {readNothing, false, false},        // other
};
static_assert(std::size(modeTable) == static_cast<std::size_t>(Mode::other) + 1, "one row per Mode");

}  // namespace

Mode modeOf(int number) {
    switch (number) {
        case 0: return Mode::probability;
        case 1: return Mode::roulette;
        case 2: return Mode::topList;
        default: return Mode::other;
    }
}

// The one road of every mode: the mode's choice over the candidate list,
// then the finishing steps the mode's row asks for, in order. A rule that
// applies to the chosen IDs goes here as one more line.
std::vector<std::int64_t> selectByMode(CandidateList& candidates, const SelectionRequest& request, RandomSource& rng,
                                       const PickWays& ways) {
    const ModeRow& mode = modeTable[static_cast<std::size_t>(modeOf(request.mode))];
    std::vector<std::int64_t> ids = mode.choose(candidates, request, rng, ways);
    if (mode.sortsDraws && !request.sortFilter.empty() && !ids.empty()) sortDraws(ids, request);
    if (mode.removesRepeats && request.removeRepeats) {
        ids.resize(static_cast<std::size_t>(removedupes(ids, request.window)));
    }
    return ids;
}

}  // namespace vantor
