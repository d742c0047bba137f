// Song data by ID: the length and the folded artist of each song, read from
// a row the selection query fetched anyway or looked up by key.
#include "rules/song_data.h"

#include <algorithm>
#include <limits>

#include "db/connection.h"
#include "db/library_file.h"
#include "db/statement.h"
#include "filter/field_catalogue.h"
#include "library/session.h"
#include "rules/songs_by_id.h"
#include "rules/statement_row.h"
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

std::int64_t lengthInRow(const db::Statement& statement, int lengthColumn) {
    return lengthColumn >= 0 && statement.text(lengthColumn) ? statement.columnInt64(lengthColumn) : 0;
}

std::optional<std::string_view> artistInRow(const db::Statement& statement, int artistColumn) {
    return artistColumn >= 0 ? statement.text(artistColumn) : std::nullopt;
}

void SongData::addRow(std::int64_t id, const db::Statement& statement, int lengthColumn, int artistColumn) {
    add(id, lengthInRow(statement, lengthColumn), artistInRow(statement, artistColumn));
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
    readSongsById(library, wanted,
                  {.what = "the song data",
                   // A column the table lacks reads as NULL: songs without a length or an artist.
                   .select =
                       [](db::Connection& connection) {
                           return songDataSelect(songsColumns(connection, stagecodes::selection));
                       },
                   .key = "ID",
                   .onRow = [&](const db::Statement& statement) { data.addRow(idOf(statement, 0), statement, 1, 2); }});
}

std::string songDataSelect(const ColumnMap& columns) {
    static constexpr int kFields[] = {fieldcode::id, fieldcode::songLength, fieldcode::artist};
    return "SELECT " + fieldColumns(columns, kFields) + " FROM songs";
}

}  // namespace vantor
