// `vantor --explain QUERY [MATH]`: shows a person each stage of both filters
// as a run would see them, and why a name is not recognized. It opens no
// database and writes no result file; the stages come from the run's own
// functions, so what it shows is what a run does.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace vantor {

// Stands in for today's day number, which a run asks the library for.
inline constexpr const char* kExplainDayNumber = "45658.000000";

// Prints, for people, how both filters are read: every rewrite, the SQL
// condition, the math filter's tokens and its score for an empty song.
void explainFilters(const std::string& queryFilter, const std::optional<std::string>& mathFilter,
                    std::ostream& out);

}  // namespace vantor
