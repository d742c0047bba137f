// Reading a split scan's parts: each row's candidate and song data as a
// single connection would read it, failures kept for the join to report in
// the walk's order.
#include "scan/scan_parts.h"

#include <algorithm>
#include <iterator>

#include "db/query_plan.h"
#include "report/run_error.h"
#include "rules/statement_row.h"
#include "scan/range_scan.h"

namespace vantor {
namespace {

int bind(db::Statement& statement, int index, const PartBound& key) {
    return key.integer ? statement.bindInt64(index, key.whole) : statement.bindDouble(index, key.real);
}

// The row's song data, in the order of the fields.
void readSongData(const db::Statement& statement, const CandidateColumns& at, std::vector<FieldRead>& songs) {
    for (std::size_t i = 0; i < at.fields.size(); ++i) {
        songs.push_back(readField(statement, at.columns[i], at.fields[i].kind));
    }
}

}  // namespace

bool operator<(const PartBound& a, const PartBound& b) {
    if (a.integer && b.integer) return a.whole < b.whole;
    // Only to keep the bounds ascending and apart; exactness does not matter here.
    const auto value = [](const PartBound& k) { return k.integer ? static_cast<long double>(k.whole) : k.real; };
    return value(a) < value(b);
}

std::vector<PartBound> idBounds(std::int64_t first, std::int64_t last, int parts) {
    std::vector<PartBound> bounds;
    if (last <= first) return bounds;
    // In unsigned arithmetic: the span of two 64-bit IDs need not fit a signed one.
    const auto span = static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first);
    const std::uint64_t width = span / static_cast<std::uint64_t>(parts) + 1;
    for (int k = 1; k < parts && width * static_cast<std::uint64_t>(k) <= span; ++k) {
        bounds.push_back({true, static_cast<std::int64_t>(static_cast<std::uint64_t>(first) + width * k), 0.0});
    }
    return bounds;
}

// One OFFSET step per bound, up the index, on the selection connection.
std::vector<PartBound> indexBounds(db::Connection& connection, const WalkOrder& walk, int songs, int parts) {
    const std::string column = db::quotedIdentifier(walk.column);
    db::Statement at;
    if (at.prepare(connection, "SELECT " + column + " FROM songs INDEXED BY " + db::quotedIdentifier(walk.index) + " WHERE " +
                                   column + " IS NOT NULL ORDER BY " + column + " LIMIT 1 OFFSET ?1") !=
        db::result::ok) {
        return {};
    }
    std::vector<PartBound> bounds;
    for (int k = 1; k < parts; ++k) {
        if (at.bindInt64(1, static_cast<std::int64_t>(songs) * k / parts) != db::result::ok) return {};
        const int rc = at.step();
        if (rc != db::result::row) break;
        const int type = at.valueType(0);
        if (type != db::valuetype::integer && type != db::valuetype::real) return {};
        const PartBound key{type == db::valuetype::integer, at.columnInt64(0), at.columnDouble(0)};
        if (bounds.empty() || bounds.back() < key) bounds.push_back(key);
        at.reset();
    }
    return bounds;
}



bool prepareRange(ScanPart& part, db::Connection& connection, const std::string& sql,
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


// The keys of a sorted walk are read before the score, so that a failed
// score can still be placed by the merge.
void readPart(ScanPart& part, int index, std::atomic<int>& firstFailed, const PartReading& reading) {
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
            if (!reading.request.rules.admits(candidate.id)) continue;
            if (sorted) {
                if (part.groups.empty() || part.groups.back().keys != keys) {
                    part.groups.push_back({part.rows.picks.size(), keys});
                }
                keysRead = true;
            }
            if (part.scorer) candidate.score = part.scorer->score(row);
            readSongData(part.statement, reading.at, part.rows.songs);
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

// The first part with an error is the one a single connection meets first.
std::optional<ScannedRows> joinInOrder(std::vector<ScanPart>& parts, std::size_t fields) {
    ScannedRows joined;
    std::size_t total = 0;
    for (const ScanPart& part : parts) total += part.rows.picks.size();
    joined.picks.reserve(total);
    joined.songs.reserve(total * fields);
    for (ScanPart& part : parts) {
        if (part.error) std::rethrow_exception(part.error);
        joined.picks.insert(joined.picks.end(), part.rows.picks.begin(), part.rows.picks.end());
        std::move(part.rows.songs.begin(), part.rows.songs.end(), std::back_inserter(joined.songs));
        part.rows = {};
    }
    return joined;
}

std::optional<ScannedRows> mergeByKeys(std::vector<ScanPart>& parts, const std::vector<db::TermOrder>& terms,
                                       std::size_t fields) {
    for (ScanPart& part : parts) {
        if (part.error && !part.walked) std::rethrow_exception(part.error);
    }
    std::vector<SortedPart> order;
    for (const ScanPart& part : parts) {
        const std::vector<db::KeyValue>* failedAt = part.failedKeys ? &*part.failedKeys : nullptr;
        order.push_back({&part.groups, part.rows.picks.size(), part.error != nullptr, failedAt});
    }
    const MergedOrder merged = mergeSortedParts(order, terms);
    if (merged.failedPart >= 0) std::rethrow_exception(parts[static_cast<std::size_t>(merged.failedPart)].error);
    ScannedRows joined;
    std::size_t total = 0;
    for (const ScanPart& part : parts) total += part.rows.picks.size();
    joined.picks.reserve(total);
    joined.songs.reserve(total * fields);
    for (const MergedRun& run : merged.runs) {
        ScanPart& part = parts[run.part];
        const auto from = static_cast<std::ptrdiff_t>(run.from), to = static_cast<std::ptrdiff_t>(run.to);
        joined.picks.insert(joined.picks.end(), part.rows.picks.begin() + from, part.rows.picks.begin() + to);
        const auto songsAt = [&](std::ptrdiff_t row) {
            return part.rows.songs.begin() + row * static_cast<std::ptrdiff_t>(fields);
        };
        std::move(songsAt(from), songsAt(to), std::back_inserter(joined.songs));
    }
    return joined;
}

}  // namespace vantor
