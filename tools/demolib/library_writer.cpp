#include "demolib/library_writer.h"

#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

#include "db/collation.h"
#include "db/statement.h"
#include "demolib/layouts.h"
#include "platform/paths.h"

namespace vantor::demo {
namespace {

// A journal left beside a file of that name would be played back into ours.
void removeCompanions(const std::string& path) {
    std::error_code ec;
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        std::filesystem::remove(platform::nativePath(path + suffix), ec);
    }
}

void removeWithCompanions(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(platform::nativePath(path), ec);
    removeCompanions(path);
}

}  // namespace

LibraryWriter::LibraryWriter(const std::string& path, Layout layout, bool utf16)
    : path_(path), partial_(path + ".partial"), columns_(columnDefs(layout).size()), layout_(layout) {
    removeWithCompanions(partial_);
    try {
        start(layout, utf16);
    } catch (...) {
        close();
        removeWithCompanions(partial_);
        throw;
    }
}

void LibraryWriter::start(Layout layout, bool utf16) {
    if (sqlite3_open_v2(partial_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        fail("cannot create " + partial_);
    }
    // The host's text columns name its collation; the stand-in lets the table and its indexes be built.
    db::installCollationHandler(db_);
    // A half-written file is thrown away, never read, so it needs no journal;
    // a large cache keeps the index builds of a big library off the disk.
    exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-131072;");
    if (layout == Layout::Current && utf16) exec("PRAGMA encoding='UTF-16le';");
    exec(createTableSql(layout));
    exec("BEGIN;");

    std::string sql = "INSERT INTO Songs VALUES (?";
    for (std::size_t i = 1; i < columns_; ++i) sql += ",?";
    sql += ")";
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &insert_, nullptr) != SQLITE_OK) fail("prepare insert");
}

LibraryWriter::~LibraryWriter() {
    if (db_ != nullptr) {
        close();
        removeWithCompanions(partial_);
    }
}

void LibraryWriter::insert(const std::vector<Value>& row) {
    if (row.size() != columns_) throw std::logic_error("row does not match the layout");
    for (std::size_t i = 0; i < columns_; ++i) {
        const int param = static_cast<int>(i) + 1;
        const Value& v = row[i];
        if (const auto* n = std::get_if<std::int64_t>(&v)) {
            sqlite3_bind_int64(insert_, param, *n);
        } else if (const auto* d = std::get_if<double>(&v)) {
            sqlite3_bind_double(insert_, param, *d);
        } else if (const auto* s = std::get_if<std::string>(&v)) {
            // The row outlives the step, so SQLite need not copy the text.
            sqlite3_bind_text64(insert_, param, s->data(), s->size(), SQLITE_STATIC, SQLITE_UTF8);
        } else {
            sqlite3_bind_null(insert_, param);
        }
    }
    if (sqlite3_step(insert_) != SQLITE_DONE) fail("insert");
    sqlite3_reset(insert_);
}

void LibraryWriter::insertMedia(const FixtureMedia& media) {
    std::string columns = "IDMedia", params = "?";
    for (const auto& entry : media.values) {
        columns += "," + entry.first;
        params += ",?";
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, ("INSERT INTO Medias(" + columns + ") VALUES(" + params + ")").c_str(), -1, &st,
                           nullptr) != SQLITE_OK) {
        fail("prepare media insert");
    }
    sqlite3_bind_int64(st, 1, media.id);
    int param = 2;
    for (const auto& entry : media.values) {
        const Value& v = entry.second;
        if (const auto* n = std::get_if<std::int64_t>(&v)) sqlite3_bind_int64(st, param, *n);
        else if (const auto* d = std::get_if<double>(&v)) sqlite3_bind_double(st, param, *d);
        else if (const auto* t = std::get_if<std::string>(&v)) sqlite3_bind_text64(st, param, t->data(), t->size(), SQLITE_STATIC, SQLITE_UTF8);
        else sqlite3_bind_null(st, param);
        ++param;
    }
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) fail("media insert");
}

void LibraryWriter::insertPlaylist(const FixturePlaylist& playlist) {
    // Prepared, bound and stepped once, finalized whatever happens.
    const auto insert = [this](const char* sql, const std::vector<std::int64_t>& numbers, const std::string* text) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) fail(std::string("prepare ") + sql);
        int param = 1;
        for (const std::int64_t n : numbers) sqlite3_bind_int64(st, param++, n);
        if (text != nullptr) sqlite3_bind_text64(st, param, text->data(), text->size(), SQLITE_STATIC, SQLITE_UTF8);
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) fail(sql);
    };
    insert("INSERT INTO Playlists(IDPlaylist,ParentPlaylist,IsAutoPlaylist,Persistent,PlaylistName) VALUES(?,?,?,1,?)",
           {playlist.id, playlist.parent, playlist.automatic ? 1 : 0}, &playlist.name);
    for (std::size_t order = 0; order < playlist.songs.size(); ++order) {
        insert("INSERT INTO PlaylistSongs(IDPlaylist,IDSong,SongOrder) VALUES(?,?,?)",
               {playlist.id, playlist.songs[order], static_cast<std::int64_t>(order)}, nullptr);
    }
}

void LibraryWriter::takeStatistics() {
    exec(createIndexesSql(layout_));
    exec("ANALYZE; DROP TABLE IF EXISTS temp.statistics; CREATE TEMP TABLE statistics AS SELECT * FROM sqlite_stat1;");
    // Building the indexes once at the end is far faster than keeping them up
    // to date row by row. Dropping them drops their statistics too, which is
    // why they were copied aside.
    std::vector<std::string> indexes;
    const auto collect = [](void* names, int, char** values, char**) {
        static_cast<std::vector<std::string>*>(names)->emplace_back(values[0]);
        return 0;
    };
    if (sqlite3_exec(db_, "SELECT name FROM sqlite_schema WHERE type = 'index' AND sql IS NOT NULL", collect, &indexes,
                     nullptr) != SQLITE_OK) {
        fail("list the indexes");
    }
    for (const std::string& name : indexes) exec("DROP INDEX " + db::quotedIdentifier(name) + ";");
    statisticsTaken_ = true;
}

void LibraryWriter::finish(bool analyze) {
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    exec(createIndexesSql(layout_));
    if (analyze) exec("ANALYZE;");
    else if (statisticsTaken_) exec("DELETE FROM sqlite_stat1; INSERT INTO sqlite_stat1 SELECT * FROM temp.statistics;");
    exec("COMMIT;");
    close();
    // rename replaces an older file in one step, so it is never lost half-way.
    removeCompanions(path_);
    std::error_code ec;
    std::filesystem::rename(platform::nativePath(partial_), platform::nativePath(path_), ec);
    if (ec) {
        removeWithCompanions(partial_);
        throw std::runtime_error("cannot move the library to " + path_ + ": " + ec.message());
    }
}

void LibraryWriter::exec(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail(sql);
}

void LibraryWriter::fail(const std::string& what) {
    throw std::runtime_error(what + ": " + sqlite3_errmsg(db_));
}

void LibraryWriter::close() noexcept {
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

}  // namespace vantor::demo
