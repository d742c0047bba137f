// The modes as rows of one table, and the one routine every run goes
// through: the row makes the mode's source of songs over the candidate list
// and says what the list rules do with it. A new mode is an enum value, a
// source (choose/sources.h) and a row; a new rule over the chosen IDs lives
// in rules/rules.h. Running the selection query and planning the sort query
// are not here (scan/candidates.cpp, choose/sort_plan.cpp).
#include "choose/modes.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "choose/sort_query.h"
#include "choose/sources.h"
#include "rules/rules.h"

namespace vantor {
namespace {

// What a mode's source is made of. `picks` is where the source's records
// live: the candidates a mode chooses among, or mode 0's kept ones when the
// run keeps its scores.
struct Choosing {
    CandidateList& candidates;
    const SelectionRequest& request;
    RandomSource& rng;
    const PickWays& ways;
    std::vector<pick>& picks;
};

// Mode 1: draws weighted by score, with replacement unless --distinct.
std::unique_ptr<SongSource> drawByWeight(Choosing& c) {
    c.picks = c.candidates.takeAll();
    const bool scored = c.candidates.scored();
    if (c.request.rules.distinct) return drawsWithoutReplacement(c.picks, scored, c.rng);
    // One batch, and no scores asked after it: the draws may use the records up.
    const bool oneBatch = !c.request.rules.dropsSongs() && !c.request.keepScores;
    return redraws(c.picks, scored, c.rng, c.ways, oneBatch);
}

// Mode 2: the best scores, best first. Deliberate: with the math filter "1"
// it draws uniformly with replacement, as mode 1 does, rather than ranking
// equal scores.
std::unique_ptr<SongSource> takeBest(Choosing& c) {
    if (!c.candidates.scored()) return drawByWeight(c);
    // Ranks never repeat, so --distinct changes nothing here.
    c.picks = c.candidates.takeAll();
    return ranks(c.picks, c.ways);
}

std::unique_ptr<SongSource> keepByProbability(Choosing& c) {
    return keptRows(c.candidates, c.rng, c.request.keepScores ? &c.picks : nullptr);
}

// Any other mode number. Deliberate: the selection query has been opened,
// prepared and stepped once all the same (its failures end the run with
// their codes), but no candidate is read and the result is empty.
std::unique_ptr<SongSource> readNothing(Choosing&) { return noSongs(); }

std::optional<int> noCount(const SelectionRequest&) { return std::nullopt; }
std::optional<int> songCount(const SelectionRequest& request) { return request.songCount; }
// Deliberate: the count is lowered to the library size, not to the
// candidates; only the uniform draws can ask for more IDs than there are
// candidates, and they never ask for more than the library holds.
std::optional<int> atMostTheLibrary(const SelectionRequest& request) {
    return std::min(request.songCount, request.librarySize);
}

// What each mode does, one row per Mode in its order.
struct ModeRow {
    std::unique_ptr<SongSource> (*source)(Choosing& c);
    std::optional<int> (*count)(const SelectionRequest& request);  // none: the mode takes no count
    bool readsEveryRow;   // every candidate is read, so the rows may be read ahead in parts
    bool sortsDraws;      // the sort filter, when given, re-orders the chosen IDs
    bool removesRepeats;  // repeat removal applies when the run asks for it
};

// ORDER Mode. Mode 0's IDs are final: its rows came in the sort filter's
// order already, and repeat removal plays no part in it.
constexpr ModeRow modeTable[] = {
    {keepByProbability, noCount, true, false, false},  // probability
    // roulette: sorted, the count kept (the stale tail, sort_query.cpp)
    {drawByWeight, songCount, true, true, true},
    {takeBest, atMostTheLibrary, true, false, true},   // topList: its order is the ranking
    {readNothing, noCount, false, false, false},       // other
};
static_assert(std::size(modeTable) == static_cast<std::size_t>(Mode::other) + 1, "one row per Mode");

// The scores of the chosen songs, from the candidates they were chosen from
// (the first record of an ID, should the table hold one twice).
std::unordered_map<std::int64_t, double> scoresOf(const std::vector<std::int64_t>& ids, std::span<const pick> picks) {
    const std::unordered_set<std::int64_t> chosen(ids.begin(), ids.end());
    std::unordered_map<std::int64_t, double> scores;
    scores.reserve(chosen.size());
    for (const pick& p : picks) {
        if (chosen.count(p.id) != 0) scores.try_emplace(p.id, p.score);
    }
    return scores;
}

}  // namespace

Mode modeOf(int number) {
    switch (number) {
        case 0: return Mode::probability;
        case 1: return Mode::roulette;
        case 2: return Mode::topList;
        default: return Mode::other;
    }
}

// The one road of every mode: the row's source over the candidate list,
// then the list rules' road (rules/rules.h) with what the row says about
// the count, the sort filter and repeats. Without rules that is the front
// end's run, draw for draw.
SelectionOutcome selectByMode(const SelectionRequest& request, RandomSource& rng, const PickWays& ways) {
    const ModeRow& mode = modeTable[static_cast<std::size_t>(modeOf(request.mode))];
    CandidateList candidates(request, mode.readsEveryRow);
    std::vector<pick> picks;
    Choosing choosing{candidates, request, rng, ways, picks};
    const std::unique_ptr<SongSource> source = mode.source(choosing);

    ListPlan plan;
    plan.rules = &request.rules;
    plan.count = mode.count(request);
    plan.removeRepeats = mode.removesRepeats && request.removeRepeats;
    plan.window = request.window;
    if (mode.sortsDraws && !request.sortFilter.empty()) {
        plan.reorder = [&request](std::vector<std::int64_t>& drawn) { sortDraws(drawn, request); };
    }
    plan.library = candidates.readsSongData() ? nullptr : request.library;
    SelectionOutcome outcome;
    outcome.ids = makeList(*source, plan, candidates.songData());
    if (request.keepScores && candidates.scored()) outcome.scores = scoresOf(outcome.ids, picks);
    return outcome;
}

}  // namespace vantor
