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
#include "select/selection_sql.h"
#include "select/sort_plan.h"
#include "select/statement_row.h"

namespace vantor {
namespace {

constexpr int kMostParts = 8;
constexpr int kSongsWorthAPart = 25000;

// The plan lines (as planWalk gives them) of the walks that may be split:
// the table in ID order, a range of one index, and the same over one part.
constexpr std::string_view tableWalk = "0 scan songs";
constexpr std::string_view indexWalk = "0 search songs using index ";
constexpr std::string_view keyRange = "0 search songs using integer primary key (";

// Instructions by which a walk's rows depend on more than each row alone, or
// come backwards: LIMIT and OFFSET, a sort, an aggregate, a descending walk.
// A walk with none of them returns each matching row once, in its order,
// whatever range it is given.
constexpr std::string_view kWholeWalkOpcodes[] = {"Last",    "Prev",     "DecrJumpZero", "OffsetLimit",
                                                  "IfPos",   "SorterOpen", "AggStep",    "AggStep1",
                                                  "AggFinal", "AggValue", "AggInverse"};

std::string quotedName(const std::string& name) {
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return quoted + '"';
}

// The plan's one line when the statement is a single walk free of the
// instructions above; nothing otherwise.
std::optional<std::string> singleWalk(db::Connection& connection, const std::string& sql) {
    const auto plan = planWalk(connection, sql);
    if (!plan || plan->size() != 1) return std::nullopt;
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
std::string indexNamed(const std::string& line) {
    const std::size_t open = line.find(" (", indexWalk.size());
    return open == std::string::npos ? std::string() : line.substr(indexWalk.size(), open - indexWalk.size());
}

// The first column of the index, when it is kept upwards: its rows come in
// the order of that column, then of ID.
std::optional<std::string> leadingColumn(db::Connection& connection, const std::string& index) {
    db::Statement info;
    if (info.prepare(connection, "PRAGMA index_xinfo(" + quotedName(index) + ")") != db::result::ok) return std::nullopt;
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

// Begins a read that lasts until the connection closes. False when SQLite
// refuses it, as when a writer is waiting to commit.
bool beginRead(db::Connection& connection) {
    db::Statement begin;
    if (begin.prepare(connection, "BEGIN") != db::result::ok || begin.step() != db::result::done) return false;
    db::Statement read;
    if (read.prepare(connection, "SELECT 1 FROM songs LIMIT 1") != db::result::ok) return false;
    const int rc = read.step();
    return rc == db::result::row || rc == db::result::done;
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
    const std::string column = quotedName(walk.column);
    db::Statement at;
    if (at.prepare(connection, "SELECT " + column + " FROM songs INDEXED BY " + quotedName(walk.index) + " WHERE " +
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
    db::Connection own;        // its own connection, reading, when hasOwn
    bool hasOwn = false;
    db::Connection* reader = nullptr;  // own, or the selection connection
    db::Statement statement;
    Score score;
    ScannedRows rows;
    std::exception_ptr error;
};

int bind(db::Statement& statement, int index, const Key& key) {
    return key.integer ? statement.bindInt64(index, key.whole) : statement.bindDouble(index, key.real);
}

bool prepareRange(Part& part, db::Connection& connection, const std::string& sql,
                  const std::vector<std::string>& names) {
    part.reader = &connection;
    return part.statement.prepare(connection, sql) == db::result::ok &&
           (!part.lower || bind(part.statement, 1, *part.lower) == db::result::ok) &&
           (!part.upper || bind(part.statement, 2, *part.upper) == db::result::ok) &&
           db::columnNames(part.statement) == names;
}

SongFacts factsOf(std::int64_t id, const db::Statement& statement, const CandidateColumns& at) {
    SongFacts facts{id, 0, std::nullopt};
    if (at.length >= 0 && statement.text(at.length)) facts.lengthMs = statement.columnInt64(at.length);
    if (at.artist >= 0) {
        if (const auto artist = statement.text(at.artist)) facts.artist.emplace(*artist);
    }
    return facts;
}

// Reads every row of the part, unless an earlier part has failed (its error
// is the one the run reports, and these rows would never be used).
void readPart(Part& part, int index, std::atomic<int>& firstFailed, const ColumnMap& columns,
              const CandidateColumns& at, const SelectionRequest& request, const std::string& sql) {
    try {
        const StatementRow row(part.statement, columns);
        while (firstFailed.load(std::memory_order_relaxed) > index) {
            const int rc = part.statement.step();
            if (rc == db::result::done) return;
            if (rc != db::result::row) {
                throw RunError(selectionStepCode(*part.reader, rc, request),
                               "the selection query failed: " + part.reader->errorMessage() + " in: " + sql);
            }
            pick candidate{idOf(part.statement, at.id), 0.0};
            if (part.score) candidate.score = part.score(row);
            if (at.songData) part.rows.songs.push_back(factsOf(candidate.id, part.statement, at));
            part.rows.picks.push_back(candidate);
        }
    } catch (...) {
        part.error = std::current_exception();
        int seen = firstFailed.load();
        while (index < seen && !firstFailed.compare_exchange_weak(seen, index)) {
        }
    }
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

std::string rangeQuery(const std::string& sql, const WalkOrder& walk, bool lower, bool upper) {
    const std::size_t from = sql.find(selectionsql::narrowHeadEnd);
    if (from == std::string::npos) return {};
    const std::string key = quotedName(walk.column);
    std::string range = " FROM (SELECT * FROM songs WHERE ";
    if (lower) range += key + " >= ?1";
    if (lower && upper) range += " AND ";
    if (upper) range += key + " < ?2";
    if (!lower && !upper) range += "1";
    range += ") AS songs WHERE ";
    return std::string(sql).replace(from, selectionsql::narrowHeadEnd.size(), range);
}

std::optional<WalkOrder> splittableWalk(db::Connection& connection, const std::string& sql) {
    const auto line = singleWalk(connection, sql);
    if (!line || sql.find(selectionsql::narrowHeadEnd) == std::string::npos) return std::nullopt;
    WalkOrder walk;
    std::string partLine;  // how each part must be walked: over a range of the same key
    if (*line == tableWalk) {
        walk.column = "ID";
        partLine = keyRange;
    } else if (line->starts_with(indexWalk)) {
        walk.index = indexNamed(*line);
        const auto column = leadingColumn(connection, walk.index);
        if (walk.index.empty() || !column) return std::nullopt;
        walk.column = *column;
        partLine = std::string(indexWalk) + walk.index + " (";
    } else {
        return std::nullopt;
    }
    for (const auto& [lower, upper] : {std::pair{false, true}, {true, true}, {true, false}}) {
        const auto part = singleWalk(connection, rangeQuery(sql, walk, lower, upper));
        if (!part || !part->starts_with(partLine)) return std::nullopt;
    }
    return walk;
}

SplitScan::SplitScan(const SelectionRequest& request, db::Connection& main, const std::string& sql, int parts)
    : request_(request), main_(main), sql_(sql), parts_(parts) {
    if (parts < 2 || (request.score && !request.newScore)) return;
    auto walk = splittableWalk(main, sql);
    if (!walk || probe_.open(*request.library) != db::result::ok) return;
    version_ = dataVersion(probe_);
    if (version_) walk_ = std::move(walk);
}

std::optional<ScannedRows> SplitScan::run(std::int64_t firstId, const ColumnMap& columns,
                                          const std::vector<std::string>& names, const CandidateColumns& at) {
    if (!walk_) return std::nullopt;
    // Read in the selection query's own transaction: its first step is under way.
    std::vector<Key> bounds;
    if (walk_->index.empty()) {
        db::Statement lastId;
        if (lastId.prepare(main_, "SELECT max(ID) FROM songs") != db::result::ok || lastId.step() != db::result::row) {
            return std::nullopt;
        }
        bounds = idBounds(firstId, lastId.columnInt64(0), parts_);
    } else {
        bounds = indexBounds(main_, *walk_, request_.librarySize, parts_);
    }
    if (bounds.empty()) return std::nullopt;
    std::vector<Part> parts(bounds.size() + 1);
    for (std::size_t k = 0; k < parts.size(); ++k) {
        Part& part = parts[k];
        if (k > 0) part.lower = bounds[k - 1];
        if (k < bounds.size()) part.upper = bounds[k];
        const std::string sql = rangeQuery(sql_, *walk_, part.lower.has_value(), part.upper.has_value());
        // A part that cannot begin its own read is read by the selection connection.
        part.hasOwn = k > 0 && part.own.open(*request_.library) == db::result::ok && beginRead(part.own) &&
                      prepareRange(part, part.own, sql, names);
        if (!part.hasOwn && !prepareRange(part, main_, sql, names)) return std::nullopt;
        part.score = part.hasOwn && request_.score ? request_.newScore() : request_.score;
    }
    // Every part has begun: unless a commit landed since before the first
    // step, they all read what that step read.
    const auto version = dataVersion(probe_);
    probe_ = db::Connection();
    if (!version || *version != *version_) return std::nullopt;

    std::atomic<int> firstFailed{INT_MAX};
    {
        std::vector<std::jthread> workers;
        for (std::size_t k = 0; k < parts.size(); ++k) {
            if (!parts[k].hasOwn) continue;
            workers.emplace_back([&, k] { readPart(parts[k], static_cast<int>(k), firstFailed, columns, at, request_, sql_); });
        }
        for (std::size_t k = 0; k < parts.size(); ++k) {
            if (!parts[k].hasOwn) readPart(parts[k], static_cast<int>(k), firstFailed, columns, at, request_, sql_);
        }
    }  // the workers are joined here

    ScannedRows joined;
    std::size_t total = 0;
    for (const Part& part : parts) total += part.rows.picks.size();
    joined.picks.reserve(total);
    if (at.songData) joined.songs.reserve(total);
    for (Part& part : parts) {
        if (part.error) std::rethrow_exception(part.error);
        joined.picks.insert(joined.picks.end(), part.rows.picks.begin(), part.rows.picks.end());
        std::move(part.rows.songs.begin(), part.rows.songs.end(), std::back_inserter(joined.songs));
        part.rows = {};
    }
    return joined;
}

}  // namespace vantor
