// What the album cap counts as one album: one IDAlbum where the library has
// that column (the host's own key for an album), else one Album with one
// AlbumArtist, both case-folded as artists are. This reads a row's album;
// the cap itself is a stage of select/rules.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantor {

class ColumnMap;

namespace db {
class Statement;
}

// Where a row's album fields stand (-1: not in the row). Only IDAlbum is read
// where the library has it; only Album and AlbumArtist where it has not.
struct AlbumColumns {
    int id = -1;
    int album = -1;
    int albumArtist = -1;

    bool read() const { return id >= 0 || album >= 0 || albumArtist >= 0; }
};

// The field codes the album is read from in this library: IDAlbum, or else
// whichever of Album and AlbumArtist it has (none: no song has an album).
std::vector<int> albumFieldCodes(const ColumnMap& library);

// The album fields' places in a row whose columns are `row`, read the way
// `library` (the library's own columns) decides.
AlbumColumns albumColumns(const ColumnMap& row, const ColumnMap& library);

// The current row's album as a key that two songs share exactly when they
// share an album; nothing for a song without one (an IDAlbum that is NULL,
// 0 or negative, which is the host's "no album"; a NULL or empty Album).
std::optional<std::string> albumKeyInRow(const db::Statement& statement, const AlbumColumns& at);

}  // namespace vantor
