// The sort query's two forms, built from their SQL texts.
#include "choose/sort_sql.h"

#include "db/statement.h"
#include "scan/scan_sql.h"
#include "text/id_list.h"

namespace vantor {

std::string buildSortQuery(const std::vector<std::int64_t>& ids, const std::string& sortFilter) {
    std::string sql(selectionsql::unscoredHead);
    sql += sortsql::listOpen;
    sql.reserve(sql.size() + ids.size() * 8 + sortFilter.size() + 32);
    appendIdList(sql, ids);
    // Every ID between two commas: the list closes with one as it opens.
    if (!ids.empty()) sql += ',';
    sql += sortsql::likeTail;
    sql += sortFilter;
    return sql;
}

std::string buildKeyLookup(const std::string& list, const std::string& index) {
    std::string sql(sortsql::keyLookupHead);
    sql += index.empty() ? std::string(sortsql::keyLookupByKeyOnly) : " INDEXED BY " + db::quotedIdentifier(index);
    sql += sortsql::keyLookupListOpen;
    sql += list;
    return sql += sortsql::keyLookupListClose;
}

}  // namespace vantor
