// A row's album as one key. The key is text so that both ways of naming an
// album number alike in SongData; a library uses one way for every song.
#include "select/album.h"

#include <cstdint>

#include "db/statement.h"
#include "filter/field_catalogue.h"
#include "text/case_fold.h"

namespace vantor {

std::vector<int> albumFieldCodes(const ColumnMap& library) {
    if (library.position(fieldcode::idAlbum) >= 0) return {fieldcode::idAlbum};
    std::vector<int> codes;
    for (const int code : {fieldcode::album, fieldcode::albumArtist}) {
        if (library.position(code) >= 0) codes.push_back(code);
    }
    return codes;
}

AlbumColumns albumColumns(const ColumnMap& row, const ColumnMap& library) {
    if (library.position(fieldcode::idAlbum) >= 0) return {.id = row.position(fieldcode::idAlbum)};
    return {.album = row.position(fieldcode::album), .albumArtist = row.position(fieldcode::albumArtist)};
}

std::optional<std::string> albumKeyInRow(const db::Statement& statement, const AlbumColumns& at) {
    if (at.id >= 0) {
        // NULL reads as 0; the host stores -1 for a song it keeps in no album.
        const std::int64_t id = statement.columnInt64(at.id);
        if (id <= 0) return std::nullopt;
        return "#" + std::to_string(id);
    }
    const auto album = at.album >= 0 ? statement.text(at.album) : std::nullopt;
    if (!album || album->empty()) return std::nullopt;
    std::string key = foldCase(*album);
    // The album's length first, so that no album and album artist can read
    // as another pair's ("ab" by "c" is not "a" by "bc").
    key.insert(0, std::to_string(key.size()) + ":");
    if (const auto albumArtist = at.albumArtist >= 0 ? statement.text(at.albumArtist) : std::nullopt) {
        key += foldCase(*albumArtist);
    }
    return key;
}

}  // namespace vantor
