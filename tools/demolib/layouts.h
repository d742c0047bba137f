// The two songs-table layouts the demo libraries are written in: column
// names and declared types in position order, and the schema text for each.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "demolib/demolib.h"

namespace vantor::demo {

struct ColumnDef {
    std::string name;
    std::string type;  // as declared, e.g. "TEXT" or "REAL"
};

const std::vector<ColumnDef>& columnDefs(Layout layout);

// Position of the column, ignoring ASCII case, or -1 when the layout lacks it.
int columnIndex(Layout layout, std::string_view name);

// The Medias table's column names in position order (current layout only).
const std::vector<std::string>& mediaColumnNames();

// The CREATE TABLE statements (Songs, and Medias and the playlists for the current layout), and
// the CREATE INDEX statements to run once the rows are in.
std::string createTableSql(Layout layout);
std::string createIndexesSql(Layout layout);

}  // namespace vantor::demo
