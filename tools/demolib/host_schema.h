// The host's own schema text for the songs table of the current layout, and
// the media and playlist tables beside it.
#pragma once

namespace vantor::demo {

extern const char* const kHostSongsTable;    // CREATE TABLE Songs (...), 103 columns
extern const char* const kHostSongsIndexes;  // the host's 13 CREATE INDEX statements
extern const char* const kHostMediasTable;   // CREATE TABLE Medias (...), 14 columns
extern const char* const kHostPlaylistTables;   // CREATE TABLE Playlists and PlaylistSongs
extern const char* const kHostPlaylistIndexes;  // their 3 CREATE INDEX statements

}  // namespace vantor::demo
