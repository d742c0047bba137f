// The rules as stages over a list, and the rounds that refill the list when
// a rule took songs out of it. Each round runs every stage again over all
// that was drawn, so the list is always what the stages make of the draws in
// their order, and a further round only adds candidates at its end.
#include "rules/rules.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>
#include <utility>

#include "rules/repeats.h"

namespace vantor {

void capPerArtist(std::vector<std::int64_t>& ids, int n, const SongData& data) {
    std::unordered_map<std::int64_t, int> taken;
    std::erase_if(ids, [&](std::int64_t id) {
        const std::int64_t artist = data.value(id, fieldcode::artist);
        return artist != kNoKey && ++taken[artist] > n;
    });
}

void spaceArtists(std::vector<std::int64_t>& ids, int gap, const SongData& data,
                  std::optional<std::int64_t> limitMs) {
    std::int64_t total = 0;
    // A song the time cannot hold is skipped where it would stand, and takes
    // no place: the gap is counted over the songs that stay.
    const auto fitsTime = [&](std::int64_t id) {
        if (!limitMs) return true;
        const std::int64_t length = data.value(id, fieldcode::songLength);
        if (length > *limitMs - total) return false;
        total += length;
        return true;
    };

    // Each song's artist as a number of this list's own, from 0 up, so that
    // what the placement keeps per artist lives in arrays.
    constexpr std::uint32_t noArtist = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> artistOf(ids.size(), noArtist);
    std::unordered_map<std::int64_t, std::uint32_t> numbers;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::int64_t artist = data.value(ids[i], fieldcode::artist);
        if (artist == kNoKey) continue;
        artistOf[i] = numbers.try_emplace(artist, static_cast<std::uint32_t>(numbers.size())).first->second;
    }
    const std::size_t artists = numbers.size();

    constexpr std::size_t none = std::numeric_limits<std::size_t>::max();
    const auto gapSize = static_cast<std::size_t>(gap);
    std::vector<std::int64_t> out;
    out.reserve(ids.size());
    std::vector<std::uint32_t> placedArtist;  // the artist of each song in `out`
    placedArtist.reserve(ids.size());
    std::vector<std::size_t> lastPlace(artists, none);  // where each artist last stands in `out`
    // Songs waiting for a place, per artist in their order: a chain of input
    // places from the artist's first waiting song to its last.
    std::vector<std::size_t> firstWaiting(artists, none), lastWaiting(artists, none);
    std::vector<std::size_t> nextWaiting(ids.size(), none);
    // After each placement exactly one earlier song has `gap` songs after
    // it, so at most one artist fits again at a time: that song's. Only its
    // waiting songs can go next, and no search over the waiting is needed.
    std::uint32_t freed = noArtist;

    const auto fits = [&](std::uint32_t artist) {
        return artist == noArtist || lastPlace[artist] == none || out.size() - lastPlace[artist] > gapSize;
    };
    const auto place = [&](std::size_t i) {
        const std::uint32_t artist = artistOf[i];
        if (artist != noArtist) lastPlace[artist] = out.size();
        out.push_back(ids[i]);
        placedArtist.push_back(artist);
        freed = out.size() > gapSize ? placedArtist[out.size() - gapSize - 1] : noArtist;
    };

    std::size_t next = 0;
    for (;;) {
        // Songs waiting for a place go before later songs, the earliest first.
        if (freed != noArtist && firstWaiting[freed] != none) {
            const std::size_t i = firstWaiting[freed];
            firstWaiting[freed] = nextWaiting[i];
            // A song skipped for its length takes no place: the artist still
            // fits, and its next waiting song comes up.
            if (fitsTime(ids[i])) place(i);
            continue;
        }
        if (next == ids.size()) break;
        const std::size_t i = next++;
        const std::uint32_t artist = artistOf[i];
        // An artist that fits has no song waiting (it would have gone first),
        // so a song that fits keeps its artist's order.
        if (fits(artist)) {
            if (fitsTime(ids[i])) place(i);
        } else if (firstWaiting[artist] == none) {
            firstWaiting[artist] = lastWaiting[artist] = i;
        } else {
            nextWaiting[lastWaiting[artist]] = i;
            lastWaiting[artist] = i;
        }
    }
    ids = std::move(out);  // songs still waiting fit nowhere and leave
}

void fitLength(std::vector<std::int64_t>& ids, std::int64_t limitMs, const SongData& data) {
    std::int64_t total = 0;
    std::erase_if(ids, [&](std::int64_t id) {
        const std::int64_t length = data.value(id, fieldcode::songLength);
        if (length > limitMs - total) return true;
        total += length;
        return false;
    });
}

namespace {

std::int64_t totalLength(const std::vector<std::int64_t>& ids, const SongData& data) {
    std::int64_t total = 0;
    for (const std::int64_t id : ids) total += data.value(id, fieldcode::songLength);
    return total;
}

// One pass of every stage, in their order, over all that was drawn so far.
std::vector<std::int64_t> runStages(std::vector<std::int64_t> list, const FillPlan& plan) {
    const SelectionRules& rules = *plan.rules;
    if (plan.reorder && !list.empty()) plan.reorder(list);
    // --distinct sources never repeat, so the flag and its window change nothing there.
    if (plan.removeRepeats && !rules.distinct) list.resize(static_cast<std::size_t>(removedupes(list, plan.window)));
    if (rules.maxPerArtist) capPerArtist(list, *rules.maxPerArtist, *plan.data);
    // The minutes take the songs in the gap's order, in the same pass, so
    // that a song skipped for its length never brings two by one artist closer.
    if (rules.artistGap) spaceArtists(list, *rules.artistGap, *plan.data, rules.maxLengthMs);
    else if (rules.maxLengthMs) fitLength(list, *rules.maxLengthMs, *plan.data);
    if (plan.count > 0 && list.size() > static_cast<std::size_t>(plan.count)) {
        list.resize(static_cast<std::size_t>(plan.count));
    }
    return list;
}

}  // namespace

// Without a rule that drops songs, one batch through the stages; otherwise
// rounds that double what they ask for until the list is full, the source
// is used up or the budget is spent.
std::vector<std::int64_t> fillList(SongSource& source, const FillPlan& plan) {
    const SelectionRules& rules = *plan.rules;
    const std::size_t count = plan.count > 0 ? static_cast<std::size_t>(plan.count) : 0;
    if (!rules.dropsSongs()) return runStages(source.more(count), plan);

    // With --minutes: how many songs of the pool's mean length fill the time.
    std::size_t estimate = 0;
    std::int64_t shortest = 0;
    if (rules.maxLengthMs) {
        const std::int64_t mean = plan.data->meanLength();
        if (mean > 0) {
            const auto songs = static_cast<std::uint64_t>(*rules.maxLengthMs / mean + 1);
            estimate = static_cast<std::size_t>(std::min<std::uint64_t>(songs, plan.poolSize));
        }
        shortest = plan.data->shortestLength();
    }
    std::size_t budget = std::numeric_limits<std::size_t>::max();
    if (rules.maxLengthMs) budget = 8 * std::max({count, estimate, std::size_t{1}});
    else if (source.endless()) budget = 8 * std::max(count, std::size_t{1});

    // The rounds count what they asked for, not what came: a roulette draw
    // that reaches no song (scores summing below 0, or a NaN) still spends the
    // budget, so the rounds double and end however few songs the draws give.
    std::size_t asked = std::min(count > 0 ? count : std::max(estimate, std::size_t{1}), budget);
    std::vector<std::int64_t> drawn = source.more(asked);
    for (;;) {
        std::vector<std::int64_t> list = runStages(drawn, plan);
        bool full = count > 0 && list.size() >= count;
        // Full time: no song of the pool with a length would fit any more.
        if (!full && rules.maxLengthMs && shortest > 0) {
            full = *rules.maxLengthMs - totalLength(list, *plan.data) < shortest;
        }
        if (full || source.usedUp() || drawn.empty() || asked >= budget) return list;
        const std::size_t ask = std::min(asked, budget - asked);
        asked += ask;
        std::vector<std::int64_t> further = source.more(ask);
        if (further.empty()) return list;
        drawn.insert(drawn.end(), further.begin(), further.end());
    }
}

// COUNT-0 first, so that a run asking nothing opens no library for song
// data; then the pool's data, then the rounds.
std::vector<std::int64_t> makeList(SongSource& source, const ListPlan& plan, SongData& data) {
    const SelectionRules& rules = *plan.rules;
    if (plan.count && (*plan.count < 0 || (*plan.count == 0 && !rules.maxLengthMs))) return {};
    FillPlan fill;
    fill.rules = &rules;
    fill.data = &data;
    fill.count = plan.count.value_or(0);
    fill.removeRepeats = plan.removeRepeats;
    fill.window = plan.window;
    fill.reorder = plan.reorder;
    if (rules.needsSongData()) {
        const std::vector<std::int64_t> pool = source.pool();
        fill.poolSize = pool.size();
        if (plan.library) lookUpSongData(*plan.library, pool, data);
    }
    return fillList(source, fill);
}

}  // namespace vantor
