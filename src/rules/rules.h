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
#include <iterator>
#include <optional>
#include <span>
#include <vector>

#include "rules/song_data.h"

namespace vantor {

// What the album cap counts as one album: one IDAlbum where the library has
// that column (the host's own key; 0 or less, or NULL, is its "no album"),
// else one Album with one AlbumArtist, both folded as artists are (an empty
// or NULL Album is no album).
inline constexpr DataField kAlbumFields[] = {
    {fieldcode::idAlbum, DataKind::amount},
    {fieldcode::album, DataKind::key, fieldcode::idAlbum},
    {fieldcode::albumArtist, DataKind::key, fieldcode::idAlbum},
};

// The rules a run with options puts on the list (cli/options.h says what
// each one means to the user). None given: the front end's run, untouched.
struct SelectionRules {
    bool distinct = false;                 // COUNT different songs wherever the pool allows
    std::optional<std::int64_t> maxLengthMs;  // --minutes, in SongLength's milliseconds
    std::optional<int> maxPerArtist;
    std::optional<int> maxPerAlbum;
    std::optional<int> artistGap;
    // Which songs, by ID, may be candidates at all; empty: every song. The
    // scan and the rotation ask it before anything else, so a song it refuses
    // takes no score, draw, rank, deal or place. Asked from the split scan's
    // threads at once.
    std::function<bool(std::int64_t)> admission;

    // The fields the rules read of each song, and how.
    std::vector<DataField> dataFields() const {
        std::vector<DataField> fields;
        if (maxLengthMs) fields.push_back(kLengthField);
        if (maxPerArtist || artistGap) fields.push_back(kArtistField);
        if (maxPerAlbum) fields.insert(fields.end(), std::begin(kAlbumFields), std::end(kAlbumFields));
        return fields;
    }
    bool needsSongData() const { return maxLengthMs || maxPerArtist || maxPerAlbum || artistGap; }
    // Whether a rule can take songs out of a list, so that further draws,
    // ranks or deals may be needed to fill it.
    bool dropsSongs() const { return needsSongData(); }
    bool any() const { return distinct || needsSongData(); }
    bool admits(std::int64_t id) const { return !admission || admission(id); }
};


// Where the songs come from: a mode's draws, ranks or deals, in batches.
class SongSource {
public:
    virtual ~SongSource() = default;
    // Up to `n` further songs; fewer, or none, once the source is used up.
    virtual std::vector<std::int64_t> more(std::size_t n) = 0;
    // Whether more() can go on giving songs for ever (draws that may repeat).
    virtual bool endless() const = 0;
    // The songs it draws from (an ID may come twice), asked before any
    // draw: whose song data the rules read, and how many songs the
    // minutes' estimate may count on.
    virtual std::vector<std::int64_t> pool() const = 0;
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

// What a run asks of its list, whatever its source: a mode's or the rotation's.
struct ListPlan {
    const SelectionRules* rules = nullptr;
    std::optional<int> count;  // the list's length at most; none: the source's own (mode 0's kept rows)
    bool removeRepeats = false;  // the run's flag, where the mode removes repeats at all
    int window = 0;
    std::function<void(std::vector<std::int64_t>&)> reorder;  // as in FillPlan
    db::LibraryFile* library = nullptr;  // where song data is looked up; none: `data` holds it already
};

// The one road from a source to the final list, for every mode and the
// rotation. A count of zero or less asks for nothing (no draw, no song
// data), but COUNT 0 under --minutes, which sets no count limit. The song
// data of the source's pool is looked up when a rule needs it (RunError as
// lookUpSongData), then fillList makes the list; without rules that is one
// batch of `count`, re-ordered, with repeats removed: the front end's run.
std::vector<std::int64_t> makeList(SongSource& source, const ListPlan& plan, SongData& data);

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
