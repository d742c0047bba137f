// Songs read by key, one lookup per ID, for the rules and the song outputs.
#include "rules/songs_by_id.h"

#include <algorithm>
#include <vector>

#include "db/connection.h"
#include "db/library_file.h"
#include "db/query_plan.h"
#include "db/statement.h"
#include "report/run_error.h"
#include "text/id_list.h"

namespace vantor {
namespace {

// The IDs as an IN list, kSongsPerQuery at a time: for a library whose ID is
// no key, where each lookup alone would walk the whole table.
void readInLists(db::Connection& connection, const std::vector<std::int64_t>& wanted, const std::string& select,
                 const SongsByIdQuery& query) {
    const std::string head = select + " WHERE " + std::string(query.key) + " IN (";
    for (std::size_t from = 0; from < wanted.size(); from += kSongsPerQuery) {
        std::string sql = head;
        const std::size_t count = std::min(kSongsPerQuery, wanted.size() - from);
        appendIdList(sql, std::span(wanted).subspan(from, count));
        sql += ')';
        // The IDs are left out of the messages: a chunk is hundreds of them.
        const auto failure = [&](std::string_view step) {
            return "cannot " + std::string(step) + " " + std::string(query.what) + ": " + connection.errorMessage() +
                   " in: " + head + "...)";
        };
        db::Statement statement;
        if (const int rc = statement.prepare(connection, sql); rc != db::result::ok) {
            throw RunError(stage::selectionPrepare + rc, failure("prepare the reading of"));
        }
        if (query.onStatement) query.onStatement(statement);
        int rc = db::result::row;
        while ((rc = statement.step()) == db::result::row) query.onRow(statement);
        if (db::stepFailed(rc)) throw RunError(stage::selectionStep + rc, failure("read"));
    }
}

}  // namespace

std::string songByIdSql(const std::string& select, std::string_view key) {
    return select + " WHERE " + std::string(key) + " = ?1";
}

void readSongsById(db::LibraryFile& library, std::span<const std::int64_t> ids, const SongsByIdQuery& query) {
    std::vector<std::int64_t> wanted(ids.begin(), ids.end());
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    if (wanted.empty()) return;

    db::Connection connection;
    if (const int rc = connection.open(library); rc != db::result::ok) {
        throw RunError(stage::selectionOpen + rc, connection.openFailure(library, " to read " + std::string(query.what)));
    }
    const std::string select = query.select(connection);
    // One read for all the songs: the library's lock is taken once, not once
    // per song. A failure here meets the lookups again, which report it.
    db::beginRead(connection, "songs");
    const std::string sql = songByIdSql(select, query.key);
    if (!db::readsByKey(connection, sql)) {
        readInLists(connection, wanted, select, query);
        return;
    }

    const auto failure = [&](std::string_view step) {
        return "cannot " + std::string(step) + " " + std::string(query.what) + ": " + connection.errorMessage() +
               " in: " + sql;
    };
    db::Statement statement;
    if (const int rc = statement.prepare(connection, sql); rc != db::result::ok) {
        throw RunError(stage::selectionPrepare + rc, failure("prepare the reading of"));
    }
    if (query.onStatement) query.onStatement(statement);
    for (const std::int64_t id : wanted) {
        int rc = statement.bindInt64(1, id);
        if (rc == db::result::ok) {
            while ((rc = statement.step()) == db::result::row) query.onRow(statement);
        }
        if (db::stepFailed(rc)) throw RunError(stage::selectionStep + rc, failure("read"));
        statement.reset();
    }
}

}  // namespace vantor
