// The expanded query filter (with the sort filter behind it) turned into the
// condition of the selection query. It does not parse or validate: the
// database judges the SQL when the statement is prepared.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "filter/calendar_years.h"

namespace vantor {

// Translates the expanded query filter, sort filter appended, into the
// condition of the selection query. `today` is the day-number text for the
// ages and "currenttime"; `anyfieldExpr` is the SQL that stands for
// "anyfield" (see anyfieldSql). On a library that stores dates, `calendar`
// holds the query filter's comparisons of year with a calendar year
// (calendarYearComparisons), each written as its condition on the calendar year.
std::string query2sql2(std::string_view text, std::string_view today, std::string_view anyfieldExpr,
                       std::span<const YearComparison> calendar = {});

}  // namespace vantor
