// Opening, preparing and stepping with a stage's codes. The messages go to
// standard error only; the code alone reaches the result file.
#include "library/session.h"

#include "db/library_file.h"

namespace vantor {

RunError failureOn(const db::Connection& connection, int code, std::string_view failure, std::string_view sql) {
    return RunError(code, std::string(failure) + ": " + connection.errorMessage() + " in: " + std::string(sql));
}

ColumnMap songsColumns(db::Connection& connection, const StageCodes& codes) {
    const std::string sql(kSongsColumnsSql);
    db::Statement statement;
    if (const int rc = statement.prepare(connection, sql); rc != db::result::ok) {
        throw failureOn(connection, codes.prepare + rc, "cannot read the columns", sql);
    }
    const ColumnMap columns = ColumnMap::fromColumnNames(db::columnNames(statement));
    if (columns.position(fieldcode::id) < 0) {
        throw RunError(codes.prepare + db::result::error, "the songs table has no ID column");
    }
    return columns;
}

Session::Session(db::LibraryFile& library, const StageCodes& codes, std::string_view purpose) : codes_(codes) {
    if (const int rc = connection_.open(library); rc != db::result::ok) {
        throw RunError(codes.open + rc, connection_.openFailure(library, purpose));
    }
}

db::Statement Session::prepare(const std::string& sql, std::string_view failure) {
    db::Statement statement;
    if (const int rc = statement.prepare(connection_, sql); rc != db::result::ok) {
        fail(codes_.prepare + rc, failure, sql);
    }
    return statement;
}

db::Statement Session::prepareTyped(const std::string& sql, std::string_view failure, int refusedCode,
                                    std::string_view refused) {
    db::Statement statement;
    if (const int rc = statement.prepare(connection_, sql); rc == db::result::error) {
        fail(refusedCode, refused, sql);
    } else if (rc != db::result::ok) {
        fail(codes_.prepare + rc, failure, sql);
    }
    return statement;
}

int Session::step(db::Statement& statement, const std::string& sql, std::string_view failure) {
    const int rc = statement.step();
    if (db::stepFailed(rc)) fail(codes_.step + rc, failure, sql);
    return rc;
}

void Session::fail(int code, std::string_view failure, std::string_view sql) const {
    throw failureOn(connection_, code, failure, sql);
}

}  // namespace vantor
