// The choice of columns the selection query fetches: every column (the
// reference), ID alone without scoring, or ID and the columns the score
// reads when SQLite walks that query exactly as the reference.
#pragma once

#include <string>

#include "scan/request.h"

namespace vantor {

namespace db {
class Connection;
}

// The selection query's head and condition: "SELECT * FROM songs WHERE " +
// condition with scoring, "SELECT ID FROM songs WHERE " + condition without.
std::string referenceSelectionSql(const SelectionRequest& request);

// The selection query to run: the reference, or the narrow query of ID and
// the columns the request's scorer reads, when SQLite plans both alike.
std::string chooseSelectionSql(db::Connection& connection, const SelectionRequest& request);

}  // namespace vantor
