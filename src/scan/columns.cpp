// Fetching only what the score reads. The narrow query is used only when
// SQLite plans it exactly as the query of every column, so rows come in the
// same order; the head is never printed, so nothing else can tell the two
// apart. It prepares nothing to run: the candidate list does.
#include "scan/columns.h"

#include <vector>

#include "db/query_plan.h"
#include "scan/scan_sql.h"

namespace vantor {

std::string referenceSelectionSql(const SelectionRequest& request) {
    return std::string(request.scorer ? selectionsql::scoredHead : selectionsql::unscoredHead) + request.condition;
}

// The narrow query costs two plans to prove; it saves fetching every
// column of every row.
std::string chooseSelectionSql(db::Connection& connection, const SelectionRequest& request) {
    const std::string reference = referenceSelectionSql(request);
    // Without scoring the reference fetches ID alone already, unless the
    // rules need song data. A sort filter may say ORDER BY 1 (the test query
    // refuses any higher position), which must keep naming the same column:
    // ID has to come first in the table.
    const bool songData = request.rules.needsSongData();
    if (request.reference || (!request.scorer && !songData) || request.columns.position(fieldcode::id) != 0) {
        return reference;
    }

    std::vector<int> codes = request.scorer ? request.scorer->fieldsRead() : std::vector<int>{};
    for (const DataField& field : request.rules.dataFields()) codes.push_back(field.code);
    std::string sql(selectionsql::narrowHead);
    std::vector<bool> fetched(fieldcode::maxColumnCode + 1, false);
    for (const int code : codes) {
        if (code <= fieldcode::id || code > fieldcode::maxColumnCode || request.columns.position(code) < 0) continue;
        if (fetched[static_cast<std::size_t>(code)]) continue;
        fetched[static_cast<std::size_t>(code)] = true;
        sql += ',';
        sql += columnName(code);
    }
    sql += selectionsql::narrowHeadEnd;
    sql += request.condition;

    const auto referenceWalk = db::planWalk(connection, reference);
    if (!referenceWalk) return reference;  // the reference's own prepare reports the failure
    const auto narrowWalk = db::planWalk(connection, sql);
    if (!narrowWalk || *referenceWalk != *narrowWalk) return reference;
    return sql;
}

}  // namespace vantor
