#include "db/connection.h"

#include <sqlite3.h>

#include <utility>

#include "db/collation.h"

namespace vantor::db {

Connection::~Connection() { close(); }

Connection::Connection(Connection&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

int Connection::open(const std::string& path) {
    close();
    // No SQLITE_OPEN_CREATE: a mistyped path must not leave an empty library behind.
    // The run has one thread: a connection needs no mutex of its own, and
    // memory statistics (which serialise every allocation) are never read.
    static const bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    (void)configured;
    const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) installCollationHandler(db_);
    return rc;
}

std::string Connection::errorMessage() const { return sqlite3_errmsg(db_); }

void Connection::close() noexcept {
    // close_v2 so a statement that outlives us keeps a valid handle until it is finalized.
    sqlite3_close_v2(std::exchange(db_, nullptr));
}

}  // namespace vantor::db
