// Songs read by key after the selection: the rules' song data and the
// chosen songs' tags both come this way, on a connection of their own with
// the selection connection's codes, each column named by the field
// catalogue.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "filter/field_catalogue.h"

namespace vantor {

namespace db {
class Connection;
class LibraryFile;
class Statement;
}  // namespace db

// IDs per query where the library's ID is no key to look a song up by (see
// readSongsById): a short statement text, and few statements for a list of
// a million songs.
inline constexpr std::size_t kSongsPerQuery = 500;

// A SELECT list of the fields' columns by their catalogue names, each after
// `prefix` ("s."), NULL for a column the library lacks, joined by ", ": the
// row's columns come in the order of `fields`.
std::string fieldColumns(const ColumnMap& columns, std::span<const int> fields, std::string_view prefix = {});

// One read by key: `select` builds the SELECT, without its WHERE, on the
// open connection; `key` names the ID column in it ("ID", "s.ID"); `onRow`
// sees every row.
struct SongsByIdQuery {
    std::string_view what;  // what is read, for the messages: "the song data", "the chosen songs"
    std::function<std::string(db::Connection&)> select;
    std::string_view key;
    std::function<void(const db::Statement&)> onRow;
};

// The statement that reads one song: `select` WHERE `key` = ?1.
std::string songByIdSql(const std::string& select, std::string_view key);

// Runs the query for each distinct ID of `ids`, in ascending order, within
// one read of the library. Each song is looked up alone by its key, a plan
// that no statistics of the library can change (SQLite plans a lookup of
// one row by its key without weighing costs). Only a library whose ID is no
// key is read kSongsPerQuery IDs at a time, as an IN list. Throws RunError
// stage::selectionOpen, selectionPrepare or selectionStep + SQLite's code.
// IDs the library does not hold give no row.
void readSongsById(db::LibraryFile& library, std::span<const std::int64_t> ids, const SongsByIdQuery& query);

}  // namespace vantor
