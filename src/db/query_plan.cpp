// EXPLAIN QUERY PLAN rows as lines of depth and detail, EXPLAIN rows as
// opcodes, and the few readings of them the planning makes.
#include "db/query_plan.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>

#include "db/connection.h"
#include "db/sqlite_words.h"
#include "db/statement.h"
#include "text/toolkit.h"

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

std::optional<std::vector<std::string>> planWalk(Connection& db, const std::string& sql) {
    auto plan = queryPlan(db, sql);
    if (!plan) return std::nullopt;
    for (std::string& line : *plan) {
        lowercase(line);
        replace(line, planword::coveringIndex, planword::index);
    }
    return plan;
}

std::optional<std::string> tableScanned(std::string_view walkLine) {
    if (!walkLine.starts_with(planword::scan)) return std::nullopt;
    if (walkLine.find(' ', planword::scan.size()) != std::string_view::npos) return std::nullopt;
    return std::string(walkLine.substr(planword::scan.size()));
}

std::optional<std::string> indexScanned(std::string_view walkLine) {
    if (!walkLine.starts_with(planword::scan)) return std::nullopt;
    const std::size_t at = walkLine.find(planword::usingIndex);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view index = walkLine.substr(at + planword::usingIndex.size());
    if (index.empty() || index.find_first_of(" \"") != std::string_view::npos) return std::nullopt;
    return std::string(index);
}

std::optional<bool> runsAnyOpcode(Connection& db, const std::string& sql, std::span<const std::string_view> names) {
    const auto ops = opcodes(db, sql);
    if (!ops) return std::nullopt;
    return std::any_of(ops->begin(), ops->end(), [names](const std::string& op) {
        return std::find(names.begin(), names.end(), op) != names.end();
    });
}

bool walksBackwards(Connection& db, const std::string& sql) {
    return runsAnyOpcode(db, sql, opcode::backwards).value_or(false);
}

bool readsByKey(Connection& db, const std::string& sql) {
    const auto walk = planWalk(db, sql);
    return walk && !walk->empty() && walk->front().starts_with(planword::search);
}

}  // namespace vantor::db
