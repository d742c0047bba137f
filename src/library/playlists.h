// The host's own saved playlists (its Playlists and PlaylistSongs tables),
// read to tell which songs may be candidates: --in-playlist keeps the songs
// of one, --not-in-playlist those of none. It reads the playlists only; what
// the candidates become is the selection's and the rotation's business.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace vantor {

namespace db {
class LibraryFile;
}

// The SQL the playlists are read with, each written once.
namespace playlistsql {
inline constexpr std::string_view playlists =
    "SELECT IDPlaylist, PlaylistName, ParentPlaylist, IsAutoPlaylist FROM Playlists";
inline constexpr std::string_view songs = "SELECT IDSong FROM PlaylistSongs WHERE IDPlaylist = ?1";
}  // namespace playlistsql

// Whether a song, by ID, may be a candidate; empty when every song may.
using SongAdmission = std::function<bool(std::int64_t)>;

// The songs of the playlist named `inside` (when given) that are in none
// named `outside` (when given). A playlist holds its own songs and those of
// the playlists within it (ParentPlaylist), at any depth; names match after
// Unicode's simple case folding, and every playlist of that name counts.
// Read on a connection of its own, in one read of the library. Throws
// RunError code::playlistName for a name no playlist has, an automatic
// playlist (it stores no songs), or a library without those tables;
// stage::selectionOpen, selectionPrepare or selectionStep + SQLite's code
// when the library cannot be read. `notes` (standard error) hears of a
// playlist that holds no songs, and of automatic ones within that add none.
SongAdmission playlistAdmission(db::LibraryFile& library, const std::optional<std::string>& inside,
                                const std::optional<std::string>& outside, std::ostream& notes);

}  // namespace vantor
