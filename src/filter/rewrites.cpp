// The run's own rewrites of the filters around the expansion, in the run's
// order, and the stages both a run and `vantor --explain` read. It opens no
// library and prints nothing: the driver echoes the stages it uses.
#include "filter/rewrites.h"

#include "filter/expansion.h"
#include "filter/field_catalogue.h"
#include "filter/passes.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

// The filters' word for an empty text.
constexpr std::string_view kEmptyWord = "EMPTY";

// A field with a divisor, rewritten into the filters' units wherever its
// label stands: songlength into (songlength/1000.0).
void rewriteIntoFilterUnits(std::string& math, int code) {
    const Field& field = *fieldByCode(code);
    replace(math, field.label, inFilterUnits(field.label, field));
}

}  // namespace

void rewriteMathFilterAsTyped(std::string& math) {
    // Case-sensitive on purpose: "SongLength" as typed stays in milliseconds.
    rewriteIntoFilterUnits(math, fieldcode::songLength);
    replace(math, kEmptyWord, "''");
}

void normaliseQueryFilter(std::string& query) {
    minusToNot(query);
    stripspacesAroundOperators2(query);
    replace(query, kEmptyWord, "''");
    lowercase(query);
}

void rewriteStarEqualities(std::string& query) {
    const std::string rating(fieldByCode(fieldcode::rating)->label);
    for (char n = '0'; n <= '5'; ++n) {
        const std::string digit(1, n);
        replace(query, rating + "=" + digit, "(" + rating + ">=" + digit + " & " + rating + "<=" + digit + ")");
    }
}

void rewriteMathRating(std::string& math) { rewriteIntoFilterUnits(math, fieldcode::rating); }

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
