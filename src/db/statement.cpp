// A prepared statement's life, with the one retry on a recovered copy, and
// the readers of its columns.
#include "db/statement.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

#include "db/connection.h"
#include "db/sqlite_words.h"

namespace vantor::db {

Statement::~Statement() { finalize(); }

Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)),
      connection_(std::exchange(other.connection_, nullptr)),
      delivered_(other.delivered_),
      utf16_(other.utf16_),
      steps_(other.steps_),
      readAsUtf8_(std::move(other.readAsUtf8_)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        finalize();
        stmt_ = std::exchange(other.stmt_, nullptr);
        connection_ = std::exchange(other.connection_, nullptr);
        delivered_ = other.delivered_;
        utf16_ = other.utf16_;
        steps_ = other.steps_;
        readAsUtf8_ = std::move(other.readAsUtf8_);
    }
    return *this;
}

int Statement::prepare(Connection& db, const std::string& sql) {
    finalize();
    connection_ = &db;
    delivered_ = false;
    utf16_ = -1;
    readAsUtf8_.clear();
    // Length -1 and no tail: the first statement is all that is ever run.
    int rc = sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &stmt_, nullptr);
    if (db.reopenedOnRecoveredCopy(rc) || db.reopenedImmutable(rc)) {
        finalize();
        rc = sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &stmt_, nullptr);
    }
    return rc;
}

int Statement::step() {
    // An empty text prepares to no statement at all; stepping it is a misuse.
    if (stmt_ == nullptr) return SQLITE_MISUSE;
    ++steps_;  // a new row: no column of it has been read yet
    int rc = sqlite3_step(stmt_);
    if (!delivered_ && connection_->reopenedOnRecoveredCopy(rc)) {
        // The statement belongs to the handle just left: prepare it anew on the copy.
        const std::string sql = sqlite3_sql(stmt_);
        finalize();
        rc = sqlite3_prepare_v2(connection_->handle(), sql.c_str(), -1, &stmt_, nullptr);
        if (rc == SQLITE_OK) rc = stmt_ != nullptr ? sqlite3_step(stmt_) : SQLITE_MISUSE;
    }
    if (rc == SQLITE_ROW) delivered_ = true;
    return rc;
}

std::optional<std::string_view> Statement::text(int col) const {
    if (stmt_ == nullptr) return std::nullopt;
    // No text pointer means SQL NULL, or a conversion that ran out of memory;
    // every other value, empty ones included, has one. Asking the type first
    // would cost a third call per column in the row loops.
    const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    if (col >= 0) {
        const auto at = static_cast<std::size_t>(col);
        if (at >= readAsUtf8_.size()) readAsUtf8_.resize(at + 1, 0);
        readAsUtf8_[at] = steps_;
    }
    if (chars == nullptr) return std::nullopt;
    return std::string_view(chars, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)));
}

int Statement::bindInt64(int index, std::int64_t value) {
    return stmt_ != nullptr ? sqlite3_bind_int64(stmt_, index, value) : SQLITE_MISUSE;
}

int Statement::bindDouble(int index, double value) {
    return stmt_ != nullptr ? sqlite3_bind_double(stmt_, index, value) : SQLITE_MISUSE;
}

void Statement::reset() {
    if (stmt_ != nullptr) sqlite3_reset(stmt_);
    delivered_ = false;
}

int Statement::valueType(int col) const { return sqlite3_column_type(stmt_, col); }

Utf16Text Statement::text16(int col) const {
    if (stmt_ == nullptr) return {Utf16Text::Null};
    if (col >= 0 && static_cast<std::size_t>(col) < readAsUtf8_.size() &&
        readAsUtf8_[static_cast<std::size_t>(col)] == steps_) {
        return {};
    }
    const void* units = sqlite3_column_text16(stmt_, col);
    if (units == nullptr) return {Utf16Text::Null};
    const int bytes = sqlite3_column_bytes16(stmt_, col);
    // SQLite's UTF-8 drops an odd last byte, and it does not promise an
    // aligned pointer: such a value is read as UTF-8 rather than guessed at.
    if (bytes % 2 != 0 || reinterpret_cast<std::uintptr_t>(units) % alignof(char16_t) != 0) return {};
    return {Utf16Text::Units,
            std::u16string_view(static_cast<const char16_t*>(units), static_cast<std::size_t>(bytes) / 2)};
}

bool Statement::textIsUtf16() const {
    if (utf16_ < 0) {
        // Any doubt answers UTF-8, which reads every library right, only slower.
        const std::string encoding = connection_ != nullptr ? textEncoding(*connection_) : std::string();
        utf16_ = encoding == encoding::utf16le || encoding == encoding::utf16be;
    }
    return utf16_ == 1;
}

int Statement::columnInt(int col) const { return sqlite3_column_int(stmt_, col); }

std::int64_t Statement::columnInt64(int col) const { return sqlite3_column_int64(stmt_, col); }

bool Statement::isInteger(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_INTEGER; }

bool Statement::isNumber(int col) const {
    const int type = sqlite3_column_type(stmt_, col);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

double Statement::columnDouble(int col) const { return sqlite3_column_double(stmt_, col); }

int Statement::columnCount() const { return sqlite3_column_count(stmt_); }

std::string_view Statement::columnName(int col) const {
    const char* name = stmt_ != nullptr ? sqlite3_column_name(stmt_, col) : nullptr;
    return name != nullptr ? std::string_view(name) : std::string_view();
}

void Statement::finalize() noexcept { sqlite3_finalize(std::exchange(stmt_, nullptr)); }

std::vector<std::string> columnNames(const Statement& statement) {
    std::vector<std::string> names;
    const int count = statement.columnCount();
    names.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) names.emplace_back(statement.columnName(i));
    return names;
}

std::string textEncoding(Connection& db) {
    Statement statement;
    if (statement.prepare(db, "PRAGMA encoding") != SQLITE_OK || statement.step() != SQLITE_ROW) return {};
    return std::string(statement.text(0).value_or(""));
}

std::string quotedIdentifier(std::string_view name) {
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return quoted + '"';
}

std::vector<std::string> tableColumnNames(Connection& db, const std::string& table, int* rc) {
    std::vector<std::string> names;
    Statement st;
    int result = st.prepare(db, "PRAGMA table_info(" + quotedIdentifier(table) + ")");
    if (result == SQLITE_OK) {
        // Rows come in column order; column 1 is the name.
        while ((result = st.step()) == SQLITE_ROW) names.emplace_back(st.text(1).value_or(""));
        if (result == SQLITE_DONE) result = SQLITE_OK;
    }
    if (rc != nullptr) *rc = result;
    return names;
}

bool beginRead(Connection& db, const std::string& table) {
    Statement begin;
    if (begin.prepare(db, "BEGIN") != SQLITE_OK || begin.step() != SQLITE_DONE) return false;
    Statement read;
    if (read.prepare(db, "SELECT 1 FROM " + quotedIdentifier(table) + " LIMIT 1") != SQLITE_OK) return false;
    const int rc = read.step();
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

bool likePatternTooLong(const Connection& db, int rc) {
    // SQLite reports it as its generic error; only the message tells it apart.
    return rc == SQLITE_ERROR && db.handle() != nullptr &&
           std::string_view(sqlite3_errmsg(db.handle())) == "LIKE or GLOB pattern too complex";
}

int likePatternLimit(const Connection& db) {
    return db.handle() != nullptr ? sqlite3_limit(db.handle(), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1) : 0;
}

}  // namespace vantor::db
