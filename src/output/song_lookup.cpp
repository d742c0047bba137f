// Reading the chosen songs by ID. The final list is short next to the
// candidates the selection reads (COUNT songs in modes 1 and 2), so these
// texts are read for it alone, after the selection, rather than carried
// through every candidate row; the selection query keeps its planned columns.
#include "output/song_lookup.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

#include "db/connection.h"
#include "db/statement.h"
#include "filter/field_catalogue.h"
#include "library/session.h"
#include "report/run_error.h"
#include "rules/songs_by_id.h"
#include "text/one_line.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

// The fields a chosen song is read with, in the order songOf reads them; the
// media's drive letter follows them.
constexpr int kChosenFields[] = {fieldcode::id, fieldcode::artist, fieldcode::songTitle, fieldcode::songLength,
                                 fieldcode::songPath};

// The host keeps a song's drive with its media: Medias.DriveLetter of the
// row whose IDMedia the song names. The classic layout has no such table.
constexpr const char* kMediaTable = "Medias";
constexpr const char* kDriveLetter = "DriveLetter";

bool hasColumn(const std::vector<std::string>& columns, std::string_view name) {
    return std::any_of(columns.begin(), columns.end(),
                       [&](const std::string& c) { return equalsIgnoreAsciiCase(c, name); });
}

// Whether the library keeps the songs' media with their drive letters.
bool keepsMediaDrives(db::Connection& connection, const ColumnMap& songs) {
    int rc = db::result::ok;
    const std::vector<std::string> medias = db::tableColumnNames(connection, kMediaTable, &rc);
    if (rc != db::result::ok) {
        throw RunError(stage::selectionPrepare + rc,
                       std::string("cannot read the columns of ") + kMediaTable + ": " + connection.errorMessage());
    }
    return songs.position(fieldcode::idMedia) >= 0 && hasColumn(medias, columnName(fieldcode::idMedia)) &&
           hasColumn(medias, kDriveLetter);
}

std::optional<std::int64_t> lengthSeconds(const db::Statement& row, int col) {
    if (!row.text(col)) return std::nullopt;
    return row.isInteger(col) ? secondsOfLength(row.columnInt64(col)) : secondsOfLength(row.columnDouble(col));
}

// The columns in the order of kChosenFields, the drive after them.
ChosenSong songOf(const db::Statement& row) {
    ChosenSong song;
    // Tags may hold line breaks and tabs, which would split an M3U entry or a listing column.
    song.artist = oneLine(row.text(1).value_or(""));
    song.title = oneLine(row.text(2).value_or(""));
    song.seconds = lengthSeconds(row, 3);
    const std::string stored(row.text(4).value_or(""));
    const std::optional<std::int64_t> drive =
        row.text(5) && row.isInteger(5) ? std::optional<std::int64_t>(row.columnInt64(5)) : std::nullopt;
    const std::optional<std::string> path = hostPath(stored, drive);
    song.path = path.value_or(stored);
    song.driveUnknown = !path;
    return song;
}

}  // namespace

std::string chosenSongsSelect(db::Connection& connection) {
    const ColumnMap songs = songsColumns(connection, stagecodes::selection);
    // The media as a subquery of one row, not a join: a statement of one
    // table, looked up by one key, is planned by its key alone, and so is
    // the subquery, whatever the library's statistics say.
    const std::string idMedia(columnName(fieldcode::idMedia));
    std::string drive = "NULL";
    if (keepsMediaDrives(connection, songs)) {
        drive = std::string("(SELECT m.") + kDriveLetter + " FROM " + kMediaTable + " AS m WHERE m." + idMedia +
                " = s." + idMedia + ")";
    }
    return "SELECT " + fieldColumns(songs, kChosenFields, "s.") + ", " + drive + " FROM songs AS s";
}

std::optional<std::int64_t> secondsOfLength(std::int64_t milliseconds) {
    if (milliseconds <= 0) return std::nullopt;
    return milliseconds / 1000 + (milliseconds % 1000 >= 500 ? 1 : 0);
}

std::optional<std::int64_t> secondsOfLength(double milliseconds) {
    // Beyond a billion years is no song's length, and would not fit the integer.
    if (!(milliseconds > 0) || milliseconds > 1e18) return std::nullopt;
    return static_cast<std::int64_t>(std::floor(milliseconds / 1000.0 + 0.5));
}

std::optional<std::string> hostPath(std::string_view stored, std::optional<std::int64_t> driveLetter) {
    if (!stored.starts_with(':')) return std::string(stored);
    if (!driveLetter || *driveLetter < 0 || *driveLetter > 25) return std::nullopt;
    return static_cast<char>('A' + *driveLetter) + std::string(stored);
}

std::string songName(const ChosenSong& song, std::string_view dash) {
    if (song.artist.empty()) return song.title;
    if (song.title.empty()) return song.artist;
    return song.artist + std::string(dash) + song.title;
}

SongTable lookUpSongs(db::LibraryFile& library, std::span<const std::int64_t> ids) {
    SongTable songs;
    readSongsById(library, ids,
                  {.what = "the chosen songs",
                   .select = chosenSongsSelect,
                   .key = "s.ID",
                   // A songs table may hold an ID twice: the first row counts.
                   .onRow = [&](const db::Statement& row) { songs.emplace(row.columnInt64(0), songOf(row)); }});
    return songs;
}

void reportMissingSongs(std::span<const std::int64_t> ids, const SongTable& songs, bool inM3u, std::ostream& err) {
    std::unordered_set<std::int64_t> told;
    for (const std::int64_t id : ids) {
        if (songs.contains(id) || !told.insert(id).second) continue;
        err << "vantor: song " << id << " is not in the library: it stays in the ID list"
            << (inM3u ? " and is left out of the M3U" : "") << "\n";
    }
}

}  // namespace vantor
