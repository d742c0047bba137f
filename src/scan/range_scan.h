// The selection query read on several connections at once. When SQLite walks
// the songs table in ID order, the rows of consecutive ID ranges, read one
// after the other, are exactly the rows of the whole walk: each range is read
// on a connection and a thread of its own, and the ranges are joined in
// order, so the candidate list is the one a single connection reads, row for
// row and score for score.
//
// A sorted walk is split too when its sort is one scan/sorted_parts.h can
// follow: each part sorted by SQLite, the parts merged by key.
//
// All parts read one state of the library. A separate connection notes the
// library's version before the selection connection begins its read and
// again once every part has begun its own; the parts are used only when no
// commit landed in between. In a rollback-journal library the selection
// connection's read keeps writers from committing meanwhile; a part that
// cannot begin (a writer waits to commit) gives its range back to the
// selection connection, which reads it itself.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "filter/field_catalogue.h"
#include "rules/song_data.h"
#include "scan/pick.h"
#include "scan/request.h"
#include "scan/sorted_parts.h"

namespace vantor {

// Where a candidate's fields stand in the selection query's rows.
struct CandidateColumns {
    int id = 0;
    std::vector<DataField> fields;  // the song data kept of each row; none: no song data
    std::vector<int> columns;       // where each of `fields` stands; -1: not fetched
};

// Every row of the selection query, read in parts and joined in query order.
struct ScannedRows {
    std::vector<pick> picks;
    // Each pick's song data as its row gave it, fields.size() a pick, kept
    // by the run once the parts are joined.
    std::vector<FieldRead> songs;
};

// The code a failed step of the selection query ends the run with. A LIKE
// pattern over SQLite's limit can only come from a search word the user
// typed: the query filter's, unless the sort filter alone is long enough to
// hold one (it is appended to the same statement).
int selectionStepCode(const db::Connection& connection, int step, const SelectionRequest& request);

// How many parts a scan is split into: `threads` when given (above 0), else
// one per core, at most 8, and fewer where a part would hold under 25,000
// of the library's `songs` (starting threads and connections would cost
// more than the part saves).
int scanParts(int threads, int songs);

// The order a splittable walk returns its rows in: the table's own (by ID),
// or that of an index whose first column holds numbers, walked upwards.
struct WalkOrder {
    std::string index;   // "" for the table's own order
    std::string column;  // the key the parts are split on: ID, or the index's first column
    std::vector<SortTerm> sort;  // SQLite sorts what the walk finds by these; empty: it does not
    bool withNulls = false;      // the walk goes through the whole index, NULL keys first
};

// How the selection query `sql` walks the table, when it is a walk that may
// be split into ranges of its key: the whole query walks the table in ID
// order, or one index upwards (over a range of its first column, or whole),
// and nothing else (no LIMIT or OFFSET, no aggregate, no other table), then at most sorts
// the rows by `sortFilter` when that is one scan/sorted_parts.h can
// follow; and each range of the key is read by SQLite along that same order.
// Nothing otherwise.
std::optional<WalkOrder> splittableWalk(db::Connection& connection, const std::string& sql,
                                        const std::string& sortFilter);

// The selection query restricted to a range of the walk's key: from ?1
// (included) when `lower`, below ?2 when `upper`, the NULL keys alone when
// `nulls`; a sorted walk's key columns follow the query's own.
std::string rangeQuery(const std::string& sql, const WalkOrder& walk, bool lower, bool upper, bool nulls = false);

class SplitScan {
public:
    // Before the selection connection reads anything: whether `sql` may be
    // split into `parts`, and the library's version as a connection of its
    // own sees it.
    SplitScan(const SelectionRequest& request, db::Connection& main, const std::string& sql, int parts);

    bool mayRun() const { return walk_.has_value(); }

    // Begins the selection connection's read, then reads every row of the
    // query in parts. `names` are the query's column names, which every
    // part's query reports first. Nothing when the parts cannot be shown to
    // read the state the selection connection reads; it then reads the query
    // whole, in its read already begun. Throws the RunError a single
    // connection would have met first.
    std::optional<ScannedRows> run(const ColumnMap& columns, const std::vector<std::string>& names,
                                   const CandidateColumns& at);

private:
    const SelectionRequest& request_;
    db::Connection& main_;
    const std::string& sql_;
    int parts_;
    std::optional<WalkOrder> walk_;
    db::Connection probe_;
    std::optional<std::int64_t> version_;
};

}  // namespace vantor
