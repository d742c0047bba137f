// The SQL texts the selection stage sends, each written once: the selection
// query's heads, the sort query's LIKE form and the key lookup that may
// replace it. Which of them runs is decided elsewhere (select/columns.cpp,
// select/sort_plan.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// The sort query: unscoredHead, the draws as one quoted text opened by
// sortListOpen (',5,7,5,9,'), sortTail, then the sort filter. Each song whose
// ID stands between two commas of the text matches once.
inline constexpr std::string_view sortListOpen = "',";
inline constexpr std::string_view sortTail = "' LIKE '%,'||ID||',%'";

// The key lookup that may replace it: keyLookupHead, an optional
// INDEXED BY clause, then " WHERE ID IN (" and the distinct draws.
inline constexpr std::string_view keyLookupHead = "SELECT ID FROM songs";

}  // namespace selectionsql

// The sort query's LIKE form for these draws, in draw order with repeats:
// "SELECT ID FROM songs WHERE ',5,7,5,9,' LIKE '%,'||ID||',%'" + sort filter.
std::string buildSortQuery(const std::vector<std::int64_t>& ids, const std::string& sortFilter);

// The draws looked up by key instead (`list`: the distinct IDs joined by
// commas), along `index` when one is named:
// "SELECT ID FROM songs[ INDEXED BY "index"] WHERE ID IN (5,7,9)".
std::string buildKeyLookup(const std::string& list, const std::string& index = {});

}  // namespace vantor
