// The SQL texts of mode 1's sort query, each written once: its LIKE form and
// the key lookup that may replace it. Which of them runs is decided in
// choose/sort_plan.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

namespace sortsql {

// The sort query: the selection query's unscored head, the draws as one
// quoted text opened by listOpen (',5,7,5,9,'), likeTail, then the sort
// filter. Each song whose ID stands between two commas of the text matches once.
inline constexpr std::string_view listOpen = "',";
inline constexpr std::string_view likeTail = "' LIKE '%,'||ID||',%'";

// The key lookup that may replace it: keyLookupHead, NOT INDEXED or an
// INDEXED BY clause, then keyLookupListOpen, the distinct draws joined by
// commas, keyLookupListClose. The draws come as one JSON array rather than
// an IN list of numbers: SQLite weighs an IN list by its length against the
// library's statistics, and statistics older than the library would make a
// long list walk the whole table; a subquery it takes for a few rows.
inline constexpr std::string_view keyLookupHead = "SELECT ID FROM songs";
inline constexpr std::string_view keyLookupByKeyOnly = " NOT INDEXED";
inline constexpr std::string_view keyLookupListOpen = " WHERE ID IN (SELECT value FROM json_each('[";
inline constexpr std::string_view keyLookupListClose = "]'))";

}  // namespace sortsql

// The sort query's LIKE form for these draws, in draw order with repeats:
// "SELECT ID FROM songs WHERE ',5,7,5,9,' LIKE '%,'||ID||',%'" + sort filter.
std::string buildSortQuery(const std::vector<std::int64_t>& ids, const std::string& sortFilter);

// The draws looked up by key instead (`list`: the distinct IDs joined by
// commas): along `index` when one is named, else by their key and no index,
// which statistics could otherwise make SQLite walk for the sort filter's
// order: "SELECT ID FROM songs NOT INDEXED WHERE ID IN (SELECT value FROM
// json_each('[5,7,9]'))", or INDEXED BY "index" in place of NOT INDEXED.
std::string buildKeyLookup(const std::string& list, const std::string& index = {});

}  // namespace vantor
