// What the end-to-end tests of the list rules share: a result file's IDs,
// and the options of a run in words, for the messages of a failed case.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"

namespace vantor::testing {

inline std::vector<std::int64_t> idsIn(const std::string& text) {
    std::vector<std::int64_t> ids;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');) ids.push_back(std::stoll(item));
    return ids;
}

// " --distinct --minutes 10", say: each rule the options set.
inline std::string describe(const Options& o) {
    std::string s;
    if (o.distinct) s += " --distinct";
    if (o.minutes) s += " --minutes " + std::to_string(*o.minutes);
    if (o.maxPerArtist) s += " --max-per-artist " + std::to_string(*o.maxPerArtist);
    if (o.maxPerAlbum) s += " --max-per-album " + std::to_string(*o.maxPerAlbum);
    if (o.artistGap) s += " --artist-gap " + std::to_string(*o.artistGap);
    return s;
}

}  // namespace vantor::testing
