// Reading SQLite's plans for the sort query. The LIKE form matches every song
// of the table; when SQLite walks the table in key order or along one index
// for it, the draws can be looked up by key and walked the same way, which
// gives the same rows in the same order. Anything the plan text does not
// prove keeps the LIKE form. The lookups are written so that the library's
// statistics, however old, cannot turn them into walks of their own.
#include "choose/sort_plan.h"

#include <algorithm>

#include "choose/sort_sql.h"
#include "db/connection.h"
#include "db/query_plan.h"
#include "db/sqlite_words.h"
#include "db/statement.h"
#include "text/id_list.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

// The drawn IDs once each, ascending, joined by commas.
std::string distinctIdList(const std::vector<std::int64_t>& ids) {
    std::vector<std::int64_t> distinct = ids;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::string list;
    appendIdList(list, distinct);
    return list;
}

// A key lookup's walk, without the lines that read its list of IDs (which
// read no song); nothing when SQLite refuses the statement.
std::optional<std::vector<std::string>> lookupWalk(db::Connection& connection, const std::string& sql) {
    auto walk = db::planWalk(connection, sql);
    if (!walk) return walk;
    for (std::size_t i = 0; i + 1 < walk->size(); ++i) {
        if ((*walk)[i].starts_with(db::planword::listSubquery) && (*walk)[i + 1].starts_with(db::planword::listRead)) {
            const auto at = walk->begin() + static_cast<std::ptrdiff_t>(i);
            walk->erase(at, at + 2);
            break;
        }
    }
    return walk;
}

// The LIKE form walks `table` in key order, as a key lookup does; what
// follows must be the same sort or nothing. "" when the lookup walks otherwise.
std::string lookupAfterTableWalk(db::Connection& connection, const std::vector<std::string>& likeWalk,
                                 const std::string& table, const std::string& list, const std::string& sortFilter) {
    for (std::size_t i = 1; i < likeWalk.size(); ++i) {
        if (likeWalk[i] != db::planword::sortAfterWalk) return {};
    }
    std::string sql = buildKeyLookup(list) + sortFilter;
    auto walk = lookupWalk(connection, sql);
    if (!walk || walk->empty()) return {};
    const std::string byKey = std::string(db::planword::search) + table + std::string(db::planword::usingRowKey) +
                              std::string(db::planword::oneRowByKey);
    if (walk->front() != byKey) {
        // Statistics that count only a few dozen songs make SQLite walk the
        // whole table even for the lookup: the LIKE form's own walk, each
        // row's ID told by key instead of matched as text against every draw.
        // Only where ID is the row key, which the LIKE form too matches as
        // the number it is.
        const bool idIsRowKey = db::planWalk(connection, std::string(sortsql::keyLookupHead) + " WHERE ID = 0") ==
                                std::vector<std::string>{byKey};
        if (walk->front() != likeWalk.front() || !idIsRowKey) return {};
    }
    walk->front() = likeWalk.front();
    return *walk == likeWalk ? sql : std::string();
}

// The LIKE form walks `index`: the lookup is made to walk the same index, or,
// when the walk only reads the index in its order, to sort by its columns.
// "" when neither walks as the LIKE form does.
std::string lookupAlongIndex(db::Connection& connection, const std::string& like,
                             const std::vector<std::string>& likeWalk, const std::string& index,
                             const std::string& list, const std::string& sortFilter) {
    if (likeWalk.size() == 1) {
        std::string sorted = lookupInIndexOrder(connection, like, index, list, sortFilter);
        if (!sorted.empty()) return sorted;
    }
    std::string sql = buildKeyLookup(list, index) + sortFilter;
    const auto walk = lookupWalk(connection, sql);
    return walk && *walk == likeWalk ? sql : std::string();
}

}  // namespace

bool startsWithOrderBy(std::string_view sql) {
    const std::size_t start = sql.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || !equalsIgnoreAsciiCase(sql.substr(start, 5), "order")) return false;
    const std::size_t by = sql.find_first_not_of(" \t\r\n", start + 5);
    if (by == start + 5 || by == std::string_view::npos || !equalsIgnoreAsciiCase(sql.substr(by, 2), "by")) {
        return false;
    }
    return by + 2 < sql.size() && std::string_view(" \t\r\n").find(sql[by + 2]) != std::string_view::npos;
}

// The walk spelled as an ORDER BY over the index's key columns and then the
// row key, which the index holds last, in the walk's direction. The row key
// makes the order total, so the sort gives exactly the walk's sequence. Only
// for indexes of built-in BINARY columns: an index on a host collation keeps
// the host's own order, which a stand-in collation may not reproduce.
std::string lookupInIndexOrder(db::Connection& connection, const std::string& like, const std::string& index,
                               const std::string& list, const std::string& sortFilter) {
    // LIMIT and OFFSET would have to be carried over; the walk serves those.
    if (contains(lowercased(sortFilter), "limit")) return {};
    const bool backwards = db::walksBackwards(connection, like);
    db::Statement info;
    if (info.prepare(connection, "PRAGMA index_xinfo(\"" + index + "\")") != db::result::ok) return {};
    std::string order;
    while (info.step() == db::result::row) {
        if (info.columnInt(5) != 1) continue;  // the row key and other auxiliary columns
        const auto name = info.text(2);
        const auto collation = info.text(4);
        if (info.columnInt(1) < 0 || !name || !collation || *collation != "BINARY" ||
            name->find('"') != std::string_view::npos) {
            return {};
        }
        const bool descending = (info.columnInt(3) != 0) != backwards;
        order += order.empty() ? " ORDER BY \"" : ", \"";
        order.append(*name);
        order += descending ? "\" DESC" : "\" ASC";
    }
    if (order.empty()) return {};
    order += backwards ? ", ID DESC" : ", ID ASC";
    return buildKeyLookup(list) + order;
}

// The lookup needs the sort filter to be an ordering, so that the LIKE
// form's condition is the membership test alone; then the first line of its
// walk says how SQLite meets the rows.
std::string chooseSortQuery(db::Connection& connection, const std::vector<std::int64_t>& ids,
                            const SelectionRequest& request) {
    std::string like = buildSortQuery(ids, request.sortFilter);
    if (request.reference || !startsWithOrderBy(request.sortFilter)) return like;
    const auto likeWalk = db::planWalk(connection, like);
    if (!likeWalk || likeWalk->empty()) return like;
    const std::string list = distinctIdList(ids);

    std::string lookup;
    if (const auto table = db::tableScanned(likeWalk->front())) {
        lookup = lookupAfterTableWalk(connection, *likeWalk, *table, list, request.sortFilter);
    } else if (const auto index = db::indexScanned(likeWalk->front())) {
        lookup = lookupAlongIndex(connection, like, *likeWalk, *index, list, request.sortFilter);
    }
    return lookup.empty() ? like : lookup;
}

}  // namespace vantor
