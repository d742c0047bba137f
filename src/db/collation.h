// Stand-ins for the host's own collations. The host declares its text
// columns COLLATE IUNICODE and stores sort orders that name USERLOCALE and
// NUMERICSTRING; plain SQLite refuses any statement that compares such a
// column until a collation of that name exists on the connection.
#pragma once

#include "platform/collator.h"

struct sqlite3;

namespace vantor::db {

// Registers, on first need, a collation for any name SQLite does not know:
// NUMERICSTRING orders digits by value, USERLOCALE follows the user's
// language, every other name (IUNICODE above all) the language-neutral order.
// All ignore case and keep accents, sorting them beside their base letter.
// The comparisons come from the system (platform/collator.h).
void installCollationHandler(sqlite3* db);

// The kind of comparison the handler installs for a collation name.
platform::CollationKind collationKindFor(const char* name);

}  // namespace vantor::db
