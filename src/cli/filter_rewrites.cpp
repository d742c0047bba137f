#include "cli/filter_rewrites.h"

#include "filter/expansion.h"
#include "filter/passes.h"
#include "text/toolkit.h"

namespace vantor {

void rewriteMathFilterAsTyped(std::string& math) {
    // Case-sensitive on purpose: "SongLength" as typed stays in milliseconds.
    replace(math, "songlength", "(songlength/1000.0)");
    replace(math, "EMPTY", "''");
}

void normaliseQueryFilter(std::string& query) {
    minusToNot(query);
    stripspacesAroundOperators2(query);
    replace(query, "EMPTY", "''");
    lowercase(query);
}

void rewriteStarEqualities(std::string& query) {
    for (char n = '0'; n <= '5'; ++n) {
        const std::string digit(1, n);
        replace(query, "rating=" + digit, "(rating>=" + digit + " & rating<=" + digit + ")");
    }
}

void rewriteMathRating(std::string& math) { replace(math, "rating", "(rating/20.0)"); }

std::string sqlSortFilter(const std::string& sortFilter) {
    if (sortFilter.empty() || sortFilter.front() == ' ') return sortFilter;
    return " " + sortFilter;
}

FilterStages prepareFilters(const std::string& queryFilter, const std::string& mathFilter) {
    FilterStages s;
    s.typedMath = mathFilter;
    rewriteMathFilterAsTyped(s.typedMath);
    s.query = queryFilter;
    normaliseQueryFilter(s.query);
    s.rotation = contains(s.query, "rotate(");
    if (s.rotation) return s;

    s.initialQuery = s.query;
    rewriteStarEqualities(s.initialQuery);
    // The expansion normalises its input's spaces in place; the initial text keeps its own.
    std::string query = s.initialQuery;
    s.expandedQuery = easyFormulaToFullRedone(query);
    std::string math = s.typedMath;
    s.math = easyFormulaToFullRedone(math);
    rewriteMathRating(s.math);
    return s;
}

}  // namespace vantor
