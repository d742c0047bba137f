// The chosen songs for a person, after the usual stdout lines: one line per
// song of the list, in its order, tab-separated: ID, "Artist – Title", the
// length, and the score when the math filter gave the song one.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <unordered_map>

#include "output/song_lookup.h"

namespace vantor {

// "m:ss", "h:mm:ss" from an hour on, "-:--" for no length.
std::string lengthText(std::optional<std::int64_t> seconds);

// A song not in the library reads "(not in the library)", of no length.
void printListing(std::span<const std::int64_t> ids, const SongTable& songs,
                  const std::unordered_map<std::int64_t, double>& scores, std::ostream& out);

}  // namespace vantor
