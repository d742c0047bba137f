// The SQL texts of the selection query, each written once: its heads, and
// the ends of the ID range a split scan cuts. Which head runs is decided in
// scan/columns.cpp.
#pragma once

#include <string_view>

namespace vantor {

namespace selectionsql {

// The selection query: a head, then the translated query filter with the sort
// filter at its end. Scoring reads fields anywhere in the row; without it
// only the ID is needed.
inline constexpr std::string_view scoredHead = "SELECT * FROM songs WHERE ";
inline constexpr std::string_view unscoredHead = "SELECT ID FROM songs WHERE ";

// The narrow selection query that may stand in for the scored head:
// narrowHead, ",Column" for each column the score reads, narrowHeadEnd.
inline constexpr std::string_view narrowHead = "SELECT ID";
inline constexpr std::string_view narrowHeadEnd = " FROM songs WHERE ";

// The lowest and the highest ID, where a split scan cuts the table into
// ranges. Each in a subquery of its own: SQLite reads min() or max() alone
// off the end of the key, but both in one SELECT by walking a whole index.
inline constexpr std::string_view idEnds = "SELECT (SELECT min(ID) FROM songs), (SELECT max(ID) FROM songs)";

}  // namespace selectionsql

}  // namespace vantor
