#include "cli/filter_rewrites.h"

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

}  // namespace vantor
