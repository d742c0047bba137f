// What SQLite says it will do for a statement (EXPLAIN QUERY PLAN), so the
// selection can tell whether two statements walk the table the same way and
// therefore return their rows in the same order.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantor::db {

class Connection;

// The plan's lines in order, each its depth and detail text ("SCAN songs",
// "USE TEMP B-TREE FOR ORDER BY"); nullopt when SQLite refuses the statement.
std::optional<std::vector<std::string>> queryPlan(Connection& db, const std::string& sql);

// The statement's bytecode, one opcode name per instruction ("Rewind",
// "Column", "Next"...); nullopt when SQLite refuses the statement.
std::optional<std::vector<std::string>> opcodes(Connection& db, const std::string& sql);

}  // namespace vantor::db
