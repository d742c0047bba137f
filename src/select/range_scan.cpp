// Splitting the selection query's walk into ID ranges: which queries may be
// split, proving that every part reads one state, and reading the parts on
// threads of their own.
#include "select/range_scan.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <exception>
#include <string_view>
#include <thread>

#include "db/query_plan.h"
#include "db/statement.h"
#include "report/run_error.h"
#include "db/value_order.h"
#include "select/selection_sql.h"
#include "select/sort_plan.h"
#include "select/song_data.h"
#include "select/sorted_parts.h"
#include "select/statement_row.h"

namespace vantor {
namespace {

constexpr int kMostParts = 8;
constexpr int kSongsWorthAPart = 25000;

// The plan lines (as planWalk gives them) of the walks that may be split:
// the table in ID order, a range of one index, and the same over one part;
// and of SQLite's sort of what such a walk found.
constexpr std::string_view tableWalk = "0 scan songs";
constexpr std::string_view sortLine = "0 use temp b-tree for order by";
constexpr std::string_view indexWalk = "0 search songs using index ";
constexpr std::string_view wholeIndexWalk = "0 scan songs using index ";  // NULL keys first
constexpr std::string_view keyRange = "0 search songs using integer primary key (";

// Instructions by which a walk's rows depend on more than each row alone, or
// come backwards: LIMIT and OFFSET, an aggregate, a descending walk. A walk
// with none of them (its one sort, if any, shows in the plan) returns each
// matching row once, in its order, whatever range it is given.
constexpr std::string_view kWholeWalkOpcodes[] = {"Last",     "Prev",     "DecrJumpZero", "OffsetLimit", "IfPos",
                                                  "AggStep",  "AggStep1", "AggFinal",     "AggValue",    "AggInverse"};

// The plan's walk line when the statement is a single walk, sorted by SQLite
// when `sorted` (and only then), free of the instructions above; nothing
// otherwise.
std::optional<std::string> singleWalk(db::Connection& connection, const std::string& sql, bool sorted) {
    const auto plan = planWalk(connection, sql);
    if (!plan || plan->size() != (sorted ? 2u : 1u) || (sorted && (*plan)[1] != sortLine)) return std::nullopt;
    const auto ops = db::opcodes(connection, sql);
    if (!ops || std::any_of(ops->begin(), ops->end(), [](const std::string& op) {
            return std::find(std::begin(kWholeWalkOpcodes), std::end(kWholeWalkOpcodes), op) !=
                   std::end(kWholeWalkOpcodes);
        })) {
        return std::nullopt;
    }
    return plan->front();
}

// The index a walk line names ("0 search songs using index NAME (...)").
std::string indexNamed(const std::string& line, std::string_view prefix) {
    const std::size_t open = line.find(" (", prefix.size());
    if (open == std::string::npos) return prefix == wholeIndexWalk ? line.substr(prefix.size()) : std::string();
    return line.substr(prefix.size(), open - prefix.size());
}

// The first column of the index, when it is kept upwards: its rows come in
// the order of that column, then of ID.
std::optional<std::string> leadingColumn(db::Connection& connection, const std::string& index) {
    db::Statement info;
    if (info.prepare(connection, "PRAGMA index_xinfo(" + db::quotedIdentifier(index) + ")") != db::result::ok) return std::nullopt;
    // Columns: seqno, cid, name, desc, coll, key; the first row is the first column.
    if (info.step() != db::result::row || info.columnInt(1) < 0 || info.columnInt(3) != 0) return std::nullopt;
    const auto name = info.text(2);
    return name ? std::optional<std::string>(std::string(*name)) : std::nullopt;
}

// PRAGMA data_version: it changes whenever another connection has committed.
std::optional<std::int64_t> dataVersion(db::Connection& connection) {
    db::Statement statement;
    if (statement.prepare(connection, "PRAGMA data_version") != db::result::ok) return std::nullopt;
    if (statement.step() != db::result::row) return std::nullopt;
    return statement.columnInt64(0);
}

// A bound between two parts: a number as SQLite stores it.
struct Key {
    bool integer = true;
    std::int64_t whole = 0;
    double real = 0.0;
};

bool operator<(const Key& a, const Key& b) {
    if (a.integer && b.integer) return a.whole < b.whole;
    // Only to keep the bounds ascending and apart; exactness does not matter here.
    const auto value = [](const Key& k) { return k.integer ? static_cast<long double>(k.whole) : k.real; };
    return value(a) < value(b);
}

// The bounds between `parts` ranges of about equal width from `first` to `last`.
std::vector<Key> idBounds(std::int64_t first, std::int64_t last, int parts) {
    std::vector<Key> bounds;
    if (last <= first) return bounds;
    // In unsigned arithmetic: the span of two 64-bit IDs need not fit a signed one.
    const auto span = static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first);
    const std::uint64_t width = span / static_cast<std::uint64_t>(parts) + 1;
    for (int k = 1; k < parts && width * static_cast<std::uint64_t>(k) <= span; ++k) {
        bounds.push_back({true, static_cast<std::int64_t>(static_cast<std::uint64_t>(first) + width * k), 0.0});
    }
    return bounds;
}

// The bounds between `parts` ranges holding about as many of the index's
// entries each: its keys at equal steps through it. Only numbers qualify,
// whose order is the same in the index and in the comparisons of the parts.
std::vector<Key> indexBounds(db::Connection& connection, const WalkOrder& walk, int songs, int parts) {
    const std::string column = db::quotedIdentifier(walk.column);
    db::Statement at;
    if (at.prepare(connection, "SELECT " + column + " FROM songs INDEXED BY " + db::quotedIdentifier(walk.index) + " WHERE " +
                                   column + " IS NOT NULL ORDER BY " + column + " LIMIT 1 OFFSET ?1") !=
        db::result::ok) {
        return {};
    }
    std::vector<Key> bounds;
    for (int k = 1; k < parts; ++k) {
        if (at.bindInt64(1, static_cast<std::int64_t>(songs) * k / parts) != db::result::ok) return {};
        const int rc = at.step();
        if (rc != db::result::row) break;
        const int type = at.valueType(0);
        if (type != db::valuetype::integer && type != db::valuetype::real) return {};
        const Key key{type == db::valuetype::integer, at.columnInt64(0), at.columnDouble(0)};
        if (bounds.empty() || bounds.back() < key) bounds.push_back(key);
        at.reset();
    }
    return bounds;
}

using Score = std::function<double(const SongRow&)>;

// One range of the scan and what reading it gave.
struct Part {
    std::optional<Key> lower, upper;  // from lower (included) to upper (not)
    db::Connection own;               // its own connection, reading, when hasOwn
    bool hasOwn = false;
    db::Connection* reader = nullptr;  // own, or the selection connection
    db::Statement statement;
    Score score;
    ScannedRows rows;
    std::vector<KeyGroup> groups;  // a sorted walk's key runs
    std::exception_ptr error;
    bool walked = false;  // a sorted walk's first step, which sorts the whole part, succeeded
    std::optional<std::vector<db::KeyValue>> failedKeys;  // the keys of the row whose score failed
};

int bind(db::Statement& statement, int index, const Key& key) {
    return key.integer ? statement.bindInt64(index, key.whole) : statement.bindDouble(index, key.real);
}

// Prepares the part's query on `connection`, bound to the part's range; its
// leading columns must be the selection query's.
bool prepareRange(Part& part, db::Connection& connection, const std::string& sql,
                  const std::vector<std::string>& names) {
    part.reader = &connection;
    if (part.statement.prepare(connection, sql) != db::result::ok) return false;
    if ((part.lower && bind(part.statement, 1, *part.lower) != db::result::ok) ||
        (part.upper && bind(part.statement, 2, *part.upper) != db::result::ok)) {
        return false;
    }
    const std::vector<std::string> partNames = db::columnNames(part.statement);
    return partNames.size() >= names.size() && std::equal(names.begin(), names.end(), partNames.begin());
}

SongFacts factsOf(std::int64_t id, const db::Statement& statement, const CandidateColumns& at) {
    SongFacts facts{id, lengthInRow(statement, at.length), std::nullopt};
    if (const auto artist = artistInRow(statement, at.artist)) facts.artist.emplace(*artist);
    return facts;
}

// What every part reads alike.
struct Reading {
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
void readPart(Part& part, int index, std::atomic<int>& firstFailed, const Reading& reading) {
    const bool sorted = reading.keyCount > 0;
    std::vector<db::KeyValue> keys(reading.keyCount);
    bool keysRead = false;  // this row's keys are known, its score not yet
    try {
        const StatementRow row(part.statement, reading.columns);
        while (sorted || firstFailed.load(std::memory_order_relaxed) > index) {
            const int rc = part.statement.step();
            if (rc == db::result::done) break;
            if (rc != db::result::row) {
                throw RunError(selectionStepCode(*part.reader, rc, reading.request),
                               "the selection query failed: " + part.reader->errorMessage() + " in: " + reading.sql);
            }
            part.walked = true;
            if (sorted) {
                // The keys first: another reading of a column may convert it in place.
                for (std::size_t j = 0; j < keys.size(); ++j) {
                    db::readKeyValue(part.statement, static_cast<int>(reading.firstKeyColumn + j), reading.utf16,
                                     keys[j]);
                }
            }
            pick candidate{idOf(part.statement, reading.at.id), 0.0};
            if (reading.request.admits && !reading.request.admits(candidate.id)) continue;
            if (sorted) {
                if (part.groups.empty() || part.groups.back().keys != keys) {
                    part.groups.push_back({part.rows.picks.size(), keys});
                }
                keysRead = true;
            }
            if (part.score) candidate.score = part.score(row);
            if (reading.at.songData) part.rows.songs.push_back(factsOf(candidate.id, part.statement, reading.at));
            part.rows.picks.push_back(candidate);
            keysRead = false;
        }
    } catch (...) {
        part.error = std::current_exception();
        if (keysRead) part.failedKeys = std::move(keys);
        int seen = firstFailed.load();
        while (index < seen && !firstFailed.compare_exchange_weak(seen, index)) {
        }
    }
}

// The parts of a walk in its own order, one after the other.
std::optional<ScannedRows> joinInOrder(std::vector<Part>& parts, bool songData) {
    ScannedRows joined;
    std::size_t total = 0;
    for (const Part& part : parts) total += part.rows.picks.size();
    joined.picks.reserve(total);
    if (songData) joined.songs.reserve(total);
    for (Part& part : parts) {
        if (part.error) std::rethrow_exception(part.error);
        joined.picks.insert(joined.picks.end(), part.rows.picks.begin(), part.rows.picks.end());
        std::move(part.rows.songs.begin(), part.rows.songs.end(), std::back_inserter(joined.songs));
        part.rows = {};
    }
    return joined;
}

// The parts of a sorted walk merged by their keys. A part whose walk (its
// first step) failed ends the run before any row, as the whole query's first
// step would have; any later error comes where the merge meets it.
std::optional<ScannedRows> mergeByKeys(std::vector<Part>& parts, const std::vector<db::TermOrder>& terms,
                                       bool songData) {
    for (Part& part : parts) {
        if (part.error && !part.walked) std::rethrow_exception(part.error);
    }
    std::vector<SortedPart> order;
    for (const Part& part : parts) {
        const std::vector<db::KeyValue>* failedAt = part.failedKeys ? &*part.failedKeys : nullptr;
        order.push_back({&part.groups, part.rows.picks.size(), part.error != nullptr, failedAt});
    }
    const MergedOrder merged = mergeSortedParts(order, terms);
    if (merged.failedPart >= 0) std::rethrow_exception(parts[static_cast<std::size_t>(merged.failedPart)].error);
    ScannedRows joined;
    std::size_t total = 0;
    for (const Part& part : parts) total += part.rows.picks.size();
    joined.picks.reserve(total);
    if (songData) joined.songs.reserve(total);
    for (const MergedRun& run : merged.runs) {
        Part& part = parts[run.part];
        const auto from = static_cast<std::ptrdiff_t>(run.from), to = static_cast<std::ptrdiff_t>(run.to);
        joined.picks.insert(joined.picks.end(), part.rows.picks.begin() + from, part.rows.picks.begin() + to);
        if (songData) {
            std::move(part.rows.songs.begin() + from, part.rows.songs.begin() + to, std::back_inserter(joined.songs));
        }
    }
    return joined;
}

// The sort filter at the end of `sql`, when it is one the merge can follow
// on this library: ORDER BY columns of the table, collations it can compare.
std::optional<std::vector<SortTerm>> followableSort(db::Connection& connection, const std::string& sql,
                                                    const std::string& sortFilter) {
    if (sortFilter.empty() || !sql.ends_with(sortFilter) || !db::nativeUtf16(connection)) return std::nullopt;
    auto terms = simpleOrderBy(sortFilter);
    if (!terms) return std::nullopt;
    for (SortTerm& term : *terms) {
        const auto declared = db::declaredCollation(connection, "songs", term.column);
        if (!declared) return std::nullopt;
        if (!term.collation) term.collation = *declared;
        if (!db::TermOrder::of(*term.collation, term.descending, false)) return std::nullopt;
    }
    return terms;
}

}  // namespace

int selectionStepCode(const db::Connection& connection, int step, const SelectionRequest& request) {
    if (!db::likePatternTooLong(connection, step)) return stage::selectionStep + step;
    const auto limit = static_cast<std::size_t>(std::max(db::likePatternLimit(connection), 0));
    return request.sortFilter.size() > limit ? code::sortFilter : code::queryFilter;
}

int scanParts(int threads, int songs) {
    if (threads > 0) return threads;
    const unsigned cores = std::thread::hardware_concurrency();
    const int most = cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, kMostParts));
    return std::clamp(songs / kSongsWorthAPart, 1, most);
}

std::string rangeQuery(const std::string& sql, const WalkOrder& walk, bool lower, bool upper, bool nulls) {
    const std::size_t from = sql.find(selectionsql::narrowHeadEnd);
    if (from == std::string::npos) return {};
    std::string keys;  // a sorted walk's key columns, after the selection query's own
    for (const SortTerm& term : walk.sort) keys += "," + db::quotedIdentifier(term.column);
    const std::string key = db::quotedIdentifier(walk.column);
    std::string range = " FROM (SELECT * FROM songs WHERE ";
    if (nulls) range += key + " IS NULL";
    if (lower) range += key + " >= ?1";
    if (lower && upper) range += " AND ";
    if (upper) range += key + " < ?2";
    if (!lower && !upper && !nulls) range += "1";
    range += ") AS songs WHERE ";
    return sql.substr(0, from) + keys + range + sql.substr(from + selectionsql::narrowHeadEnd.size());
}

std::optional<WalkOrder> splittableWalk(db::Connection& connection, const std::string& sql,
                                        const std::string& sortFilter) {
    if (sql.find(selectionsql::narrowHeadEnd) == std::string::npos) return std::nullopt;
    WalkOrder walk;
    auto line = singleWalk(connection, sql, false);
    if (!line) {
        auto terms = followableSort(connection, sql, sortFilter);
        if (!terms || !(line = singleWalk(connection, sql, true))) return std::nullopt;
        walk.sort = std::move(*terms);
    }
    std::string partLine;  // how each part must be walked: over a range of the same key
    if (*line == tableWalk) {
        walk.column = "ID";
        partLine = keyRange;
    } else if (line->starts_with(indexWalk) || line->starts_with(wholeIndexWalk)) {
        walk.withNulls = line->starts_with(wholeIndexWalk);
        walk.index = indexNamed(*line, walk.withNulls ? wholeIndexWalk : indexWalk);
        const auto column = leadingColumn(connection, walk.index);
        if (walk.index.empty() || !column) return std::nullopt;
        walk.column = *column;
        partLine = std::string(indexWalk) + walk.index + " (";
    } else {
        return std::nullopt;
    }
    struct Form {
        bool lower, upper, nulls;
    };
    for (const Form form : {Form{false, true, false}, {true, true, false}, {true, false, false}, {false, false, true}}) {
        if (form.nulls && !walk.withNulls) continue;
        const auto part =
            singleWalk(connection, rangeQuery(sql, walk, form.lower, form.upper, form.nulls), !walk.sort.empty());
        if (!part || !part->starts_with(partLine)) return std::nullopt;
    }
    return walk;
}

SplitScan::SplitScan(const SelectionRequest& request, db::Connection& main, const std::string& sql, int parts)
    : request_(request), main_(main), sql_(sql), parts_(parts) {
    if (parts < 2 || (request.score && !request.newScore)) return;
    auto walk = splittableWalk(main, sql, request.sortFilter);
    if (!walk || probe_.open(*request.library) != db::result::ok) return;
    version_ = dataVersion(probe_);
    if (version_) walk_ = std::move(walk);
}

std::optional<ScannedRows> SplitScan::run(const ColumnMap& columns, const std::vector<std::string>& names,
                                          const CandidateColumns& at) {
    if (!walk_ || !db::beginRead(main_, "songs")) return std::nullopt;
    // Read in the selection connection's transaction, which is the state every part must read.
    std::vector<Key> bounds;
    if (walk_->index.empty()) {
        db::Statement ids;
        if (ids.prepare(main_, std::string(selectionsql::idEnds)) != db::result::ok ||
            ids.step() != db::result::row || !ids.isInteger(0)) {
            return std::nullopt;
        }
        bounds = idBounds(ids.columnInt64(0), ids.columnInt64(1), parts_);
    } else {
        bounds = indexBounds(main_, *walk_, request_.librarySize, parts_);
    }
    if (bounds.empty()) return std::nullopt;
    const auto utf16 = db::nativeUtf16(main_);
    std::vector<db::TermOrder> terms;
    for (const SortTerm& term : walk_->sort) {
        auto order = db::TermOrder::of(*term.collation, term.descending, utf16.value_or(false));
        if (!order || !utf16) return std::nullopt;
        terms.push_back(std::move(*order));
    }

    // A walk of the whole index meets its NULL keys first: a part of their own.
    const std::size_t nullParts = walk_->withNulls ? 1 : 0;
    std::vector<Part> parts(nullParts + bounds.size() + 1);
    for (std::size_t k = 0; k < parts.size(); ++k) {
        Part& part = parts[k];
        const bool nulls = k < nullParts;
        const std::size_t range = k - nullParts;
        if (!nulls && range > 0) part.lower = bounds[range - 1];
        if (!nulls && range < bounds.size()) part.upper = bounds[range];
        const std::string sql = rangeQuery(sql_, *walk_, part.lower.has_value(), part.upper.has_value(), nulls);
        // A part that cannot begin its own read is read by the selection connection.
        part.hasOwn = k > 0 && part.own.open(*request_.library) == db::result::ok && db::beginRead(part.own, "songs") &&
                      prepareRange(part, part.own, sql, names);
        if (!part.hasOwn && !prepareRange(part, main_, sql, names)) return std::nullopt;
        part.score = part.hasOwn && request_.score ? request_.newScore() : request_.score;
    }
    // Every part has begun: unless a commit landed since before the selection
    // connection began, they all read what it reads.
    const auto version = dataVersion(probe_);
    probe_ = db::Connection();
    if (!version || *version != *version_) return std::nullopt;

    const Reading reading{columns, at, request_, sql_, names.size(), terms.size(), utf16.value_or(false)};
    std::atomic<int> firstFailed{INT_MAX};
    {
        std::vector<std::jthread> workers;
        for (std::size_t k = 0; k < parts.size(); ++k) {
            if (parts[k].hasOwn) workers.emplace_back([&, k] { readPart(parts[k], static_cast<int>(k), firstFailed, reading); });
        }
        for (std::size_t k = 0; k < parts.size(); ++k) {
            if (!parts[k].hasOwn) readPart(parts[k], static_cast<int>(k), firstFailed, reading);
        }
    }  // the workers are joined here
    return terms.empty() ? joinInOrder(parts, at.songData) : mergeByKeys(parts, terms, at.songData);
}

}  // namespace vantor
