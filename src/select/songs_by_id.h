// Songs read by key after the selection: the rules' song data and the
// chosen songs' tags both come this way, on a connection of their own with
// the selection connection's codes.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace vantor {

namespace db {
class Connection;
class LibraryFile;
class Statement;
}  // namespace db

// IDs per query: a short statement text, and few statements for a list of a
// million songs.
inline constexpr std::size_t kSongsPerQuery = 500;

// One read by key: `head` builds the SELECT up to and with "ID IN (" on the
// open connection; `onStatement` (may be empty) sees each prepared statement
// before its rows; `onRow` sees every row.
struct SongsByIdQuery {
    std::string_view what;  // what is read, for the messages: "the song data", "the chosen songs"
    std::function<std::string(db::Connection&)> head;
    std::function<void(const db::Statement&)> onStatement;
    std::function<void(const db::Statement&)> onRow;
};

// Runs the query over the distinct IDs of `ids`, kSongsPerQuery at a time.
// Throws RunError stage::selectionOpen, selectionPrepare or selectionStep +
// SQLite's code. IDs the library does not hold give no row.
void readSongsById(db::LibraryFile& library, std::span<const std::int64_t> ids, const SongsByIdQuery& query);

}  // namespace vantor
