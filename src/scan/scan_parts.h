// The parts of a split scan: the bounds between them, each part read on a
// connection and thread of its own, and the parts joined in the walk's
// order or merged by the sort's keys. Which walks may be split, and the proof
// that every part reads one state, are not here (scan/split_walk.h,
// scan/range_scan.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/statement.h"
#include "db/value_order.h"
#include "filter/field_catalogue.h"
#include "filter/song_row.h"
#include "rules/song_data.h"
#include "scan/pick.h"
#include "scan/request.h"
#include "scan/row_scorer.h"
#include "scan/sorted_parts.h"
#include "scan/split_walk.h"

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

// A bound between two parts: a number as SQLite stores it.
struct PartBound {
    bool integer = true;
    std::int64_t whole = 0;
    double real = 0.0;
};

bool operator<(const PartBound& a, const PartBound& b);

// The bounds between `parts` ranges of about equal width from `first` to `last`.
std::vector<PartBound> idBounds(std::int64_t first, std::int64_t last, int parts);

// The bounds between `parts` ranges holding about as many of the index's
// entries each: its keys at equal steps through it. Only numbers qualify,
// whose order is the same in the index and in the comparisons of the parts.
std::vector<PartBound> indexBounds(db::Connection& connection, const WalkOrder& walk, int songs, int parts);

// One range of the scan and what reading it gave.
struct ScanPart {
    std::optional<PartBound> lower, upper;  // from lower (included) to upper (not)
    db::Connection own;               // its own connection, reading, when hasOwn
    bool hasOwn = false;
    db::Connection* reader = nullptr;  // own, or the selection connection
    db::Statement statement;
    std::unique_ptr<RowScorer> ownScorer;  // its own, when read on a thread of its own
    RowScorer* scorer = nullptr;           // ownScorer, or the request's; none unscored
    ScannedRows rows;
    std::vector<KeyGroup> groups;  // a sorted walk's key runs
    std::exception_ptr error;
    bool walked = false;  // a sorted walk's first step, which sorts the whole part, succeeded
    std::optional<std::vector<db::KeyValue>> failedKeys;  // the keys of the row whose score failed
};

// Prepares the part's query on `connection`, bound to the part's range; its
// leading columns must be the selection query's.
bool prepareRange(ScanPart& part, db::Connection& connection, const std::string& sql,
                  const std::vector<std::string>& names);

// What every part reads alike.
struct PartReading {
    const ColumnMap& columns;
    const CandidateColumns& at;
    const SelectionRequest& request;
    const std::string& sql;  // the selection query, named in messages
    std::size_t firstKeyColumn = 0;
    std::size_t keyCount = 0;  // sort terms; 0 for a walk in its own order
    bool utf16 = false;
};

// Reads every row of the part. An unsorted part stops once an earlier part
// has failed (that error is the one the run reports); a sorted part reads
// on, as the merge decides which error comes first.
void readPart(ScanPart& part, int index, std::atomic<int>& firstFailed, const PartReading& reading);

// The parts of a walk in its own order, one after the other.
std::optional<ScannedRows> joinInOrder(std::vector<ScanPart>& parts, std::size_t fields);

// The parts of a sorted walk merged by their keys. A part whose walk (its
// first step) failed ends the run before any row, as the whole query's first
// step would have; any later error comes where the merge meets it.
std::optional<ScannedRows> mergeByKeys(std::vector<ScanPart>& parts, const std::vector<db::TermOrder>& terms,
                                       std::size_t fields);

}  // namespace vantor
