#include "select/selection.h"

#include <algorithm>

#include "db/connection.h"
#include "db/statement.h"
#include "report/run_error.h"
#include "select/picks.h"
#include "support/repeats.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

constexpr int kSqliteOk = 0;
constexpr int kSqliteError = 1;
constexpr int kSqliteRow = 100;
constexpr int kSqliteDone = 101;
constexpr int kSqliteInterrupt = 9;

// A candidate row read through the library's own column positions.
class StatementRow final : public SongRow {
public:
    StatementRow(const db::Statement& statement, const ColumnMap& columns)
        : statement_(statement), columns_(columns), columnCount_(statement.columnCount()) {}

    std::optional<std::string_view> text(int fieldCode) const override {
        const int pos = columns_.position(fieldCode);
        if (pos < 0 || pos >= columnCount_) return std::nullopt;
        return statement_.text(pos);
    }

private:
    const db::Statement& statement_;
    const ColumnMap& columns_;
    int columnCount_;
};

int idOf(const db::Statement& statement) {
    const auto id = statement.text(0);
    return id ? atoiField(*id) : 0;
}

// Opens, prepares and steps the selection query once, mapping failures to their codes.
void startSelection(db::Connection& connection, db::Statement& statement, const SelectionRequest& request,
                    int& firstStep) {
    if (const int rc = connection.open(request.dbPath); rc != kSqliteOk) {
        throw RunError(4500 + rc, "cannot open the library " + request.dbPath + ": " + connection.errorMessage());
    }
    if (const int rc = statement.prepare(connection, request.selectionSql); rc != kSqliteOk) {
        const std::string why = connection.errorMessage() + " in: " + request.selectionSql;
        if (rc == kSqliteError) throw RunError(code::queryFilter, "the query filter was refused: " + why);
        throw RunError(5000 + rc, "the selection query could not be prepared: " + why);
    }
    firstStep = statement.step();
    if (firstStep != kSqliteOk && firstStep != kSqliteRow && firstStep != kSqliteDone) {
        throw RunError(6000 + firstStep,
                       "the selection query failed: " + connection.errorMessage() + " in: " + request.selectionSql);
    }
}

// Other failures after the first row end a row loop quietly, but a statement
// stopped by the time limit must not pass its rows so far off as the result.
void failIfInterrupted(int step, int base, const char* query) {
    if (step != kSqliteInterrupt) return;
    throw RunError(base + step, std::string(query) + " was interrupted after the time limit of " +
                                    std::to_string(db::timeLimit().count() / 1000) + " s");
}

std::vector<int> selectByProbability(db::Statement& statement, int step, const SelectionRequest& request,
                                     RandomSource& rng) {
    std::vector<int> ids;
    const StatementRow row(statement, request.columns);
    for (; step == kSqliteRow; step = statement.step()) {
        if (request.score) {
            const double score = request.score(row);
            // The draw comes after the score, once per row; NaN never passes.
            const double r = rng.next() / 32768.0;
            if (!(score > r)) continue;
        }
        ids.push_back(idOf(statement));
    }
    failIfInterrupted(step, 6000, "the selection query");
    return ids;
}

std::vector<pick> collectCandidates(db::Statement& statement, int step, const SelectionRequest& request) {
    std::vector<pick> picks;
    const StatementRow row(statement, request.columns);
    for (; step == kSqliteRow; step = statement.step()) {
        pick p{idOf(statement), 0.0};
        if (request.score) p.score = request.score(row);
        picks.push_back(p);
    }
    failIfInterrupted(step, 6000, "the selection query");
    return picks;
}

// Re-orders the draws by the sort filter. Deliberately keeps the count: when
// draws repeat, the query returns fewer rows and the tail keeps its draws.
void applySortQuery(std::vector<int>& ids, const SelectionRequest& request) {
    db::Connection connection;
    if (const int rc = connection.open(request.dbPath); rc != kSqliteOk) {
        throw RunError(8500 + rc,
                       "cannot open the library " + request.dbPath + " for sorting: " + connection.errorMessage());
    }
    db::Statement statement;
    // The sort filter already passed the count connection's test query.
    if (statement.prepare(connection, buildSortQuery(ids, request.sortFilter)) != kSqliteOk) return;
    std::size_t i = 0;
    int step = kSqliteRow;
    while (i < ids.size() && (step = statement.step()) == kSqliteRow) ids[i++] = idOf(statement);
    failIfInterrupted(step, 8500, "the sort query");
}

}  // namespace

std::string buildSortQuery(const std::vector<int>& ids, const std::string& sortFilter) {
    std::string sql = "SELECT ID FROM songs WHERE ',";
    sql.reserve(sql.size() + ids.size() * 8 + sortFilter.size() + 32);
    for (const int id : ids) {
        sql += std::to_string(id);
        sql += ',';
    }
    sql += "' LIKE '%,'||ID||',%'";
    sql += sortFilter;
    return sql;
}

std::vector<int> runSelection(const SelectionRequest& request, RandomSource& rng) {
    db::Connection connection;
    db::Statement statement;
    int step = 0;
    startSelection(connection, statement, request, step);

    if (request.mode == 0) return selectByProbability(statement, step, request, rng);
    if (request.mode != 1 && request.mode != 2) return {};

    const std::vector<pick> picks = collectCandidates(statement, step, request);
    statement = db::Statement();
    connection = db::Connection();

    int count = request.songCount;
    if (request.mode == 2) count = std::min(count, request.librarySize);
    // A song count of zero or less asks for nothing.
    if (picks.empty() || count <= 0) return {};

    std::vector<int> ids;
    if (!request.score) {
        ids.resize(static_cast<std::size_t>(count));
        const int k = static_cast<int>(std::min<std::size_t>(picks.size(), 0x7FFFFFFF));
        for (int& id : ids) id = picks[static_cast<std::size_t>(randint(rng, 0, k))].id;
    } else if (request.mode == 1) {
        ids.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            // A draw that no candidate can take (negative or NaN weights) adds nothing.
            const int index = sroulette(picks, rng);
            if (index >= 0) ids.push_back(picks[static_cast<std::size_t>(index)].id);
        }
    } else {
        std::vector<pick> ranked = picks;
        sortTopList(ranked);
        const std::size_t m = std::min(ranked.size(), static_cast<std::size_t>(count));
        ids.reserve(m);
        for (std::size_t i = 0; i < m; ++i) ids.push_back(ranked[i].id);
    }

    if (request.mode == 1 && !request.sortFilter.empty() && !ids.empty()) applySortQuery(ids, request);
    if (request.removeRepeats) ids.resize(static_cast<std::size_t>(removedupes(ids, request.window)));
    return ids;
}

}  // namespace vantor
