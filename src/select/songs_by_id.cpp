// Songs read by key in chunks of IDs, for the rules and the song outputs.
#include "select/songs_by_id.h"

#include <algorithm>
#include <vector>

#include "db/connection.h"
#include "db/library_file.h"
#include "db/statement.h"
#include "report/run_error.h"
#include "text/id_list.h"

namespace vantor {

void readSongsById(db::LibraryFile& library, std::span<const std::int64_t> ids, const SongsByIdQuery& query) {
    std::vector<std::int64_t> wanted(ids.begin(), ids.end());
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    if (wanted.empty()) return;

    db::Connection connection;
    if (const int rc = connection.open(library); rc != db::result::ok) {
        throw RunError(stage::selectionOpen + rc, connection.openFailure(library, " to read " + std::string(query.what)));
    }
    const std::string head = query.head(connection);
    // The IDs are left out of the messages: a chunk is hundreds of them.
    const auto failure = [&](std::string_view step) {
        return "cannot " + std::string(step) + " " + std::string(query.what) + ": " + connection.errorMessage() +
               " in: " + head + "...)";
    };
    for (std::size_t from = 0; from < wanted.size(); from += kSongsPerQuery) {
        std::string sql = head;
        const std::size_t count = std::min(kSongsPerQuery, wanted.size() - from);
        appendIdList(sql, std::span(wanted).subspan(from, count));
        sql += ')';
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

}  // namespace vantor
