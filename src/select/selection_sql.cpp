// The sort query's two forms, built from the stage's SQL texts.
#include "select/selection_sql.h"

#include "db/statement.h"
#include "text/id_list.h"

namespace vantor {

std::string buildSortQuery(const std::vector<std::int64_t>& ids, const std::string& sortFilter) {
    std::string sql(selectionsql::unscoredHead);
    sql += selectionsql::sortListOpen;
    sql.reserve(sql.size() + ids.size() * 8 + sortFilter.size() + 32);
    appendIdList(sql, ids);
    // Every ID between two commas: the list closes with one as it opens.
    if (!ids.empty()) sql += ',';
    sql += selectionsql::sortTail;
    sql += sortFilter;
    return sql;
}

std::string buildKeyLookup(const std::string& list, const std::string& index) {
    std::string sql(selectionsql::keyLookupHead);
    sql += index.empty() ? std::string(selectionsql::keyLookupByKeyOnly) : " INDEXED BY " + db::quotedIdentifier(index);
    sql += selectionsql::keyLookupListOpen;
    sql += list;
    return sql += selectionsql::keyLookupListClose;
}

}  // namespace vantor
