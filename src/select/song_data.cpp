// Song data by ID: the length and the folded artist of each song, read from
// a row the selection query fetched anyway or looked up by key.
#include "select/song_data.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "db/connection.h"
#include "db/library_file.h"
#include "db/statement.h"
#include "filter/field_catalogue.h"
#include "report/run_error.h"
#include "select/statement_row.h"
#include "text/case_fold.h"

namespace vantor {

void SongData::add(std::int64_t id, std::int64_t lengthMs, std::optional<std::string_view> artist) {
    const auto [song, added] = songs_.try_emplace(id);
    if (!added) return;
    SongInfo& info = song->second;
    info.lengthMs = std::max<std::int64_t>(lengthMs, 0);
    if (artist && !artist->empty()) {
        if (const auto known = spelled_.find(*artist); known != spelled_.end()) {
            info.artist = known->second;
        } else {
            const auto [it, fresh] = artists_.try_emplace(foldCase(*artist), static_cast<std::int32_t>(artists_.size()));
            info.artist = it->second;
            spelled_.emplace(std::string(*artist), info.artist);
        }
    }
}

void SongData::addRow(std::int64_t id, const db::Statement& statement, int lengthColumn, int artistColumn) {
    std::int64_t length = 0;
    if (lengthColumn >= 0 && statement.text(lengthColumn)) length = statement.columnInt64(lengthColumn);
    std::optional<std::string_view> artist;
    if (artistColumn >= 0) artist = statement.text(artistColumn);
    add(id, length, artist);
}

SongInfo SongData::of(std::int64_t id) const {
    const auto it = songs_.find(id);
    return it == songs_.end() ? SongInfo{} : it->second;
}

std::int64_t SongData::shortestLength() const {
    std::int64_t shortest = 0;
    for (const auto& [id, info] : songs_) {
        if (info.lengthMs > 0 && (shortest == 0 || info.lengthMs < shortest)) shortest = info.lengthMs;
    }
    return shortest;
}

std::int64_t SongData::meanLength() const {
    // In long double: a million songs of hours each stay exact enough.
    long double total = 0;
    std::int64_t n = 0;
    for (const auto& [id, info] : songs_) {
        if (info.lengthMs > 0) total += static_cast<long double>(info.lengthMs), ++n;
    }
    return n == 0 ? 0 : static_cast<std::int64_t>(total / static_cast<long double>(n));
}

void lookUpSongData(db::LibraryFile& library, const std::vector<std::int64_t>& ids, SongData& data) {
    std::vector<std::int64_t> wanted;
    for (const std::int64_t id : ids) {
        if (!data.has(id)) wanted.push_back(id);
    }
    if (wanted.empty()) return;
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());

    db::Connection connection;
    if (const int rc = connection.open(library); rc != db::result::ok) {
        throw RunError(stage::selectionOpen + rc,
                       "cannot open the library " + library.path() + " for song data: " + connection.errorMessage());
    }
    // Every column, so a table without SongLength or Artist reads as songs
    // without them instead of failing; the rows are few, by key.
    constexpr std::size_t kPerQuery = 500;
    for (std::size_t from = 0; from < wanted.size(); from += kPerQuery) {
        std::string sql = "SELECT * FROM songs WHERE ID IN (";
        char digits[24];
        for (std::size_t i = from; i < std::min(wanted.size(), from + kPerQuery); ++i) {
            if (i > from) sql += ',';
            sql.append(digits, std::to_chars(digits, digits + sizeof digits, wanted[i]).ptr);
        }
        sql += ')';
        db::Statement statement;
        if (const int rc = statement.prepare(connection, sql); rc != db::result::ok) {
            throw RunError(stage::selectionPrepare + rc,
                           "the song data could not be read: " + connection.errorMessage() + " in: " + sql);
        }
        const ColumnMap columns = ColumnMap::fromColumnNames(db::columnNames(statement));
        const int idColumn = columns.position(fieldcode::id);
        if (idColumn < 0) {
            throw RunError(stage::selectionPrepare + db::result::error, "the songs table has no ID column: " + sql);
        }
        const int lengthColumn = columns.position(fieldcode::songLength);
        const int artistColumn = columns.position(fieldcode::artist);
        int step = db::result::row;
        while ((step = statement.step()) == db::result::row) {
            data.addRow(idOf(statement, idColumn), statement, lengthColumn, artistColumn);
        }
        if (db::stepFailed(step)) {
            throw RunError(stage::selectionStep + step,
                           "the song data could not be read: " + connection.errorMessage() + " in: " + sql);
        }
    }
}

}  // namespace vantor
