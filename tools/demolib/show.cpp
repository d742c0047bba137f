// Puts names to the IDs of a result file, so a person can judge a run.
#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>

#include "db/connection.h"
#include "db/statement.h"
#include "demolib/demolib.h"
#include "support/files.h"
#include "text/toolkit.h"

namespace vantor::demo {
namespace {

bool isIdList(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (!(c == ',' || c == '-' || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

}  // namespace

void showResult(const std::string& dbPath, const std::string& resultPath, std::ostream& out) {
    const auto result = readWholeFile(resultPath);
    if (!result) throw std::runtime_error("cannot read " + resultPath);
    if (result->empty()) return;  // a run that chose no songs
    if (!isIdList(*result)) {
        out << *result;
        if (result->back() != '\n') out << '\n';
        return;
    }

    db::Connection db;
    if (db.open(dbPath) != SQLITE_OK) throw std::runtime_error(dbPath + ": " + db.errorMessage());
    for (const std::int64_t id : nsplit(*result, ',')) {
        db::Statement st;
        if (st.prepare(db, "SELECT Artist, SongTitle FROM songs WHERE ID=" + std::to_string(id)) != SQLITE_OK) {
            throw std::runtime_error(dbPath + ": " + db.errorMessage());
        }
        out << id << "  ";
        if (st.step() == SQLITE_ROW) {
            out << st.text(0).value_or("") << " – " << st.text(1).value_or("") << '\n';
        } else {
            out << "(not in the library)\n";
        }
    }
}

}  // namespace vantor::demo
