// The modes as small functions over the one candidate list, and the one
// routine they all go through. A new mode is an enum value, a function and a
// row of the table; a new rule over the chosen IDs is a function and a line
// in selectByMode. Running the selection query and planning the sort query
// are not here (candidates.cpp, sort_plan.cpp).
#include "choose/modes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "choose/sort_query.h"
#include "rules/repeats.h"
#include "rules/rules.h"
#include "rules/song_data.h"

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


// --- Sources of further songs, for runs whose rules may need them ---------

// Draws with replacement, as the mode draws them: endless.
class Redraws final : public SongSource {
public:
    Redraws(const std::vector<pick>& picks, bool scored, RandomSource& rng, const PickWays& ways)
        : picks_(picks), scored_(scored), rng_(rng), ways_(ways) {}
    std::vector<std::int64_t> more(std::size_t n) override {
        const int count = static_cast<int>(std::min<std::size_t>(n, std::numeric_limits<int>::max()));
        if (picks_.empty() || count <= 0) return {};
        return scored_ ? ways_.roulette(picks_, count, rng_) : drawUniformly(picks_, count, rng_);
    }
    bool endless() const override { return true; }

private:
    const std::vector<pick>& picks_;
    bool scored_;
    RandomSource& rng_;
    const PickWays& ways_;
};

// Draws without replacement by weight: a drawn song leaves the wheel and the
// others keep their weights. Each song of weight w above 0 gets the key
// log(u) / w for a uniform u, and the draws are the keys from the largest
// down, which draws with exactly those chances (Efraimidis and Spirakis);
// weights of 0 or less, and NaN, are never drawn. Unscored, every weight is 1.
class DrawsWithoutReplacement final : public SongSource {
public:
    DrawsWithoutReplacement(const std::vector<pick>& picks, bool scored, RandomSource& rng) {
        keys_.reserve(picks.size());
        for (std::size_t i = 0; i < picks.size(); ++i) {
            const double weight = scored ? picks[i].score : 1.0;
            if (!(weight > 0.0)) continue;
            // 30 bits from two draws, in this order, never 0.
            const int high = rng.next();
            const int low = rng.next();
            const double u = (static_cast<double>(high) * RandomSource::range + low + 0.5) /
                             (static_cast<double>(RandomSource::range) * RandomSource::range);
            keys_.push_back({std::log(u) / weight, static_cast<std::uint32_t>(i), picks[i].id});
        }
        usedUp_ = keys_.empty();
    }
    std::vector<std::int64_t> more(std::size_t n) override {
        const std::size_t end = std::min(keys_.size(), next_ + n);
        // Ties (equal keys) go in query order.
        std::partial_sort(keys_.begin() + static_cast<std::ptrdiff_t>(next_),
                          keys_.begin() + static_cast<std::ptrdiff_t>(end), keys_.end(),
                          [](const Key& a, const Key& b) { return a.key != b.key ? a.key > b.key : a.index < b.index; });
        std::vector<std::int64_t> ids;
        ids.reserve(end - next_);
        for (; next_ < end; ++next_) ids.push_back(keys_[next_].id);
        usedUp_ = next_ == keys_.size();
        return ids;
    }
    bool endless() const override { return false; }

private:
    struct Key {
        double key;
        std::uint32_t index;
        std::int64_t id;
    };
    std::vector<Key> keys_;
    std::size_t next_ = 0;
};

// Mode 2's ranks, further down the top list each time.
class Ranks final : public SongSource {
public:
    Ranks(const std::vector<pick>& picks, const PickWays& ways) : picks_(picks), ways_(ways) {
        usedUp_ = picks.empty();
    }
    std::vector<std::int64_t> more(std::size_t n) override {
        const std::size_t upTo = std::min(picks_.size(), taken_ + std::min(n, picks_.size()));
        std::vector<std::int64_t> ids = ways_.topList(picks_, upTo);
        ids.erase(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(taken_));
        taken_ = upTo;
        usedUp_ = taken_ == picks_.size();
        return ids;
    }
    bool endless() const override { return false; }

private:
    const std::vector<pick>& picks_;
    const PickWays& ways_;
    std::size_t taken_ = 0;
};

// Mode 0's kept rows, all at once: its count plays no part.
class KeptRows final : public SongSource {
public:
    explicit KeptRows(std::vector<std::int64_t> ids) : ids_(std::move(ids)) {}
    std::vector<std::int64_t> more(std::size_t) override {
        usedUp_ = true;
        return std::exchange(ids_, {});
    }
    bool endless() const override { return false; }

private:
    std::vector<std::int64_t> ids_;
};

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

// A run with rules (or one that keeps its scores): the mode's source of
// songs, and the rounds of rules/rules.h over it.
SelectionOutcome selectWithRules(CandidateList& candidates, const SelectionRequest& request, RandomSource& rng,
                                 const PickWays& ways) {
    const Mode mode = modeOf(request.mode);
    const SelectionRules& rules = request.rules;
    if (mode == Mode::other) return {};
    std::vector<pick> picks;
    std::vector<std::int64_t> kept;
    if (mode == Mode::probability) {
        // Mode 0 draws row by row, as without rules; its list is final before the rules.
        for (pick candidate; candidates.next(candidate);) {
            if (!candidates.scored() || candidate.score > random(rng, 1.0)) {
                kept.push_back(candidate.id);
                if (candidates.scored() && request.keepScores) picks.push_back(candidate);
            }
        }
    } else {
        picks = candidates.takeAll();
    }
    SongData& data = candidates.songData();
    if (rules.needsSongData() && !candidates.readsSongData()) {
        std::vector<std::int64_t> pool = kept;
        for (const pick& p : picks) pool.push_back(p.id);
        lookUpSongData(*request.library, pool, data);
    }

    FillPlan plan;
    plan.rules = &rules;
    plan.data = &data;
    plan.removeRepeats = request.removeRepeats;
    plan.window = request.window;
    std::vector<std::int64_t> ids;
    if (mode == Mode::probability) {
        plan.poolSize = kept.size();
        KeptRows source(std::move(kept));
        ids = fillList(source, plan);
    } else {
        plan.count = mode == Mode::topList ? std::min(request.songCount, request.librarySize) : request.songCount;
        plan.poolSize = picks.size();
        // A song count of zero or less asks for nothing, but for COUNT 0
        // under --minutes, which sets no count limit.
        const bool asksNothing = plan.count < 0 || (plan.count == 0 && !rules.maxLengthMs);
        if (picks.empty() || asksNothing) return {};
        if (mode == Mode::roulette && !request.sortFilter.empty()) {
            plan.reorder = [&request](std::vector<std::int64_t>& drawn) { sortDraws(drawn, request); };
        }
        const bool scored = candidates.scored();
        // Ranks never repeat, so --distinct changes nothing in a scored mode 2.
        if (mode == Mode::topList && scored) {
            Ranks source(picks, ways);
            ids = fillList(source, plan);
        } else if (rules.distinct) {
            DrawsWithoutReplacement source(picks, scored, rng);
            ids = fillList(source, plan);
        } else {
            Redraws source(picks, scored, rng, ways);
            ids = fillList(source, plan);
        }
    }
    SelectionOutcome outcome;
    if (request.keepScores && candidates.scored()) outcome.scores = scoresOf(ids, picks);
    outcome.ids = std::move(ids);
    return outcome;
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

// The one road of every mode: the mode's choice over the candidate list,
// then the finishing steps the mode's row asks for, in order. A rule that
// applies to the chosen IDs goes here as one more line. Runs with rules, or
// that keep their scores, take the rounds of rules/rules.h instead; without
// either, this is the front end's run, step for step.
SelectionOutcome selectByMode(CandidateList& candidates, const SelectionRequest& request, RandomSource& rng,
                              const PickWays& ways) {
    if (request.rules.any() || (request.keepScores && candidates.scored())) {
        return selectWithRules(candidates, request, rng, ways);
    }
    const ModeRow& mode = modeTable[static_cast<std::size_t>(modeOf(request.mode))];
    SelectionOutcome outcome;
    std::vector<std::int64_t>& ids = outcome.ids;
    ids = mode.choose(candidates, request, rng, ways);
    if (mode.sortsDraws && !request.sortFilter.empty() && !ids.empty()) sortDraws(ids, request);
    if (mode.removesRepeats && request.removeRepeats) {
        ids.resize(static_cast<std::size_t>(removedupes(ids, request.window)));
    }
    return outcome;
}

}  // namespace vantor
