// The modes' sources of songs over the candidates. Each gives its songs in
// batches, so that the rounds of the list rules can ask for more; a run
// without rules asks once, and each source's one batch is then exactly the
// mode's choice as the front end has always made it.
#include "choose/sources.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <utility>

namespace vantor {
namespace {

std::vector<std::int64_t> idsOf(std::span<const pick> picks) {
    std::vector<std::int64_t> ids;
    ids.reserve(picks.size());
    for (const pick& p : picks) ids.push_back(p.id);
    return ids;
}

// `count` draws with replacement, every candidate alike.
std::vector<std::int64_t> drawUniformly(std::span<const pick> picks, int count, RandomSource& rng) {
    std::vector<std::int64_t> ids(static_cast<std::size_t>(count));
    const int k = static_cast<int>(std::min<std::size_t>(picks.size(), std::numeric_limits<int>::max()));
    for (std::int64_t& id : ids) id = picks[static_cast<std::size_t>(randint(rng, 0, k))].id;
    return ids;
}

class KeptRows final : public SongSource {
public:
    // A score is drawn for once, after it is computed; NaN never passes.
    // random(1.0) is the draw over RandomSource::range, to the bit.
    KeptRows(CandidateList& candidates, RandomSource& rng, std::vector<pick>* kept) {
        for (pick candidate; candidates.next(candidate);) {
            if (candidates.scored() && !(candidate.score > random(rng, 1.0))) continue;
            ids_.push_back(candidate.id);
            if (kept != nullptr && candidates.scored()) kept->push_back(candidate);
        }
    }
    // All at once: mode 0's count plays no part.
    std::vector<std::int64_t> more(std::size_t) override {
        usedUp_ = true;
        return std::exchange(ids_, {});
    }
    bool endless() const override { return false; }
    std::vector<std::int64_t> pool() const override { return ids_; }

private:
    std::vector<std::int64_t> ids_;
};

class Redraws final : public SongSource {
public:
    Redraws(std::vector<pick>& picks, bool scored, RandomSource& rng, const PickWays& ways, bool oneBatch)
        : picks_(picks), scored_(scored), rng_(rng), ways_(ways), oneBatch_(oneBatch) {}
    std::vector<std::int64_t> more(std::size_t n) override {
        const int count = static_cast<int>(std::min<std::size_t>(n, std::numeric_limits<int>::max()));
        if (picks_.empty() || count <= 0) return {};
        // Deliberate: with the math filter "1" the draws are uniform, in mode 2 too.
        if (!scored_) return drawUniformly(picks_, count, rng_);
        return ways_.roulette(oneBatch_ ? std::move(picks_) : picks_, count, rng_);
    }
    bool endless() const override { return true; }
    std::vector<std::int64_t> pool() const override { return idsOf(picks_); }

private:
    std::vector<pick>& picks_;
    bool scored_;
    RandomSource& rng_;
    const PickWays& ways_;
    bool oneBatch_;
};

// Each song of weight w above 0 gets the key log(u) / w for a uniform u,
// and the draws are the keys from the largest down, which draws with
// exactly those chances (Efraimidis and Spirakis); weights of 0 or less,
// and NaN, are never drawn.
class DrawsWithoutReplacement final : public SongSource {
public:
    DrawsWithoutReplacement(const std::vector<pick>& picks, bool scored, RandomSource& rng) : picks_(picks) {
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
    std::vector<std::int64_t> pool() const override { return idsOf(picks_); }

private:
    struct Key {
        double key;
        std::uint32_t index;
        std::int64_t id;
    };
    const std::vector<pick>& picks_;
    std::vector<Key> keys_;
    std::size_t next_ = 0;
};

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
    std::vector<std::int64_t> pool() const override { return idsOf(picks_); }

private:
    const std::vector<pick>& picks_;
    const PickWays& ways_;
    std::size_t taken_ = 0;
};

class NoSongs final : public SongSource {
public:
    NoSongs() { usedUp_ = true; }
    std::vector<std::int64_t> more(std::size_t) override { return {}; }
    bool endless() const override { return false; }
    std::vector<std::int64_t> pool() const override { return {}; }
};

}  // namespace

std::unique_ptr<SongSource> keptRows(CandidateList& candidates, RandomSource& rng, std::vector<pick>* kept) {
    return std::make_unique<KeptRows>(candidates, rng, kept);
}

std::unique_ptr<SongSource> redraws(std::vector<pick>& picks, bool scored, RandomSource& rng, const PickWays& ways,
                                    bool oneBatch) {
    return std::make_unique<Redraws>(picks, scored, rng, ways, oneBatch);
}

std::unique_ptr<SongSource> drawsWithoutReplacement(const std::vector<pick>& picks, bool scored, RandomSource& rng) {
    return std::make_unique<DrawsWithoutReplacement>(picks, scored, rng);
}

std::unique_ptr<SongSource> ranks(const std::vector<pick>& picks, const PickWays& ways) {
    return std::make_unique<Ranks>(picks, ways);
}

std::unique_ptr<SongSource> noSongs() { return std::make_unique<NoSongs>(); }

}  // namespace vantor
