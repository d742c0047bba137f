// Writes a new library file row by row: schema, one transaction, one
// prepared insert, indexes at the end. The file appears at its path only
// when finish() succeeds; until then the old file, if any, is untouched.
#pragma once

#include <string>
#include <vector>

#include "demolib/demolib.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vantor::demo {

class LibraryWriter {
public:
    LibraryWriter(const std::string& path, Layout layout, bool utf16);
    ~LibraryWriter();
    LibraryWriter(const LibraryWriter&) = delete;
    LibraryWriter& operator=(const LibraryWriter&) = delete;

    // One value per column of the layout, in position order.
    void insert(const std::vector<Value>& row);

    // One row of the Medias table (current layout); the columns are checked by the caller.
    void insertMedia(const FixtureMedia& media);

    // One row of the Playlists table and its songs (current layout).
    void insertPlaylist(const FixturePlaylist& playlist);

    // Takes what ANALYZE finds over the rows written so far; finish() stores
    // it as the library's sqlite_stat1, however many rows follow.
    void takeStatistics();

    // Builds the indexes, stores the statistics taken (with `analyze`, those
    // of the whole library instead), commits and moves the file into place.
    void finish(bool analyze = false);

private:
    void start(Layout layout, bool utf16);
    void exec(const std::string& sql);
    [[noreturn]] void fail(const std::string& what);
    void close() noexcept;

    std::string path_;
    std::string partial_;
    std::size_t columns_;
    Layout layout_;
    bool statisticsTaken_ = false;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
};

}  // namespace vantor::demo
