// Years on libraries that store dates. The host keeps Year as YYYYMMDD
// (19970000 for "1997", 20061226 for a full date, -1 when unknown) while
// people write filters in calendar years. On a library that holds any such
// date, a comparison of year with a calendar year (0 to 9999) compares each
// song's calendar year, and the math filter's year is the calendar year. A
// library of plain years is read as it always was: nothing here applies.
//
// This file finds those comparisons and says what they become; it opens no
// library (library/sessions.h asks whether one stores dates).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

// The least stored Year that is a date: plain years stay below it. A
// song's calendar year is Year below it, Year / 10000 (rounded down) from it on.
inline constexpr std::int64_t kFirstStoredDate = 10000;

// How the math filter reads year.
enum class YearReading {
    Stored,    // the value as the library stores it
    Calendar,  // the calendar year of a stored date
};

// A comparison of year with a calendar year in the expanded query filter
// whose rows on a library that stores dates differ from the stored value's.
struct YearComparison {
    std::size_t at = 0;      // where it starts in the query filter
    std::size_t length = 0;  // as written: "year>=1990", "1990<=year"
    std::string sql;         // the condition on the song's calendar year
    bool contains = false;   // written with ~ or !~, which arm the translation's contains match
};

// Every such comparison in the expanded query filter (without the sort
// filter, which is raw SQL and never changes), left to right. One counts
// when it stands alone between the filter's operators (its start, "(", "&",
// "|" or "!" before it; its end, "&", "|" or ")" after it), outside quoted
// text, with a whole number from 0 to 9999. A comparison whose calendar
// reading selects what the stored one does (year>0) is left out, so its SQL
// stays as it is; so is one with a larger number (year>=19900000), which
// compares the stored dates.
std::vector<YearComparison> calendarYearComparisons(std::string_view query);

// Whether the filter names year as a word of its own outside quoted text.
bool mentionsYear(std::string_view filter);

// Whether the expanded math filter holds a number of 10000 or more outside
// quoted text: its author wrote for the stored dates, so year stays the
// stored value there.
bool writtenForStoredDates(std::string_view math);

// The calendar year of a stored number's text (SQLite's text of an integer
// or a real) when it is a date: a part of that text, or a text written into
// `buffer`. Nothing for a plain year or anything that is no finite number.
std::optional<std::string_view> calendarYearOf(std::string_view storedNumber, std::string& buffer);

}  // namespace vantor
