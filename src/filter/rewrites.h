// The run driver's own text rewrites of the filters, applied in a fixed
// order around the expansion: units (seconds, stars), the EMPTY word, and
// the normalisation that decides the rotation branch.
#pragma once

#include <string>

namespace vantor {

// The math filter as typed: "songlength" into seconds, then "EMPTY" into ''.
void rewriteMathFilterAsTyped(std::string& math);

// minusToNot, space normalisation, EMPTY into '', lower case.
void normaliseQueryFilter(std::string& query);

// "rating=N" (stars) into a range the SQL rating rewrite can express.
void rewriteStarEqualities(std::string& query);

// After the expansion: the stored 0..100 rating into stars.
void rewriteMathRating(std::string& math);

// The sort filter as it is appended to SQL: a leading blank is added when it
// lacks one, so "ORDER BY Year" does not glue onto the text before it.
std::string sqlSortFilter(const std::string& sortFilter);

// Both filters at each stage of a run, computed in the run's own order. The
// run and `vantor --explain` read the same stages from here.
struct FilterStages {
    std::string query;          // normalised: minus as not, spaces, EMPTY, lower case
    bool rotation = false;      // names "rotate(": playlists are dealt, no library is read
    std::string initialQuery;   // with the star equalities (library path only)
    std::string expandedQuery;  // after the expansion; the sort filter is not appended yet
    std::string typedMath;      // songlength in seconds, EMPTY as ''
    std::string math;           // after the expansion, rating in stars (library path only)
};

// Both filters through every rewrite and the expansion, in the run's order;
// stops after the normalisation when the query names a rotation.
FilterStages prepareFilters(const std::string& queryFilter, const std::string& mathFilter);

}  // namespace vantor
