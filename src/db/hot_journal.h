// Recovery from a journal left behind by a writer that died mid-transaction.
// A read-only connection cannot roll such a journal back and refuses to read
// until someone does. We never do it beside the library: LibraryFile copies
// the library and its journal into a private folder, and this lets SQLite
// recover the copy there, unable to change anything outside that folder.
#pragma once

#include <string>

struct sqlite3;

namespace vantor::db {

// Whether `rc` from a call on `db` means "hot journal, and you are read-only".
bool refusedForHotJournal(sqlite3* db, int rc);

// Lets SQLite play back the journal beside `copy` (if SQLite finds it hot)
// and checks the outcome with PRAGMA quick_check. SQLite may write, create
// and delete files inside `folder` only: whatever else a journal names (a
// super-journal of another database, say) is at most read. Returns "" when
// the copy is sound, else why not, in SQLite's words.
std::string recoverCopy(const std::string& copy, const std::string& folder);

}  // namespace vantor::db
