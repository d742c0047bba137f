// What SQLite says it will do for a statement (EXPLAIN QUERY PLAN and
// EXPLAIN), read so that the selection can tell whether two statements walk
// the table the same way and therefore return their rows in the same order.
// The words it reads are in db/sqlite_words.h; what a walk allows is for its
// callers to decide.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantor::db {

class Connection;

// The plan's lines in order, each its depth and detail text ("SCAN songs",
// "USE TEMP B-TREE FOR ORDER BY"); nullopt when SQLite refuses the statement.
std::optional<std::vector<std::string>> queryPlan(Connection& db, const std::string& sql);

// The statement's bytecode, one opcode name per instruction ("Rewind",
// "Column", "Next"...); nullopt when SQLite refuses the statement.
std::optional<std::vector<std::string>> opcodes(Connection& db, const std::string& sql);

// The statement's plan as the order it walks rows in: one line per step,
// "DEPTH detail", lower-cased, with "covering index" read as "index"
// (whether an index also holds every column changes no order); nullopt when
// SQLite refuses the statement. Two statements with equal walks return their
// rows in the same order.
std::optional<std::vector<std::string>> planWalk(Connection& db, const std::string& sql);

// The table a walk's line scans whole in key order ("0 scan songs"), or
// nullopt for any other line.
std::optional<std::string> tableScanned(std::string_view walkLine);

// The index a walk's line scans ("0 scan songs using index idxsongsyear"),
// or nullopt for any other line and for names that would need quoting.
std::optional<std::string> indexScanned(std::string_view walkLine);

// Whether the statement's bytecode holds any of `names`; nullopt when SQLite
// refuses the statement.
std::optional<bool> runsAnyOpcode(Connection& db, const std::string& sql, std::span<const std::string_view> names);

// Whether SQLite walks the statement's index backwards (an ORDER BY ... DESC
// along an ascending index): the bytecode then starts at the last entry.
bool walksBackwards(Connection& db, const std::string& sql);

// Whether SQLite reads the statement's rows by a key (a rowid or an index
// searched), rather than walking a whole table.
bool readsByKey(Connection& db, const std::string& sql);

}  // namespace vantor::db
