// Splitting the selection query's walk into parts that read one state: the
// library's version noted before and after every part begins, and the parts
// read on threads of their own. Which walks may be split, and the reading of
// each part, are scan/split_walk.cpp and scan/scan_parts.cpp.
#include "scan/range_scan.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <thread>

#include "db/query_plan.h"
#include "db/statement.h"
#include "db/value_order.h"
#include "report/run_error.h"
#include "scan/scan_sql.h"

namespace vantor {
namespace {

constexpr int kMostParts = 8;
constexpr int kSongsWorthAPart = 25000;

// PRAGMA data_version: it changes whenever another connection has committed.
std::optional<std::int64_t> dataVersion(db::Connection& connection) {
    db::Statement statement;
    if (statement.prepare(connection, "PRAGMA data_version") != db::result::ok) return std::nullopt;
    if (statement.step() != db::result::row) return std::nullopt;
    return statement.columnInt64(0);
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

SplitScan::SplitScan(const SelectionRequest& request, db::Connection& main, const std::string& sql, int parts)
    : request_(request), main_(main), sql_(sql), parts_(parts) {
    if (parts < 2) return;
    auto walk = splittableWalk(main, sql, request.sortFilter);
    if (!walk || probe_.open(*request.library) != db::result::ok) return;
    version_ = dataVersion(probe_);
    if (version_) walk_ = std::move(walk);
}

std::vector<PartBound> SplitScan::bounds() {
    if (!walk_->index.empty()) return indexBounds(main_, *walk_, request_.librarySize, parts_);
    db::Statement ids;
    if (ids.prepare(main_, std::string(selectionsql::idEnds)) != db::result::ok || ids.step() != db::result::row ||
        !ids.isInteger(0)) {
        return {};
    }
    return idBounds(ids.columnInt64(0), ids.columnInt64(1), parts_);
}

std::optional<std::vector<ScanPart>> SplitScan::openParts(const std::vector<PartBound>& bounds,
                                                          const std::vector<std::string>& names) {
    // A walk of the whole index meets its NULL keys first: a part of their own.
    const std::size_t nullParts = walk_->withNulls ? 1 : 0;
    std::vector<ScanPart> parts(nullParts + bounds.size() + 1);
    for (std::size_t k = 0; k < parts.size(); ++k) {
        ScanPart& part = parts[k];
        const bool nulls = k < nullParts;
        const std::size_t range = k - nullParts;
        if (!nulls && range > 0) part.lower = bounds[range - 1];
        if (!nulls && range < bounds.size()) part.upper = bounds[range];
        const std::string sql = rangeQuery(sql_, *walk_, part.lower.has_value(), part.upper.has_value(), nulls);
        part.hasOwn = k > 0 && part.own.open(*request_.library) == db::result::ok &&
                      db::beginRead(part.own, "songs") && prepareRange(part, part.own, sql, names);
        if (!part.hasOwn && !prepareRange(part, main_, sql, names)) return std::nullopt;
        part.scorer = request_.scorer.get();
        if (part.hasOwn && part.scorer) {
            // A scorer that cannot be had twice keeps the scan whole.
            if (!(part.ownScorer = part.scorer->another())) return std::nullopt;
            part.scorer = part.ownScorer.get();
        }
    }
    return parts;
}

// The parts' read: bounds and sort orders from the selection connection's
// own read, every part begun, the version checked, then each part read on
// its thread (or on this one, for those on the selection connection).
std::optional<ScannedRows> SplitScan::run(const ColumnMap& columns, const std::vector<std::string>& names,
                                          const CandidateColumns& at) {
    if (!walk_ || !db::beginRead(main_, "songs")) return std::nullopt;
    const std::vector<PartBound> between = bounds();
    if (between.empty()) return std::nullopt;
    const auto utf16 = db::nativeUtf16(main_);
    std::vector<db::TermOrder> terms;
    for (const SortTerm& term : walk_->sort) {
        auto order = db::TermOrder::of(*term.collation, term.descending, utf16.value_or(false));
        if (!order || !utf16) return std::nullopt;
        terms.push_back(std::move(*order));
    }
    auto parts = openParts(between, names);
    if (!parts) return std::nullopt;
    // Every part has begun: unless a commit landed since before the selection
    // connection began, they all read what it reads.
    const auto version = dataVersion(probe_);
    probe_ = db::Connection();
    if (!version || *version != *version_) return std::nullopt;

    const PartReading reading{columns, at, request_, sql_, names.size(), terms.size(), utf16.value_or(false)};
    std::atomic<int> firstFailed{INT_MAX};
    {
        std::vector<std::jthread> workers;
        for (std::size_t k = 0; k < parts->size(); ++k) {
            ScanPart& part = (*parts)[k];
            const int index = static_cast<int>(k);
            if (part.hasOwn) workers.emplace_back([&, index] { readPart(part, index, firstFailed, reading); });
        }
        for (std::size_t k = 0; k < parts->size(); ++k) {
            if (!(*parts)[k].hasOwn) readPart((*parts)[k], static_cast<int>(k), firstFailed, reading);
        }
    }  // the workers are joined here
    const std::size_t fields = at.fields.size();
    return terms.empty() ? joinInOrder(*parts, fields) : mergeByKeys(*parts, terms, fields);
}

}  // namespace vantor
