// The artist gap's placement held against the plain one over generated
// lists: at each step the earliest waiting song whose artist none of the
// last `gap` placed songs has goes next, else the next song of the list,
// which waits when its artist stands too close. Every list, gap, artist mix
// and time limit must give the same songs in the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "rules/rules.h"
#include "rules/song_data.h"

using namespace vantor;

namespace {

// The placement read straight off its description: every waiting song
// looked at in order, and the last `gap` placed songs looked at for each.
std::vector<std::int64_t> plainSpacing(const std::vector<std::int64_t>& ids, int gap, const SongData& data,
                                       std::optional<std::int64_t> limitMs) {
    struct Song {
        std::int64_t id;
        std::int32_t artist;
    };
    std::vector<Song> out;
    std::vector<Song> waiting;
    std::int64_t total = 0;
    const auto fitsGap = [&](const Song& song) {
        if (song.artist == kNoArtist) return true;
        const std::size_t back = std::min(out.size(), static_cast<std::size_t>(gap));
        for (std::size_t j = out.size() - back; j < out.size(); ++j) {
            if (out[j].artist == song.artist) return false;
        }
        return true;
    };
    // A song that fits the gap but not the time is skipped and takes no place.
    const auto take = [&](const Song& song) {
        const std::int64_t length = data.of(song.id).lengthMs;
        if (limitMs && length > *limitMs - total) return;
        total += length;
        out.push_back(song);
    };
    std::size_t next = 0;
    for (;;) {
        const auto ready = std::find_if(waiting.begin(), waiting.end(), fitsGap);
        if (ready != waiting.end()) {
            const Song song = *ready;
            waiting.erase(ready);
            take(song);
            continue;
        }
        if (next == ids.size()) break;
        const Song song{ids[next], data.of(ids[next]).artist};
        ++next;
        if (fitsGap(song)) take(song);
        else waiting.push_back(song);
    }
    std::vector<std::int64_t> placed;
    for (const Song& song : out) placed.push_back(song.id);
    return placed;
}

struct Generated {
    SongData data;
    std::vector<std::int64_t> ids;
    int gap;
    std::optional<std::int64_t> limitMs;
};

// A pool of songs (some without an artist, some spelled in another case,
// some with no length), a list drawn from it with repeats and with IDs the
// pool does not hold, a gap among the ones that matter, and sometimes a
// time limit.
Generated generate(std::mt19937& gen) {
    const auto below = [&](int n) { return static_cast<int>(gen() % static_cast<unsigned>(n)); };
    Generated g;
    const int artists = 1 + below(below(2) ? 4 : 30);
    const int poolSize = 1 + below(60);
    for (int id = 1; id <= poolSize; ++id) {
        const int a = below(artists + 2);  // two in (artists + 2) have none
        std::optional<std::string> artist;
        if (a < artists) artist = (below(4) == 0 ? "ARTIST " : "artist ") + std::to_string(a);
        else if (a == artists) artist = "";
        const std::int64_t length = below(5) == 0 ? below(2) - 1 : 1 + below(400);
        g.data.add(id, length, artist);
    }
    const int length = below(8) == 0 ? below(4) : below(120);
    for (int i = 0; i < length; ++i) g.ids.push_back(below(20) == 0 ? 1000 + below(3) : 1 + below(poolSize));
    const int n = static_cast<int>(g.ids.size());
    const int gaps[] = {0, 1, 2, 1 + below(6), std::max(n - 2, 0), std::max(n - 1, 0), n, n + 1, below(n + 1),
                        std::numeric_limits<int>::max()};
    g.gap = gaps[below(static_cast<int>(std::size(gaps)))];
    if (below(3) == 0) g.limitMs = below(4) == 0 ? below(3) : below(200 * (n + 1));
    return g;
}

}  // namespace

TEST(ArtistGapDifferential, EveryListIsPlacedAsThePlainWayPlacesIt) {
    std::mt19937 gen(20241210);
    for (int c = 0; c < 4000; ++c) {
        Generated g = generate(gen);
        const std::vector<std::int64_t> expected = plainSpacing(g.ids, g.gap, g.data, g.limitMs);
        std::vector<std::int64_t> ids = g.ids;
        spaceArtists(ids, g.gap, g.data, g.limitMs);
        ASSERT_EQ(ids, expected) << "case " << c << ", gap " << g.gap << ", " << g.ids.size() << " songs"
                                 << (g.limitMs ? ", limit " + std::to_string(*g.limitMs) : std::string());
    }
}
