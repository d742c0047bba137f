// The list as an extended M3U playlist, for any player: "#EXTM3U", then per
// song an "#EXTINF:<seconds>,<Artist> - <Title>" line and the file's path,
// in the list's order, UTF-8 without a byte-order mark, lines ending in CR LF.
// Which songs are chosen, and their data, come from elsewhere.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

#include "output/song_lookup.h"

namespace vantor {

// The playlist's text. Songs not in `songs` are left out (reportMissingSongs
// tells of them); so is a song without a path, or whose path holds a line
// break, each with one line on `err`, as is a path whose drive is unknown.
std::string m3uText(std::span<const std::int64_t> ids, const SongTable& songs, std::ostream& err);

// Writes the playlist to `path` whole or not at all, never onto the library
// at `libraryPath` or a file beside it. False, with the reason on `err`,
// when it is not written.
bool writeM3u(const std::string& path, const std::string& libraryPath, std::span<const std::int64_t> ids,
              const SongTable& songs, std::ostream& err);

}  // namespace vantor
