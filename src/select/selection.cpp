#include "select/selection.h"

#include <algorithm>
#include <charconv>

#include "db/connection.h"
#include "db/library_file.h"
#include "db/query_plan.h"
#include "db/statement.h"
#include "report/run_error.h"
#include "select/picks.h"
#include "select/repeats.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

// A candidate row, each field read from the column of its name in the
// statement that fetched it.
class StatementRow final : public SongRow {
public:
    StatementRow(const db::Statement& statement, const ColumnMap& columns) : statement_(statement), columns_(columns) {}

    std::optional<std::string_view> text(int fieldCode) const override {
        const int pos = columns_.position(fieldCode);
        if (pos < 0) return std::nullopt;
        return statement_.text(pos);
    }

private:
    const db::Statement& statement_;
    const ColumnMap& columns_;
};

// IDs are 64-bit all the way to the result file, so none is clamped onto
// another. A stored integer is taken as it is; anything else as atoi reads its text.
std::int64_t idOf(const db::Statement& statement, int column) {
    if (statement.isInteger(column)) return statement.columnInt64(column);
    const auto id = statement.text(column);
    return id ? atoi64Field(*id) : 0;
}

// Plans compared for the order they walk rows in: whether an index also
// holds every column needed changes no order, and names ignore case.
std::vector<std::string> walkOf(std::vector<std::string> plan) {
    for (std::string& line : plan) {
        lowercase(line);
        replace(line, "covering index", "index");
    }
    return plan;
}

// The selection query fetching only ID and the columns the score reads,
// with the same condition. Used only when SQLite plans it exactly as the
// query of every column, so rows come in the same order; the head is never
// printed, so nothing else can tell the two apart.
std::string chooseSelectionSql(db::Connection& connection, const SelectionRequest& request) {
    const std::string reference = referenceSelectionSql(request);
    // Without scoring the reference fetches ID alone already. A sort filter
    // may say ORDER BY 1 (the test query refuses any higher position), which
    // must keep naming the same column: ID has to come first in the table.
    if (request.reference || !request.score || request.columns.position(fieldcode::id) != 0) return reference;

    std::string sql = "SELECT ID";
    std::vector<bool> fetched(fieldcode::maxColumnCode + 1, false);
    for (const int code : request.scoreCodes) {
        if (code <= fieldcode::id || code > fieldcode::maxColumnCode || request.columns.position(code) < 0) continue;
        if (fetched[static_cast<std::size_t>(code)]) continue;
        fetched[static_cast<std::size_t>(code)] = true;
        sql += ',';
        sql += columnName(code);
    }
    sql += " FROM songs WHERE ";
    sql += request.condition;

    const auto referencePlan = db::queryPlan(connection, reference);
    if (!referencePlan) return reference;  // the reference's own prepare reports the failure
    const auto narrowPlan = db::queryPlan(connection, sql);
    if (!narrowPlan || walkOf(*referencePlan) != walkOf(*narrowPlan)) return reference;
    return sql;
}

// The code a failed step of the selection query ends the run with. A LIKE
// pattern over SQLite's limit can only come from a search word the user
// typed: the query filter's, unless the sort filter alone is long enough to
// hold one (it is appended to the same statement).
int selectionStepCode(const db::Connection& connection, int step, const SelectionRequest& request) {
    if (!db::likePatternTooLong(connection, step)) return stage::selectionStep + step;
    const auto limit = static_cast<std::size_t>(std::max(db::likePatternLimit(connection), 0));
    return request.sortFilter.size() > limit ? code::sortFilter : code::queryFilter;
}

// Every step is tested, not only the first: rows read before a failure
// (a busy or damaged page, the time limit) are no answer.
void checkSelectionStep(const db::Connection& connection, int step, const std::string& sql,
                        const SelectionRequest& request) {
    if (!db::stepFailed(step)) return;
    throw RunError(selectionStepCode(connection, step, request),
                   "the selection query failed: " + connection.errorMessage() + " in: " + sql);
}

// The selection query while its rows are read.
struct SelectionQuery {
    db::Connection connection;
    db::Statement statement;
    std::string sql;
    // Fields by the names the statement reports, not by the table's
    // positions: `SELECT *` also returns generated columns, which PRAGMA
    // table_info leaves out, and ID need not stand first.
    ColumnMap columns;
    int idColumn = 0;
    int step = 0;  // the last step's result

    void next(const SelectionRequest& request) {
        step = statement.step();
        checkSelectionStep(connection, step, sql, request);
    }
};

// Opens, prepares and steps the selection query once, mapping failures to their codes.
void startSelection(SelectionQuery& query, const SelectionRequest& request) {
    if (const int rc = query.connection.open(*request.library); rc != db::result::ok) {
        throw RunError(stage::selectionOpen + rc,
                       "cannot open the library " + request.library->path() + ": " + query.connection.errorMessage());
    }
    query.sql = chooseSelectionSql(query.connection, request);
    if (const int rc = query.statement.prepare(query.connection, query.sql); rc != db::result::ok) {
        const std::string why = query.connection.errorMessage() + " in: " + query.sql;
        if (rc == db::result::error) throw RunError(code::queryFilter, "the query filter was refused: " + why);
        throw RunError(stage::selectionPrepare + rc, "the selection query could not be prepared: " + why);
    }
    query.columns = ColumnMap::fromColumnNames(db::columnNames(query.statement));
    query.idColumn = query.columns.position(fieldcode::id);
    // Only a table changed since it was counted can get here without ID:
    // any other column in its place would pass for song IDs.
    if (query.idColumn < 0) {
        throw RunError(stage::selectionPrepare + db::result::error, "the selection query has no ID column: " + query.sql);
    }
    query.next(request);
}

std::vector<std::int64_t> selectByProbability(SelectionQuery& query, const SelectionRequest& request,
                                              RandomSource& rng) {
    std::vector<std::int64_t> ids;
    const StatementRow row(query.statement, query.columns);
    for (; query.step == db::result::row; query.next(request)) {
        if (request.score) {
            const double score = request.score(row);
            // The draw comes after the score, once per row; NaN never passes.
            // random(1.0) is the draw over 32768.0, to the bit.
            const double r = random(rng, 1.0);
            if (!(score > r)) continue;
        }
        ids.push_back(idOf(query.statement, query.idColumn));
    }
    return ids;
}

std::vector<pick> collectCandidates(SelectionQuery& query, const SelectionRequest& request) {
    std::vector<pick> picks;
    // The count was taken just before: one allocation of the right size, not
    // a doubling that briefly holds twice the records.
    picks.reserve(static_cast<std::size_t>(std::max(request.librarySize, 0)));
    const StatementRow row(query.statement, query.columns);
    for (; query.step == db::result::row; query.next(request)) {
        pick p{idOf(query.statement, query.idColumn), 0.0};
        if (request.score) p.score = request.score(row);
        picks.push_back(p);
    }
    return picks;
}

bool startsWithOrderBy(std::string_view sql) {
    const std::size_t start = sql.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || !equalsIgnoreAsciiCase(sql.substr(start, 5), "order")) return false;
    const std::size_t by = sql.find_first_not_of(" \t\r\n", start + 5);
    if (by == start + 5 || by == std::string_view::npos || !equalsIgnoreAsciiCase(sql.substr(by, 2), "by")) {
        return false;
    }
    return by + 2 < sql.size() && std::string_view(" \t\r\n").find(sql[by + 2]) != std::string_view::npos;
}

}  // namespace

// Whether SQLite walks the statement's index backwards (an ORDER BY ... DESC
// along an ascending index): the bytecode then starts at the last entry.
bool walksBackwards(db::Connection& connection, const std::string& sql) {
    db::Statement explain;
    if (explain.prepare(connection, "EXPLAIN " + sql) != db::result::ok) return false;
    while (explain.step() == db::result::row) {
        const auto opcode = explain.text(1);
        if (opcode && (*opcode == "Last" || *opcode == "Prev")) return true;
    }
    return false;
}

// The drawn rows in the order a walk along `index` meets them, without the
// walk: an ORDER BY over the index's key columns and then the row key, which
// the index holds last, in the walk's direction. The row key makes the order
// total, so the sort gives exactly the walk's sequence. Only for indexes of
// built-in BINARY columns: an index on a host collation keeps the host's own
// order, which a stand-in collation may not reproduce. An empty result means
// the walk cannot be spelled so.
std::string lookupInIndexOrder(db::Connection& connection, const std::string& like, const std::string& index,
                               const std::string& list, const std::string& sortFilter) {
    // LIMIT and OFFSET would have to be carried over; the walk serves those.
    if (contains(lowercased(sortFilter), "limit")) return {};
    const bool backwards = walksBackwards(connection, like);
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
    return "SELECT ID FROM songs WHERE ID IN (" + list + ")" + order;
}

// The lookup is taken only when it provably returns the LIKE form's rows in
// the LIKE form's order: the sort filter is an ordering (so the condition is
// the membership test alone) and SQLite walks the rows the same way — in key
// order into the same sort, or along the same index, which the lookup is
// then told to use.
std::string chooseSortQuery(db::Connection& connection, const std::vector<std::int64_t>& ids,
                            const SelectionRequest& request) {
    std::string like = buildSortQuery(ids, request.sortFilter);
    if (request.reference || !startsWithOrderBy(request.sortFilter)) return like;
    const auto likePlan = db::queryPlan(connection, like);
    if (!likePlan || likePlan->empty()) return like;
    const std::vector<std::string> likeWalk = walkOf(*likePlan);

    std::vector<std::int64_t> distinct = ids;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::string list;
    list.reserve(distinct.size() * 8);
    char digits[24];
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        if (i > 0) list += ',';
        list.append(digits, std::to_chars(digits, digits + sizeof digits, distinct[i]).ptr);
    }

    const std::string& first = likeWalk.front();
    if (first.rfind("0 scan ", 0) == 0 && first.find(' ', 7) == std::string::npos) {
        // A plain table walk goes in key order, as the lookup does; what
        // follows must be the same sort or nothing.
        const std::string table = first.substr(7);
        for (std::size_t i = 1; i < likeWalk.size(); ++i) {
            if (likeWalk[i] != "0 use temp b-tree for order by") return like;
        }
        std::string sql = "SELECT ID FROM songs WHERE ID IN (" + list + ")" + request.sortFilter;
        const auto plan = db::queryPlan(connection, sql);
        if (!plan) return like;
        std::vector<std::string> walk = walkOf(*plan);
        if (walk.empty() || walk.front() != "0 search " + table + " using integer primary key (rowid=?)") return like;
        walk.front() = first;
        return walk == likeWalk ? sql : like;
    }
    const std::string indexScan = "0 scan ";
    if (first.rfind(indexScan, 0) == 0) {
        // Along an index: the lookup is made to walk the same index.
        const std::size_t at = first.find(" using index ");
        if (at == std::string::npos) return like;
        const std::string index = first.substr(at + 13);
        if (index.empty() || index.find_first_of(" \"") != std::string::npos) return like;
        // A walk that only reads the index in its order, with no sort of its own.
        if (likeWalk.size() == 1) {
            std::string sorted = lookupInIndexOrder(connection, like, index, list, request.sortFilter);
            if (!sorted.empty()) return sorted;
        }
        std::string sql = "SELECT ID FROM songs INDEXED BY \"" + index + "\" WHERE ID IN (" + list + ")" +
                          request.sortFilter;
        const auto plan = db::queryPlan(connection, sql);
        return plan && walkOf(*plan) == likeWalk ? sql : like;
    }
    return like;
}

namespace {

// Re-orders the draws by the sort filter. Deliberately keeps the count: when
// draws repeat, the query returns fewer rows and the tail keeps its draws.
void applySortQuery(std::vector<std::int64_t>& ids, const SelectionRequest& request) {
    db::Connection connection;
    if (const int rc = connection.open(*request.library); rc != db::result::ok) {
        throw RunError(stage::sortQuery + rc, "cannot open the library " + request.library->path() +
                                      " for sorting: " + connection.errorMessage());
    }
    // The sort filter passed the count connection's test query, but the
    // library may have become busy or unreadable since: draws left in draw
    // order must not pass for sorted ones.
    const std::string sql = chooseSortQuery(connection, ids, request);
    db::Statement statement;
    if (const int rc = statement.prepare(connection, sql); rc != db::result::ok) {
        throw RunError(stage::sortQuery + rc, "the sort query could not be prepared: " + connection.errorMessage() + " in: " + sql);
    }
    std::size_t i = 0;
    int step = db::result::row;
    // The sort query fetches ID alone.
    while (i < ids.size() && (step = statement.step()) == db::result::row) ids[i++] = idOf(statement, 0);
    if (db::stepFailed(step)) {
        throw RunError(stage::sortQuery + step, "the sort query failed: " + connection.errorMessage() + " in: " + sql);
    }
}

}  // namespace

std::string referenceSelectionSql(const SelectionRequest& request) {
    return (request.score ? "SELECT * FROM songs WHERE " : "SELECT ID FROM songs WHERE ") + request.condition;
}

std::string buildSortQuery(const std::vector<std::int64_t>& ids, const std::string& sortFilter) {
    std::string sql = "SELECT ID FROM songs WHERE ',";
    sql.reserve(sql.size() + ids.size() * 8 + sortFilter.size() + 32);
    char digits[24];
    for (const std::int64_t id : ids) {
        sql.append(digits, std::to_chars(digits, digits + sizeof digits, id).ptr);
        sql += ',';
    }
    sql += "' LIKE '%,'||ID||',%'";
    sql += sortFilter;
    return sql;
}

std::vector<std::int64_t> runSelection(const SelectionRequest& request, RandomSource& rng) {
    SelectionQuery query;
    startSelection(query, request);

    if (request.mode == 0) return selectByProbability(query, request, rng);
    if (request.mode != 1 && request.mode != 2) return {};

    std::vector<pick> picks = collectCandidates(query, request);
    query.statement = db::Statement();
    query.connection = db::Connection();

    int count = request.songCount;
    if (request.mode == 2) count = std::min(count, request.librarySize);
    // A song count of zero or less asks for nothing.
    if (picks.empty() || count <= 0) return {};

    std::vector<std::int64_t> ids;
    if (!request.score) {
        ids.resize(static_cast<std::size_t>(count));
        const int k = static_cast<int>(std::min<std::size_t>(picks.size(), 0x7FFFFFFF));
        for (std::int64_t& id : ids) id = picks[static_cast<std::size_t>(randint(rng, 0, k))].id;
    } else if (request.mode == 1 && request.reference) {
        ids.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            // A draw that no candidate can take (negative or NaN weights) adds nothing.
            const int index = sroulette(picks, rng);
            if (index >= 0) ids.push_back(picks[static_cast<std::size_t>(index)].id);
        }
    } else if (request.mode == 1) {
        ids = rouletteIds(std::move(picks), count, rng);
    } else if (request.reference) {
        std::vector<pick> ranked = picks;
        sortTopList(ranked);
        const std::size_t m = std::min(ranked.size(), static_cast<std::size_t>(count));
        ids.reserve(m);
        for (std::size_t i = 0; i < m; ++i) ids.push_back(ranked[i].id);
    } else {
        ids = topListIds(picks, static_cast<std::size_t>(count));
    }
    picks = std::vector<pick>();

    if (request.mode == 1 && !request.sortFilter.empty() && !ids.empty()) applySortQuery(ids, request);
    if (request.removeRepeats) ids.resize(static_cast<std::size_t>(removedupes(ids, request.window)));
    return ids;
}

}  // namespace vantor
