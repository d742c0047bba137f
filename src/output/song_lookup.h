// The chosen songs' own data (artist, title, length, the file's path), read
// from the library by ID once the list is final, for the listing and the M3U.
// It reads only: it chooses no song and writes no file.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>


namespace vantor {

namespace db {
class Connection;
class LibraryFile;
}  // namespace db

// A chosen song as --show lists it and the M3U plays it.
struct ChosenSong {
    std::string artist;                  // "" when NULL or empty
    std::string title;
    std::optional<std::int64_t> seconds;  // none when the length is missing, 0 or below
    std::string path;                     // as the host would play it; "" when none is stored
    bool driveUnknown = false;            // stored without its drive, and its media names none
};

using SongTable = std::unordered_map<std::int64_t, ChosenSong>;

// What lookUpSongs reads of each song, up to its lookup by ID: the ID, its
// tags, its path and its media's drive letter. A column the table lacks
// reads as NULL; the drive letter comes from the song's media where the
// library keeps media (the classic layout does not).
std::string chosenSongsSelect(db::Connection& connection);

// The songs of `ids` that are in the library, each looked up by its ID.
// Opening, preparing and reading fail as the selection query does: RunError
// stage::selectionOpen, selectionPrepare or selectionStep + SQLite's code.
SongTable lookUpSongs(db::LibraryFile& library, std::span<const std::int64_t> ids);

// One line on `err` for each different ID of `ids` that `songs` lacks.
void reportMissingSongs(std::span<const std::int64_t> ids, const SongTable& songs, bool inM3u, std::ostream& err);

// SongLength in milliseconds to whole seconds, halves rounding up; none for
// a length of 0 or below, which is no length.
std::optional<std::int64_t> secondsOfLength(std::int64_t milliseconds);
std::optional<std::int64_t> secondsOfLength(double milliseconds);

// The path as the host plays it. A current host library stores a path on a
// drive without its letter (":\Music\x.mp3") and keeps the letter with the
// song's media (0 is A:); anything else (a UNC path, a URL, a path that has
// its drive) is the whole path already. Nothing when the stored path needs a
// drive that `driveLetter` does not give.
std::optional<std::string> hostPath(std::string_view stored, std::optional<std::int64_t> driveLetter);

// "Artist<dash>Title", or the one of them that is there.
std::string songName(const ChosenSong& song, std::string_view dash);

}  // namespace vantor
