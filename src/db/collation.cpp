#include "db/collation.h"

#include <sqlite3.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <cstring>

namespace vantor::db {
namespace {

// A byte order keeps comparisons total if ICU ever refuses a pair.
int bytewise(const void* a, int lenA, const void* b, int lenB) {
    const int common = lenA < lenB ? lenA : lenB;
    if (const int c = std::memcmp(a, b, static_cast<std::size_t>(common)); c != 0) return c;
    return (lenA > lenB) - (lenA < lenB);
}

int compareUtf8(void* collator, int lenA, const void* a, int lenB, const void* b) {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = ucol_strcollUTF8(static_cast<UCollator*>(collator), static_cast<const char*>(a),
                                                lenA, static_cast<const char*>(b), lenB, &status);
    if (U_FAILURE(status)) return bytewise(a, lenA, b, lenB);
    return static_cast<int>(r);
}

// SQLite gives UTF-16 lengths in bytes; ICU wants code units.
int compareUtf16(void* collator, int lenA, const void* a, int lenB, const void* b) {
    return static_cast<int>(ucol_strcoll(static_cast<UCollator*>(collator), static_cast<const UChar*>(a),
                                         lenA / 2, static_cast<const UChar*>(b), lenB / 2));
}

void closeCollator(void* collator) { ucol_close(static_cast<UCollator*>(collator)); }

// "" is ICU's root locale. A process left in the C locale has ICU default to
// en_US_POSIX, whose collation orders by case; root is what a user expects there.
const char* localeFor(const char* name) {
    if (sqlite3_stricmp(name, "USERLOCALE") != 0) return "";
    const char* locale = uloc_getDefault();
    return std::strcmp(locale, "en_US_POSIX") == 0 ? "" : locale;
}

UCollator* openCollatorFor(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(localeFor(name), &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return nullptr;
    }
    // Secondary strength: case is a tertiary difference and so ignored; accents stay.
    ucol_setStrength(collator, UCOL_SECONDARY);
    if (sqlite3_stricmp(name, "NUMERICSTRING") == 0) {
        ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    }
    return collator;
}

void onCollationNeeded(void*, sqlite3* db, int textRep, const char* name) {
    UCollator* collator = openCollatorFor(name);
    if (collator == nullptr) return;  // SQLite then reports the missing collation itself
    const bool utf8 = textRep == SQLITE_UTF8;
    const int rc = sqlite3_create_collation_v2(db, name, utf8 ? SQLITE_UTF8 : SQLITE_UTF16_ALIGNED, collator,
                                               utf8 ? compareUtf8 : compareUtf16, closeCollator);
    // SQLite only takes ownership when the registration succeeds.
    if (rc != SQLITE_OK) ucol_close(collator);
}

}  // namespace

void installCollationHandler(sqlite3* db) { sqlite3_collation_needed(db, nullptr, onCollationNeeded); }

}  // namespace vantor::db
