// Running the sort query over the draws. Every failure ends the run: draws
// left in draw order must not pass for sorted ones.
#include "choose/sort_query.h"

#include "choose/sort_plan.h"
#include "db/connection.h"
#include "db/library_file.h"
#include "db/statement.h"
#include "report/run_error.h"
#include "rules/statement_row.h"

namespace vantor {

void sortDraws(std::vector<std::int64_t>& ids, const SelectionRequest& request) {
    db::Connection connection;
    if (const int rc = connection.open(*request.library); rc != db::result::ok) {
        throw RunError(stage::sortQuery + rc, connection.openFailure(*request.library, " for sorting"));
    }
    // The sort filter passed the count connection's test query, but the
    // library may have become busy or unreadable since.
    const std::string sql = chooseSortQuery(connection, ids, request);
    db::Statement statement;
    if (const int rc = statement.prepare(connection, sql); rc != db::result::ok) {
        throw RunError(stage::sortQuery + rc,
                       "the sort query could not be prepared: " + connection.errorMessage() + " in: " + sql);
    }
    // Deliberate: the count stays. When draws repeat, the query returns
    // fewer rows than there are draws, and the tail keeps the IDs drawn for
    // those places (the "stale tail"); repeat removal, when asked, takes the
    // repeats out afterwards. The front end has always been given this list.
    std::size_t i = 0;
    int step = db::result::row;
    // The sort query fetches ID alone.
    while (i < ids.size() && (step = statement.step()) == db::result::row) ids[i++] = idOf(statement, 0);
    if (db::stepFailed(step)) {
        throw RunError(stage::sortQuery + step, "the sort query failed: " + connection.errorMessage() + " in: " + sql);
    }
}

}  // namespace vantor
