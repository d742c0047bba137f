// Running the sort query over the draws. Every failure ends the run: draws
// left in draw order must not pass for sorted ones.
#include "choose/sort_query.h"

#include "choose/sort_plan.h"
#include "library/session.h"
#include "rules/statement_row.h"

namespace vantor {

// On a connection of its own, with the sort query's codes.
void sortDraws(std::vector<std::int64_t>& ids, const SelectionRequest& request) {
    Session session(*request.library, stagecodes::sort, " for sorting");
    // The sort filter passed the count connection's test query, but the
    // library may have become busy or unreadable since.
    const std::string sql = chooseSortQuery(session.connection(), ids, request);
    db::Statement statement = session.prepare(sql, "the sort query could not be prepared");
    // Deliberate: the count stays. When draws repeat, the query returns
    // fewer rows than there are draws, and the tail keeps the IDs drawn for
    // those places (the "stale tail"); repeat removal, when asked, takes the
    // repeats out afterwards. The front end has always been given this list.
    // The sort query fetches ID alone.
    const auto nextRow = [&] { return session.step(statement, sql, "the sort query failed") == db::result::row; };
    for (std::size_t i = 0; i < ids.size() && nextRow();) ids[i++] = idOf(statement, 0);
}

}  // namespace vantor
