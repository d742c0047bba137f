// The rules of a run with options over a list of songs, and the rounds that
// fill the list: the mode's source yields songs in batches (further draws,
// ranks or deals), the stages run as one pipeline over everything drawn so
// far, and more is drawn while the list is not full, within a budget.
//
// The stages, in order: the draws, ranks or deals; the sort filter's
// re-order (mode 1); repeat removal; the album and artist caps; the artist
// gap; the minutes; the song count.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "select/request.h"
#include "select/song_data.h"

namespace vantor {

// Where the songs come from: a mode's draws, ranks or deals, in batches.
class SongSource {
public:
    virtual ~SongSource() = default;
    // Up to `n` further songs; fewer, or none, once the source is used up.
    virtual std::vector<std::int64_t> more(std::size_t n) = 0;
    // Whether more() can go on giving songs for ever (draws that may repeat).
    virtual bool endless() const = 0;
    bool usedUp() const { return usedUp_; }

protected:
    bool usedUp_ = false;
};

struct FillPlan {
    const SelectionRules* rules = nullptr;
    const SongData* data = nullptr;
    int count = 0;  // the list's length at most; 0: no count limit (only with --minutes)
    std::size_t poolSize = 0;  // the songs the source can give, for the minutes' estimate
    bool removeRepeats = false;
    int window = 0;
    // The sort filter's re-order of everything drawn, when the mode has one.
    std::function<void(std::vector<std::int64_t>&)> reorder;
};

// The list the rounds make. Without a rule that takes songs out, one round of
// `count` songs. Otherwise the first round takes `count` songs (with COUNT 0,
// as many as M minutes hold at the pool's mean length, at most the pool's
// size), each further round doubles what was asked for (a draw that reaches
// no song counts too), and the rounds end when the list is full (COUNT
// songs, or less time left than the shortest song of the pool lasts), when
// the source is used up, or at the budget: with --minutes 8 × the larger of
// COUNT and that estimate; without, 8 × COUNT for endless sources.
std::vector<std::int64_t> fillList(SongSource& source, const FillPlan& plan);

// The stages after the re-order and repeat removal, each over a list in its
// order. At most `perAlbum` songs from one album and `perArtist` by one
// artist (either cap may be absent), in one pass: a song within both stays
// and counts toward both, a song past either is skipped and counts toward
// neither, so one cap never spends the other's room on a song it drops.
void capSongs(std::vector<std::int64_t>& ids, std::optional<int> perAlbum, std::optional<int> perArtist,
              const SongData& data);
// At most `n` songs by one artist, the rest skipped.
void capPerArtist(std::vector<std::int64_t>& ids, int n, const SongData& data);
// At least `gap` other songs between two by one artist: a song that would
// break it moves to the first later place where it fits; songs that fit
// nowhere leave the list. With `limitMs`, the minutes in the same pass: a
// song that would overrun the time is skipped where it would stand and takes
// no place, so the gap holds over the songs that stay. Linear in the list.
void spaceArtists(std::vector<std::int64_t>& ids, int gap, const SongData& data,
                  std::optional<std::int64_t> limitMs = std::nullopt);
// Songs taken in order while their lengths fit in `limitMs`; one that would
// overrun it is skipped, and a later, shorter one may still fit.
void fitLength(std::vector<std::int64_t>& ids, std::int64_t limitMs, const SongData& data);

}  // namespace vantor
