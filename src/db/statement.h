// One prepared statement on a Connection, and the schema question the run
// asks (the column names of a table). Only the first statement of a text is
// prepared; whatever follows it is ignored, never run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/utf16.h"

struct sqlite3_stmt;

namespace vantor::db {

class Connection;

class Statement {
public:
    Statement() = default;
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // sqlite3_prepare_v2 over the whole text. Returns the SQLite result code.
    int prepare(Connection& db, const std::string& sql);

    // The SQLite result code (SQLITE_ROW, SQLITE_DONE or an error). Until a
    // row has come, a hot journal moves the connection onto the run's
    // recovered copy and the statement runs again there, once.
    int step();

    // Binds a whole number to the parameter `index` (from 1); the SQLite result code.
    int bindInt64(int index, std::int64_t value);
    int bindDouble(int index, double value);

    // Back to before the first step, the bindings kept.
    void reset();

    // The column's text, valid until the next step; nullopt for NULL. In a
    // UTF-16 library SQLite converts the value to UTF-8 in place, so units
    // text16() gave for this column are invalid from here on.
    std::optional<std::string_view> text(int col) const;
    // The column's text as UTF-16 units, valid until the next step or until
    // text() of the same column. Only for a statement whose library stores
    // UTF-16 (textIsUtf16): elsewhere it would convert UTF-8 in place, and
    // SQLite's UTF-8 to UTF-16 is lossy for bytes that are no UTF-8. Unfit
    // for a column this row has already given as text(): its units now are
    // SQLite's conversion back, not the stored text.
    Utf16Text text16(int col) const;
    // Whether the library stores its text as UTF-16 (PRAGMA encoding is
    // UTF-16le or UTF-16be). Asked of the library once, then remembered.
    bool textIsUtf16() const;
    int columnInt(int col) const;
    std::int64_t columnInt64(int col) const;
    // The column value's type (valuetype::integer, ...).
    int valueType(int col) const;
    // Whether the column's value is an integer.
    bool isInteger(int col) const;
    // Whether it is an integer or a real.
    bool isNumber(int col) const;
    double columnDouble(int col) const;
    int columnCount() const;
    // The name SQLite reports for the result column (for `SELECT *`, the
    // table's own column names, generated columns included).
    std::string_view columnName(int col) const;

    sqlite3_stmt* handle() const noexcept { return stmt_; }

private:
    void finalize() noexcept;

    sqlite3_stmt* stmt_ = nullptr;
    // The connection it was prepared on, which must neither move nor go
    // while the statement lives.
    Connection* connection_ = nullptr;
    bool delivered_ = false;  // a row has come: running again would repeat rows
    mutable signed char utf16_ = -1;  // textIsUtf16: -1 not asked yet
    // Steps so far, and for each column the step whose row gave it as text().
    std::uint64_t steps_ = 0;
    mutable std::vector<std::uint64_t> readAsUtf8_;
};

// The SQLite result codes the run tells apart, so callers need not include sqlite3.h.
namespace result {
inline constexpr int ok = 0, error = 1, interrupt = 9, row = 100, done = 101;
}  // namespace result

// SQLite's value types, as valueType() gives them.
namespace valuetype {
inline constexpr int integer = 1, real = 2, text = 3, blob = 4, null = 5;
}  // namespace valuetype

// A step failed: anything but OK, ROW and DONE.
inline bool stepFailed(int code) { return code != result::ok && code != result::row && code != result::done; }

// Whether `rc`, just returned on this connection, is SQLite refusing a LIKE or
// GLOB pattern longer than its limit: a fault of the text, not of the library.
bool likePatternTooLong(const Connection& db, int rc);

// The longest LIKE or GLOB pattern this connection accepts, in bytes.
int likePatternLimit(const Connection& db);

// How the library stores its texts, as PRAGMA encoding names it ("UTF-8",
// "UTF-16le", "UTF-16be"); "" when it cannot be read.
std::string textEncoding(Connection& db);

// A name as an SQL identifier in double quotes, a quote inside doubled.
std::string quotedIdentifier(std::string_view name);

// The names of the prepared statement's result columns, in order.
std::vector<std::string> columnNames(const Statement& statement);

// The table's column names in position order (PRAGMA table_info). `rc`, when
// given, receives the SQLite result code; a table that does not exist gives
// no names and SQLITE_OK, as SQLite reports it.
std::vector<std::string> tableColumnNames(Connection& db, const std::string& table, int* rc = nullptr);

// Begins a read of the library, through `table`, that lasts until the
// connection closes: every later statement reads that one state, without a
// lock of its own. False when SQLite refuses it, as when a writer is waiting
// to commit.
bool beginRead(Connection& db, const std::string& table);

}  // namespace vantor::db
