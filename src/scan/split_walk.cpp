// Telling a splittable walk from SQLite's plan: the plan's walk line, the
// index it names and that index's first column, and a check that every
// range's query is walked the same way.
#include "scan/split_walk.h"

#include "db/query_plan.h"
#include "db/sqlite_words.h"
#include "db/statement.h"
#include "db/value_order.h"
#include "scan/scan_sql.h"

namespace vantor {
namespace {

// The plan lines (as db::planWalk gives them) of the walks that may be
// split: the table in ID order, a range of one index, the whole index, and
// the walk of each part over a range of the row key.
const std::string tableWalk = std::string(db::planword::scan) + "songs";
const std::string indexWalk = std::string(db::planword::search) + "songs" + std::string(db::planword::usingIndex);
const std::string wholeIndexWalk = tableWalk + std::string(db::planword::usingIndex);  // NULL keys first
const std::string keyRange = std::string(db::planword::search) + "songs" + std::string(db::planword::usingRowKey);

// The plan's walk line when the statement is a single walk, sorted by SQLite
// when `sorted` (and only then), free of the instructions above; nothing
// otherwise.
std::optional<std::string> singleWalk(db::Connection& connection, const std::string& sql, bool sorted) {
    const auto plan = db::planWalk(connection, sql);
    if (!plan || plan->size() != (sorted ? 2u : 1u) || (sorted && (*plan)[1] != db::planword::sortAfterWalk)) {
        return std::nullopt;
    }
    // Rows that depend on more than each row alone, or come backwards, are no
    // walk that each range reads alike.
    if (db::runsAnyOpcode(connection, sql, db::opcode::wholeWalk).value_or(true)) return std::nullopt;
    return plan->front();
}

// The index a walk line names ("0 search songs using index NAME (...)").
std::string indexNamed(const std::string& line, const std::string& prefix) {
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

// The range as a subquery of its own, so that the sort filter at the end
// still orders the part's rows.
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

}  // namespace vantor
