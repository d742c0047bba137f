// Recovery from a journal left behind by a writer that died mid-transaction.
// A read-only connection cannot roll such a journal back and refuses to read
// until someone does; the host may have crashed, so we do it ourselves.
#pragma once

struct sqlite3;

namespace vantor::db {

// When `rc` from a call on `db` means "hot journal, and you are read-only",
// opens the same file read-write (never creating it), lets SQLite roll the
// journal back, and returns true so the caller retries once. Otherwise false.
bool rolledBackHotJournal(sqlite3* db, int rc);

}  // namespace vantor::db
