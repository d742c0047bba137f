// One stage's connection to the library, and its failures in one place: a
// stage opens the library, prepares and steps its statements through a
// Session, and each failure leaves as a RunError with the stage's base plus
// SQLite's code (report/run_error.h), its message saying what failed, why,
// and in which SQL. Which statements a stage runs, and what its rows mean,
// are the stage's own business.
#pragma once

#include <string>
#include <string_view>

#include "db/connection.h"
#include "db/statement.h"
#include "filter/field_catalogue.h"
#include "report/run_error.h"

namespace vantor {

namespace db {
class LibraryFile;
}

// The bases a stage's failures add SQLite's code to.
struct StageCodes {
    int open;
    int prepare;
    int step;
};

namespace stagecodes {
inline constexpr StageCodes count{stage::countOpen, stage::countQuery, stage::countStep};
inline constexpr StageCodes date{stage::dateOpen, stage::datePrepare, stage::dateStep};
// The selection query, and every read of songs by ID that follows it.
inline constexpr StageCodes selection{stage::selectionOpen, stage::selectionPrepare, stage::selectionStep};
inline constexpr StageCodes sort{stage::sortQuery, stage::sortQuery, stage::sortQuery};
}  // namespace stagecodes

// The columns as `SELECT *` returns them, which is how the selection reads
// them: generated columns included, which PRAGMA table_info omits.
inline constexpr std::string_view kSongsColumnsSql = "SELECT * FROM songs";

// RunError(code, failure + ": " + SQLite's reason on `connection` + " in: " + sql).
RunError failureOn(const db::Connection& connection, int code, std::string_view failure, std::string_view sql);

// The songs table's columns as kSongsColumnsSql returns them, read on a
// stage's connection. A table without ID names no song, as SQLite says of
// any query that asks for it: RunError(codes.prepare + SQLite's generic error).
ColumnMap songsColumns(db::Connection& connection, const StageCodes& codes);

class Session {
public:
    // Opens the library: RunError(codes.open + SQLite's code) when it does
    // not open, the message naming the library and `purpose` (" for sorting").
    Session(db::LibraryFile& library, const StageCodes& codes, std::string_view purpose = {});
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Statements prepared on it hold on to it: it must outlive them.
    db::Connection& connection() { return connection_; }
    const StageCodes& codes() const { return codes_; }

    // The statement prepared, or RunError(codes.prepare + SQLite's code)
    // saying `failure`, SQLite's reason and `sql`.
    db::Statement prepare(const std::string& sql, std::string_view failure);

    // As prepare(), but SQLite refusing the text as SQL (its generic error)
    // is the fault of a filter the user typed: RunError(`refusedCode`) saying
    // `refused`. A busy or damaged library is no fault of the text.
    db::Statement prepareTyped(const std::string& sql, std::string_view failure, int refusedCode,
                               std::string_view refused);

    // One step: SQLite's row or done; RunError(codes.step + SQLite's code)
    // saying `failure` when the step fails.
    int step(db::Statement& statement, const std::string& sql, std::string_view failure);

    // RunError(code, failure + ": " + SQLite's reason + " in: " + sql).
    [[noreturn]] void fail(int code, std::string_view failure, std::string_view sql) const;

private:
    db::Connection connection_;
    StageCodes codes_;
};

}  // namespace vantor
