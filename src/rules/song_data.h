// The song data the rules read (length and artist), kept beside the
// candidates by song ID rather than in the 16-byte pick, so runs without
// rules carry none of it. Artists are kept as numbers: two songs share one
// exactly when their artists fold (text/case_fold.h) to the same text.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "filter/field_catalogue.h"

namespace vantor {

namespace db {
class LibraryFile;
class Statement;
}  // namespace db

inline constexpr std::int32_t kNoArtist = -1;

struct SongInfo {
    std::int64_t lengthMs = 0;        // NULL, zero or negative: 0
    std::int32_t artist = kNoArtist;  // NULL or empty: kNoArtist, which never matches another
};

class SongData {
public:
    // The first word on a song wins: a table may hold an ID twice.
    void add(std::int64_t id, std::int64_t lengthMs, std::optional<std::string_view> artist);
    // Reads the current row of a statement whose columns `lengthColumn` and
    // `artistColumn` (-1: not fetched) hold SongLength and Artist.
    void addRow(std::int64_t id, const db::Statement& statement, int lengthColumn, int artistColumn);
    // An ID not in the library has no length and no artist.
    SongInfo of(std::int64_t id) const;
    bool has(std::int64_t id) const { return songs_.count(id) != 0; }
    void reserve(std::size_t n) { songs_.reserve(n); }
    std::size_t size() const { return songs_.size(); }

    // The shortest and the mean length above 0 of the songs kept (0 when none has one).
    std::int64_t shortestLength() const;
    std::int64_t meanLength() const;

private:
    // Hashes text and views alike, so a name is looked up without a copy.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    using Names = std::unordered_map<std::string, std::int32_t, TextHash, std::equal_to<>>;

    std::unordered_map<std::int64_t, SongInfo> songs_;
    Names artists_;  // folded name: its number
    Names spelled_;  // name as stored: its number, so each spelling is folded once
};

// A row's SongLength (0 for NULL, or when `lengthColumn` is -1: not fetched)
// and Artist (nothing for NULL or not fetched), as addRow reads them.
std::int64_t lengthInRow(const db::Statement& statement, int lengthColumn);
std::optional<std::string_view> artistInRow(const db::Statement& statement, int artistColumn);

// What lookUpSongData reads of each song, up to its lookup by ID: the ID
// and the fields, NULL where the library lacks one.
std::string songDataSelect(const ColumnMap& columns);

// Reads the length and artist of these songs from the library by ID, on a
// connection of its own, with the selection connection's codes: RunError
// stage::selectionOpen, selectionPrepare or selectionStep + SQLite's code.
// IDs the library does not hold stay unknown.
void lookUpSongData(db::LibraryFile& library, const std::vector<std::int64_t>& ids, SongData& data);

}  // namespace vantor
