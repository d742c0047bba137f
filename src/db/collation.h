// Stand-ins for the host's own collations. The host declares its text
// columns COLLATE IUNICODE and stores sort orders that name USERLOCALE and
// NUMERICSTRING; plain SQLite refuses any statement that compares such a
// column until a collation of that name exists on the connection.
#pragma once

struct sqlite3;

namespace vantor::db {

// Registers, on first need, an ICU collator for any collation name SQLite
// does not know: NUMERICSTRING orders digits by value, USERLOCALE follows the
// default locale, every other name (IUNICODE above all) the root locale. All
// ignore case and keep accents, sorting them beside their base letter.
void installCollationHandler(sqlite3* db);

}  // namespace vantor::db
