// A sorted walk read in parts: each part sorted by SQLite on its own
// connection, then the parts merged as SQLite's sort of the whole walk would
// have ordered them. SQLite's sort (one thread per connection) keeps rows of
// equal keys in the order the walk found them, and the parts are consecutive
// ranges of that walk; so merging by key, equal keys in part order, gives
// exactly the whole query's order. Only sort filters this file can follow are
// split: ORDER BY plain columns, each with an optional COLLATE and ASC/DESC.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/value_order.h"

namespace vantor {

// One term of a sort filter.
struct SortTerm {
    std::string column;
    std::optional<std::string> collation;  // COLLATE name, when given
    bool descending = false;
};

// The terms of " ORDER BY a, b COLLATE X DESC" (keywords in any case,
// names bare or in double quotes); nothing for any other text.
std::optional<std::vector<SortTerm>> simpleOrderBy(std::string_view sortFilter);

// Consecutive rows of one part whose sort keys are alike byte for byte: the
// merge compares each run once, not each row.
struct KeyGroup {
    std::size_t firstRow = 0;
    std::vector<db::KeyValue> keys;
};

// One part as the merge sees it: its key runs, its row count, and how it
// ended. A part that failed past its first row stops there: its error comes
// at the failing row's keys, or, when those are unknown, before any row of
// the part not yet merged.
struct SortedPart {
    const std::vector<KeyGroup>* groups = nullptr;
    std::size_t rows = 0;
    bool failed = false;
    const std::vector<db::KeyValue>* failedKeys = nullptr;
};

// Rows [from, to) of part `part`, in merged order.
struct MergedRun {
    std::size_t part = 0, from = 0, to = 0;
};

struct MergedOrder {
    std::vector<MergedRun> runs;  // up to the first error met, when one is
    int failedPart = -1;          // the part whose error a single connection would have met first
};

// The merged order of the parts' rows under `terms`.
MergedOrder mergeSortedParts(const std::vector<SortedPart>& parts, const std::vector<db::TermOrder>& terms);

}  // namespace vantor
