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
#include "scan/request.h"
#include "scan/scan_parts.h"
#include "scan/split_walk.h"

namespace vantor {

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
    // The bounds between the parts, read in the selection connection's read.
    std::vector<PartBound> bounds();
    // Every part with its query prepared on its own connection, or on the
    // selection connection when it cannot begin a read of its own; nothing
    // when a part's query cannot be prepared alike.
    std::optional<std::vector<ScanPart>> openParts(const std::vector<PartBound>& bounds,
                                                   const std::vector<std::string>& names);

    const SelectionRequest& request_;
    db::Connection& main_;
    const std::string& sql_;
    int parts_;
    std::optional<WalkOrder> walk_;
    db::Connection probe_;
    std::optional<std::int64_t> version_;
};

}  // namespace vantor
