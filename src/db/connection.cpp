#include "db/connection.h"

#include <sqlite3.h>

#include <utility>

#include "db/collation.h"

namespace vantor::db {
namespace {

std::chrono::milliseconds gTimeLimit = std::chrono::minutes(10);

// SQLite asks every few thousand instructions; nonzero interrupts the statement.
int pastDeadline(void* deadline) {
    return std::chrono::steady_clock::now() > *static_cast<std::chrono::steady_clock::time_point*>(deadline);
}

bool ranOutOfTime(const std::chrono::steady_clock::time_point* deadline) {
    return deadline != nullptr && std::chrono::steady_clock::now() > *deadline;
}

}  // namespace

void setTimeLimit(std::chrono::milliseconds limit) { gTimeLimit = limit; }

std::chrono::milliseconds timeLimit() { return gTimeLimit; }

Connection::~Connection() { close(); }

Connection::Connection(Connection&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), deadline_(std::move(other.deadline_)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
        deadline_ = std::move(other.deadline_);
    }
    return *this;
}

int Connection::open(const std::string& path) {
    close();
    // No SQLITE_OPEN_CREATE: a mistyped path must not leave an empty library behind.
    const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) {
        installCollationHandler(db_);
        deadline_ = std::make_unique<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now() +
                                                                            gTimeLimit);
        sqlite3_progress_handler(db_, 10000, pastDeadline, deadline_.get());
    }
    return rc;
}

std::string Connection::errorMessage() const {
    std::string message = sqlite3_errmsg(db_);
    if (sqlite3_errcode(db_) == SQLITE_INTERRUPT && ranOutOfTime(deadline_.get())) {
        message += " after the time limit of " + std::to_string(gTimeLimit.count() / 1000) + " s";
    }
    return message;
}

void Connection::close() noexcept {
    // The deadline may go before a statement that outlives us does.
    if (db_ != nullptr) sqlite3_progress_handler(db_, 0, nullptr, nullptr);
    // close_v2 so a statement that outlives us keeps a valid handle until it is finalized.
    sqlite3_close_v2(std::exchange(db_, nullptr));
}

}  // namespace vantor::db
