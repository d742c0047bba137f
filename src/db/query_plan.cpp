// EXPLAIN QUERY PLAN rows as lines of depth and detail.
#include "db/query_plan.h"

#include <sqlite3.h>

#include <map>

#include "db/connection.h"
#include "db/statement.h"

namespace vantor::db {

std::optional<std::vector<std::string>> queryPlan(Connection& db, const std::string& sql) {
    Statement statement;
    if (statement.prepare(db, "EXPLAIN QUERY PLAN " + sql) != SQLITE_OK) return std::nullopt;
    // Columns: id, parent, notused, detail. Ids differ between statements of
    // different text, so each line carries its depth instead.
    std::map<int, int> depth;
    std::vector<std::string> lines;
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW) {
        const int id = statement.columnInt(0);
        const int parent = statement.columnInt(1);
        const int d = depth.count(parent) ? depth[parent] + 1 : 0;
        depth[id] = d;
        lines.push_back(std::to_string(d) + " " + std::string(statement.text(3).value_or("")));
    }
    if (rc != SQLITE_DONE) return std::nullopt;
    return lines;
}

std::optional<std::vector<std::string>> opcodes(Connection& db, const std::string& sql) {
    Statement statement;
    if (statement.prepare(db, "EXPLAIN " + sql) != SQLITE_OK) return std::nullopt;
    // Columns: addr, opcode, p1, p2, p3, p4, p5, comment.
    std::vector<std::string> names;
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW) names.emplace_back(statement.text(1).value_or(""));
    if (rc != SQLITE_DONE) return std::nullopt;
    return names;
}

}  // namespace vantor::db
