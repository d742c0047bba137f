// The sort query's two forms, built from the stage's SQL texts. Decimal
// digits by to_chars: no locale, no printf, 64-bit IDs whole.
#include "select/selection_sql.h"

#include <charconv>

namespace vantor {

std::string buildSortQuery(const std::vector<std::int64_t>& ids, const std::string& sortFilter) {
    std::string sql(selectionsql::unscoredHead);
    sql += selectionsql::sortListOpen;
    sql.reserve(sql.size() + ids.size() * 8 + sortFilter.size() + 32);
    char digits[24];
    for (const std::int64_t id : ids) {
        sql.append(digits, std::to_chars(digits, digits + sizeof digits, id).ptr);
        sql += ',';
    }
    sql += selectionsql::sortTail;
    sql += sortFilter;
    return sql;
}

std::string buildKeyLookup(const std::string& list, const std::string& index) {
    std::string sql = "SELECT ID FROM songs";
    if (!index.empty()) sql += " INDEXED BY \"" + index + "\"";
    return sql + " WHERE ID IN (" + list + ")";
}

}  // namespace vantor
