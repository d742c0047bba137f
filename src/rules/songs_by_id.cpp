// Songs read by key, one lookup per ID, for the rules and the song outputs.
#include "rules/songs_by_id.h"

#include <algorithm>
#include <vector>

#include "db/query_plan.h"
#include "db/statement.h"
#include "library/session.h"
#include "text/id_list.h"

namespace vantor {
namespace {

// The IDs as an IN list, kSongsPerQuery at a time: for a library whose ID is
// no key, where each lookup alone would walk the whole table.
void readInLists(Session& session, const std::vector<std::int64_t>& wanted, const std::string& select,
                 const SongsByIdQuery& query) {
    const std::string head = select + " WHERE " + std::string(query.key) + " IN (";
    // The IDs are left out of the messages: a chunk is hundreds of them.
    const std::string shown = head + "...)";
    for (std::size_t from = 0; from < wanted.size(); from += kSongsPerQuery) {
        std::string sql = head;
        const std::size_t count = std::min(kSongsPerQuery, wanted.size() - from);
        appendIdList(sql, std::span(wanted).subspan(from, count));
        sql += ')';
        db::Statement statement;
        if (const int rc = statement.prepare(session.connection(), sql); rc != db::result::ok) {
            session.fail(stagecodes::selection.prepare + rc, "cannot prepare the reading of " + std::string(query.what),
                         shown);
        }
        while (session.step(statement, shown, "cannot read " + std::string(query.what)) == db::result::row) {
            query.onRow(statement);
        }
    }
}

}  // namespace

std::string fieldColumns(const ColumnMap& columns, std::span<const int> fields, std::string_view prefix) {
    std::string list;
    for (const int field : fields) {
        if (!list.empty()) list += ", ";
        if (columns.position(field) < 0) {
            list += "NULL";
        } else {
            list.append(prefix).append(columnName(field));
        }
    }
    return list;
}

std::string songByIdSql(const std::string& select, std::string_view key) {
    return select + " WHERE " + std::string(key) + " = ?1";
}

// By key, one statement bound per ID, where SQLite plans the lookup by a
// key; else in IN lists. Each ID once, in ascending order.
void readSongsById(db::LibraryFile& library, std::span<const std::int64_t> ids, const SongsByIdQuery& query) {
    std::vector<std::int64_t> wanted(ids.begin(), ids.end());
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    if (wanted.empty()) return;

    Session session(library, stagecodes::selection, " to read " + std::string(query.what));
    const std::string select = query.select(session.connection());
    // One read for all the songs: the library's lock is taken once, not once
    // per song. A failure here meets the lookups again, which report it.
    db::beginRead(session.connection(), "songs");
    const std::string sql = songByIdSql(select, query.key);
    if (!db::readsByKey(session.connection(), sql)) {
        readInLists(session, wanted, select, query);
        return;
    }

    const std::string failure = "cannot read " + std::string(query.what);
    db::Statement statement = session.prepare(sql, "cannot prepare the reading of " + std::string(query.what));
    for (const std::int64_t id : wanted) {
        if (const int rc = statement.bindInt64(1, id); rc != db::result::ok) {
            session.fail(stagecodes::selection.step + rc, failure, sql);
        }
        while (session.step(statement, sql, failure) == db::result::row) query.onRow(statement);
        statement.reset();
    }
}

}  // namespace vantor
