// A read-only connection to a music library. It owns the sqlite3 handle and
// installs the collation stand-ins; it sets no busy timeout and maps no
// result codes, which is the run driver's business.
#pragma once

#include <string>

struct sqlite3;

namespace vantor::db {

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the file read-only and never creates it (a missing file gives
    // SQLITE_CANTOPEN). Returns the SQLite result code; on failure the handle
    // is kept so errorMessage() can say why.
    int open(const std::string& path);

    sqlite3* handle() const noexcept { return db_; }

    // sqlite3_errmsg of the last call on this connection, for diagnostics.
    std::string errorMessage() const;

private:
    void close() noexcept;

    sqlite3* db_ = nullptr;
};

}  // namespace vantor::db
