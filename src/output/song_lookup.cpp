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
#include "db/library_file.h"
#include "db/statement.h"
#include "report/run_error.h"
#include "rules/songs_by_id.h"
#include "text/one_line.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

bool hasColumn(const std::vector<std::string>& columns, std::string_view name) {
    return std::any_of(columns.begin(), columns.end(),
                       [&](const std::string& c) { return equalsIgnoreAsciiCase(c, name); });
}

std::vector<std::string> columnsOf(db::Connection& connection, const std::string& table) {
    int rc = db::result::ok;
    std::vector<std::string> names = db::tableColumnNames(connection, table, &rc);
    if (rc != db::result::ok) {
        throw RunError(stage::selectionPrepare + rc,
                       "cannot read the columns of " + table + ": " + connection.errorMessage());
    }
    return names;
}

std::optional<std::int64_t> lengthSeconds(const db::Statement& row, int col) {
    if (!row.text(col)) return std::nullopt;
    return row.isInteger(col) ? secondsOfLength(row.columnInt64(col)) : secondsOfLength(row.columnDouble(col));
}

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
    const std::vector<std::string> songs = columnsOf(connection, "songs");
    if (!hasColumn(songs, "ID")) {
        throw RunError(stage::selectionPrepare + db::result::error, "the songs table has no ID column");
    }
    const auto column = [&](const char* name) { return hasColumn(songs, name) ? std::string("s.") + name : "NULL"; };
    const std::vector<std::string> medias = columnsOf(connection, "Medias");
    const bool media = hasColumn(songs, "IDMedia") && hasColumn(medias, "IDMedia") && hasColumn(medias, "DriveLetter");
    // The media as a subquery of one row, not a join: a statement of one
    // table, looked up by one key, is planned by its key alone, and so is
    // the subquery, whatever the library's statistics say.
    const std::string drive = media ? "(SELECT m.DriveLetter FROM Medias AS m WHERE m.IDMedia = s.IDMedia)" : "NULL";
    return "SELECT s.ID, " + column("Artist") + ", " + column("SongTitle") + ", " + column("SongLength") + ", " +
           column("SongPath") + ", " + drive + " FROM songs AS s";
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
                   .onStatement = {},
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
