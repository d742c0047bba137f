#include "db/hot_journal.h"

#include <sqlite3.h>

#include "db/collation.h"

namespace vantor::db {

bool rolledBackHotJournal(sqlite3* db, int rc) {
    if (db == nullptr || rc != SQLITE_READONLY || sqlite3_extended_errcode(db) != SQLITE_READONLY_ROLLBACK) {
        return false;
    }
    const char* file = sqlite3_db_filename(db, "main");
    if (file == nullptr || *file == '\0') return false;

    // A separate, short-lived writer does the rollback, so the caller's
    // connection and its other statements stay read-only and untouched.
    sqlite3* writer = nullptr;
    bool recovered = false;
    if (sqlite3_open_v2(file, &writer, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        installCollationHandler(writer);
        // Any read takes the shared lock, which is where SQLite plays the journal back.
        recovered = sqlite3_exec(writer, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    sqlite3_close_v2(writer);
    return recovered;
}

}  // namespace vantor::db
