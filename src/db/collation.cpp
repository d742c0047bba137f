// Installing the host's collation names on a connection, each backed by a
// platform collator made the first time SQLite asks for it.
#include "db/collation.h"

#include <sqlite3.h>

#include "platform/collator.h"

namespace vantor::db {
namespace {

using platform::Collator;
using platform::CollationKind;

int compareUtf8(void* collator, int lenA, const void* a, int lenB, const void* b) {
    return platform::compareUtf8(*static_cast<Collator*>(collator), static_cast<const char*>(a), lenA,
                                 static_cast<const char*>(b), lenB);
}

// SQLite gives UTF-16 lengths in bytes; the collators want code units.
int compareUtf16(void* collator, int lenA, const void* a, int lenB, const void* b) {
    return platform::compareUtf16(*static_cast<Collator*>(collator), static_cast<const char16_t*>(a), lenA / 2,
                                  static_cast<const char16_t*>(b), lenB / 2);
}

void closeCollator(void* collator) { platform::closeCollator(static_cast<Collator*>(collator)); }

void onCollationNeeded(void*, sqlite3* db, int textRep, const char* name) {
    Collator* collator = platform::openCollator(collationKindFor(name));
    if (collator == nullptr) return;  // SQLite then reports the missing collation itself
    const bool utf8 = textRep == SQLITE_UTF8;
    const int rc = sqlite3_create_collation_v2(db, name, utf8 ? SQLITE_UTF8 : SQLITE_UTF16_ALIGNED, collator,
                                               utf8 ? compareUtf8 : compareUtf16, closeCollator);
    // SQLite only takes ownership when the registration succeeds.
    if (rc != SQLITE_OK) platform::closeCollator(collator);
}

}  // namespace

platform::CollationKind collationKindFor(const char* name) {
    if (sqlite3_stricmp(name, "NUMERICSTRING") == 0) return CollationKind::Numeric;
    if (sqlite3_stricmp(name, "USERLOCALE") == 0) return CollationKind::UserLocale;
    return CollationKind::Invariant;
}

void installCollationHandler(sqlite3* db) { sqlite3_collation_needed(db, nullptr, onCollationNeeded); }

}  // namespace vantor::db
