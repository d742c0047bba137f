// The playlist rotation mode: deals song IDs in turn from saved playlists,
// whose ID-list files the settings file "vantor.ini" names. It only reads
// files, and opens the library only when a rule needs the songs' length or
// artist; it leaves the result file to the driver.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "rules/rules.h"

namespace vantor {

inline constexpr const char* kSettingsFile = "vantor.ini";

struct RotationRequest {
    std::string queryFilter;        // already preprocessed by the driver (lower-cased, spaces normalised)
    int songCount = 0;
    bool removeRepeats = false;     // the flag was exactly 1
    int window = 0;
    std::filesystem::path workDir;  // where "vantor.ini" and relative list paths are looked up
    std::ostream* reasons = nullptr;  // standard error: why a file could not be read (none: not said)
    SelectionRules rules;           // a run with options: the rules over the dealt list
    db::LibraryFile* library = nullptr;  // the run's; read by ID only when a rule needs song data
};

// The names in the filter: the text after the last "rotate(" up to the first
// ")" (or the filter's end), cut at commas.
std::vector<std::string> playlistNames(std::string_view filter);

// The final ID list, repeats already removed when asked. A name missing from
// the settings file throws RunError(6); files that cannot be read (missing,
// no regular file, past kLargestListFile, a failed read) are reported on
// `out` with a "Can't open file" line, their reason on `reasons`, and read as "end".
// With rules that need song data, the library is read by ID with the
// selection connection's codes (4500, 5000, 6000 + SQLite's code).
std::vector<std::int64_t> rotatePlaylists(const RotationRequest& request, std::ostream& out);

}  // namespace vantor
