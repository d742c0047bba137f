// Libraries carrying the statistics of SQLite's ANALYZE as a host may leave
// them: none, fresh, stale (taken on a far smaller library), or counts that
// make every walk of a whole table look cheap. Written with plain SQL, as a
// host's ANALYZE would leave them, so no generator decides what they hold.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "db_test_support.h"
#include "demolib/demolib.h"

namespace vantor::testing {

enum class Statistics { None, Fresh, Stale, OneRow };

inline const char* statisticsName(Statistics statistics) {
    switch (statistics) {
        case Statistics::None: return "none";
        case Statistics::Fresh: return "fresh";
        case Statistics::Stale: return "stale";
        case Statistics::OneRow: return "one row";
    }
    return "?";
}

inline constexpr Statistics kEveryStatistics[] = {Statistics::None, Statistics::Fresh, Statistics::Stale,
                                                  Statistics::OneRow};

// Whether the library holds a table of this name.
inline bool hasTable(Writer& writer, const std::string& name) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(writer.handle(), "SELECT 1 FROM sqlite_master WHERE name = ?1", -1, &statement, nullptr);
    sqlite3_bind_text(statement, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    const bool found = sqlite3_step(statement) == SQLITE_ROW;
    sqlite3_finalize(statement);
    return found;
}

// Every count of a sqlite_stat1 row as 1: "188 14" becomes "1 1".
inline std::string oneRowCounts(const std::string& stat) {
    std::string out;
    for (std::size_t i = 0; i < stat.size(); ++i) {
        if (stat[i] >= '0' && stat[i] <= '9' && (i == 0 || stat[i - 1] == ' ')) out += out.empty() ? "1" : " 1";
    }
    return out;
}

// Puts `statistics` into the library at `path` (its own, if any, go first).
// Stale ones come from ANALYZE on a library of 188 songs made alike (the
// real libraries' count), and carry its sqlite_stat4 where the build keeps
// one; `scratch` is a folder for that library.
inline void plantStatistics(const std::string& path, Statistics statistics, const std::string& scratch,
                            demo::Layout layout = demo::Layout::Current) {
    Writer writer(path);
    writer.exec("DROP TABLE IF EXISTS sqlite_stat1; DROP TABLE IF EXISTS sqlite_stat4;");
    if (statistics == Statistics::None) return;
    writer.exec("ANALYZE");
    if (statistics == Statistics::Stale) {
        const std::string small = scratch + "/analyzed-188.db";
        demo::GenerateOptions options;
        options.layout = layout;
        options.songs = 188;
        demo::generateLibrary(small, options);
        bool stat4 = false;
        {
            Writer analyzed(small);
            analyzed.exec("DROP TABLE IF EXISTS sqlite_stat1; DROP TABLE IF EXISTS sqlite_stat4; ANALYZE");
            stat4 = hasTable(analyzed, "sqlite_stat4");
        }
        writer.exec("ATTACH '" + small + "' AS analyzed");
        writer.exec("DELETE FROM sqlite_stat1; INSERT INTO sqlite_stat1 SELECT * FROM analyzed.sqlite_stat1");
        if (stat4) {
            writer.exec("DELETE FROM sqlite_stat4; INSERT INTO sqlite_stat4 SELECT * FROM analyzed.sqlite_stat4");
        }
        writer.exec("DETACH analyzed");
    } else if (statistics == Statistics::OneRow) {
        std::vector<std::string> updates;
        sqlite3_stmt* rows = nullptr;
        sqlite3_prepare_v2(writer.handle(), "SELECT rowid, stat FROM sqlite_stat1", -1, &rows, nullptr);
        while (sqlite3_step(rows) == SQLITE_ROW) {
            const std::string stat = reinterpret_cast<const char*>(sqlite3_column_text(rows, 1));
            updates.push_back("UPDATE sqlite_stat1 SET stat = '" + oneRowCounts(stat) +
                              "' WHERE rowid = " + std::to_string(sqlite3_column_int64(rows, 0)));
        }
        sqlite3_finalize(rows);
        for (const std::string& update : updates) writer.exec(update);
    }
}

}  // namespace vantor::testing
