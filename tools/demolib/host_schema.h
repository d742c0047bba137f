// The host's own schema text for the songs table of the current layout, and
// the media table beside it.
#pragma once

namespace vantor::demo {

extern const char* const kHostSongsTable;    // CREATE TABLE Songs (...), 103 columns
extern const char* const kHostSongsIndexes;  // the host's 13 CREATE INDEX statements
extern const char* const kHostMediasTable;   // CREATE TABLE Medias (...), 14 columns

}  // namespace vantor::demo
