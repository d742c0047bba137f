// Hand-built libraries for end-to-end tests of odd and hostile cases: a
// songs table with exactly the columns and rows a test names, so a fixture
// shows the fault it is about (a narrow table, huge IDs, a lock).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "db_test_support.h"
#include "filter/field_catalogue.h"
#include "platform/paths.h"

namespace vantor::testing {

// CREATE TABLE songs in the classic layout, cut after `columns` columns:
// each catalogued column at its field code, the others "Unused<N>".
inline std::string classicSongsTable(std::size_t columns = 92) {
    std::vector<std::string> defs(columns);
    for (std::size_t i = 0; i < columns; ++i) defs[i] = "Unused" + std::to_string(i) + " INTEGER";
    if (columns > 0) defs[0] = "ID INTEGER PRIMARY KEY";
    for (const Field& f : fieldCatalogue()) {
        if (f.code >= static_cast<int>(columns) || f.code > fieldcode::maxColumnCode) continue;
        defs[static_cast<std::size_t>(f.code)] =
            std::string(f.column) + (f.kind == FieldKind::Text ? " TEXT" : " REAL");
    }
    std::string sql = "CREATE TABLE songs(";
    for (std::size_t i = 0; i < defs.size(); ++i) sql += (i > 0 ? "," : "") + defs[i];
    return sql + ")";
}

inline void buildLibrary(const std::string& path, const std::string& createTable,
                         const std::vector<std::string>& statements) {
    std::filesystem::remove(platform::nativePath(path));
    Writer w(path);
    w.exec("PRAGMA journal_mode=DELETE");
    w.exec(createTable);
    for (const std::string& sql : statements) w.exec(sql);
}

// Three songs, rollback journal, classic layout:
//   11 ABBA  Pop   rating 100  12 plays
//   12 Queen Rock  rating 80   30 plays
//   13 The Beatles Rock rating 60  5 plays
inline std::string threeSongLibrary(const std::filesystem::path& dir, const std::string& name = "lib.db") {
    const std::string path = platform::utf8Path(dir / platform::nativePath(name));
    buildLibrary(path, classicSongsTable(),
                 {"INSERT INTO songs(ID,Artist,Genre,Rating,PlayCounter,Year,SongLength,LastTimePlayed) VALUES"
                  "(11,'ABBA','Pop',100,12,1976,230000,45000.5),"
                  "(12,'Queen','Rock',80,30,1975,355000,45100),"
                  "(13,'The Beatles','Rock',60,5,1970,243000,30000)"});
    return path;
}

}  // namespace vantor::testing
