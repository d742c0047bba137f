// Finding comparisons of year with a calendar year, and the SQL that compares
// a song's calendar year instead of its stored value. Each condition keeps a
// single range of Year as its index-usable part, as the stored comparison
// has, and spells the exception out as NOT (...): SQLite walks the Year index
// over that one range, and no OR gives it a walk of several indexes.
#include "filter/calendar_years.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

#include "filter/field_catalogue.h"
#include "text/ascii.h"
#include "text/quoted_text.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

constexpr std::string_view kYearLabel = "year";
// The largest calendar year a filter compares with as one.
constexpr int kLastCalendarYear = static_cast<int>(kFirstStoredDate) - 1;

// The comparisons, each with the one it becomes when its sides swap
// (1990<year is year>1990).
enum class Op { Less, LessEq, Greater, GreaterEq, Equal, NotEqual };

struct OperatorWord {
    std::string_view text;
    Op op;
    Op swapped;
    bool contains;  // ~ and !~, which the translation follows in its contains match
};

// Two characters before one, or "<=" would be read as "<". "=" and "~"
// become LIKE, which on a number is equality; "!=" and "!~" its negation.
constexpr OperatorWord kOperators[] = {
    {">=", Op::GreaterEq, Op::LessEq, false}, {"<=", Op::LessEq, Op::GreaterEq, false},
    {"<>", Op::NotEqual, Op::NotEqual, false}, {"!=", Op::NotEqual, Op::NotEqual, false},
    {"!~", Op::NotEqual, Op::NotEqual, true},  {">", Op::Greater, Op::Less, false},
    {"<", Op::Less, Op::Greater, false},      {"=", Op::Equal, Op::Equal, false},
    {"~", Op::Equal, Op::Equal, true},
};

const OperatorWord* operatorAt(std::string_view text, std::size_t at) {
    for (const OperatorWord& w : kOperators) {
        if (text.substr(at).starts_with(w.text)) return &w;
    }
    return nullptr;
}

bool isWordByte(char c) { return isLetterByte(static_cast<unsigned char>(c)) || isAsciiDigit(c) || c == '_'; }

// What may stand before and after a comparison that is a condition of its
// own: inside arithmetic (2*year>3990, year>1990+5) it is no such thing.
bool opensCondition(std::string_view text, std::size_t at) {
    return at == 0 || std::string_view("(&|!").find(text[at - 1]) != std::string_view::npos;
}
bool closesCondition(std::string_view text, std::size_t at) {
    return at == text.size() || std::string_view("&|)").find(text[at]) != std::string_view::npos;
}

bool yearAt(std::string_view text, std::size_t at) { return startsWithIgnoreAsciiCase(text.substr(at), kYearLabel); }

// The filters' quote state after the apostrophe at `at`.
bool insideAfterApostropheAt(std::string_view text, std::size_t at, bool inside) {
    return insideAfterApostrophe(inside, at + 1 < text.size() && isLetterByte(static_cast<unsigned char>(text[at + 1])));
}

// A run of digits at `at` that reads as a calendar year: its value, and
// where it ends. Nothing for no digits or a number past kLastCalendarYear.
std::optional<std::pair<int, std::size_t>> calendarNumberAt(std::string_view text, std::size_t at) {
    std::size_t end = at;
    long long value = 0;
    while (end < text.size() && isAsciiDigit(text[end])) {
        value = std::min<long long>(value * 10 + (text[end] - '0'), kFirstStoredDate);
        ++end;
    }
    if (end == at || value > kLastCalendarYear) return std::nullopt;
    return std::make_pair(static_cast<int>(value), end);
}

// Whether the calendar reading selects other rows than the stored value.
// Dates are 10000 and more, each year's from year * 10000 on: they answer
// alike exactly where every date lies on the same side of both.
bool readsOtherwise(Op op, int year) {
    switch (op) {
    case Op::Greater: return year >= 1;     // year>0: every date is above 0 either way
    case Op::GreaterEq: return year >= 2;   // year>=1: likewise
    case Op::Less: return year >= 2;        // year<1: no date is below 1 either way
    case Op::LessEq:
    case Op::Equal:
    case Op::NotEqual: return year >= 1;    // no date's year is 0
    }
    return false;
}

// The condition on the calendar year: one range of the stored value, less
// the stretch where plain years and dates disagree. Plain years (below
// 10000; -1 and 0 among them) answer as their stored value does, and so do
// texts and NULL.
std::string calendarSql(Op op, int year) {
    const std::string column(columnName(fieldcode::year));
    const auto is = [&](std::string_view cmp, long long value) {
        return column + std::string(cmp) + std::to_string(value);
    };
    const auto except = [](const std::string& a, const std::string& b) { return "NOT (" + a + " AND " + b + ")"; };
    const long long first = static_cast<long long>(year) * kFirstStoredDate;  // the year's first date
    const long long next = first + kFirstStoredDate;                          // the next year's
    switch (op) {
    case Op::GreaterEq:
        return "(" + is(">=", year) + " AND " + except(is(">=", kFirstStoredDate), is("<", first)) + ")";
    case Op::Greater:
        return "(" + is(">", year) + " AND " + except(is(">=", kFirstStoredDate), is("<", next)) + ")";
    case Op::Less:
        return "(" + is("<", first) + " AND " + except(is(">=", year), is("<", kFirstStoredDate)) + ")";
    case Op::LessEq:
        return "(" + is("<", next) + " AND " + except(is(">", year), is("<", kFirstStoredDate)) + ")";
    case Op::Equal:
        return "(" + is(">=", year) + " AND " + is("<", next) + " AND " + except(is(">", year), is("<", first)) + ")";
    case Op::NotEqual:
        return "NOT " + calendarSql(Op::Equal, year);
    }
    return {};
}

// A comparison at `at`, year first or the number first; nothing when the
// text there is none or reads alike either way.
std::optional<YearComparison> comparisonAt(std::string_view text, std::size_t at) {
    if (!opensCondition(text, at)) return std::nullopt;
    Op op{};
    const OperatorWord* word = nullptr;
    int year = 0;
    std::size_t end = 0;
    if (yearAt(text, at)) {
        word = operatorAt(text, at + kYearLabel.size());
        if (word == nullptr) return std::nullopt;
        const auto number = calendarNumberAt(text, at + kYearLabel.size() + word->text.size());
        if (!number) return std::nullopt;
        op = word->op;
        year = number->first;
        end = number->second;
    } else {
        const auto number = calendarNumberAt(text, at);
        if (!number) return std::nullopt;
        word = operatorAt(text, number->second);
        if (word == nullptr || !yearAt(text, number->second + word->text.size())) return std::nullopt;
        op = word->swapped;
        year = number->first;
        end = number->second + word->text.size() + kYearLabel.size();
    }
    if (!closesCondition(text, end) || !readsOtherwise(op, year)) return std::nullopt;
    return YearComparison{at, end - at, calendarSql(op, year), word->contains};
}

// A number of the filter's own, as the parser reads it ("19900000", "1e5",
// "2.5"), starting at `at`: its value, and where it ends.
std::pair<double, std::size_t> numberAt(std::string_view text, std::size_t at) {
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) return {HUGE_VAL, static_cast<std::size_t>(end - text.data())};
    if (ec != std::errc()) return {0.0, at + 1};
    return {value, static_cast<std::size_t>(end - text.data())};
}

}  // namespace

std::vector<YearComparison> calendarYearComparisons(std::string_view query) {
    std::vector<YearComparison> found;
    // SQL's quoting, as SQLite will read the translation: a quote runs to the
    // next one of its kind (the translation writes quotes as they stand).
    char quote = 0;
    std::size_t i = 0;
    while (i < query.size()) {
        const char c = query[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
            ++i;
        } else if (c == '\'' || c == '"') {
            quote = c;
            ++i;
        } else if (auto comparison = comparisonAt(query, i)) {
            i += comparison->length;
            found.push_back(std::move(*comparison));
        } else {
            ++i;
        }
    }
    return found;
}

bool mentionsYear(std::string_view filter) {
    bool inside = false;
    for (std::size_t i = 0; i < filter.size(); ++i) {
        if (filter[i] == '\'') {
            inside = insideAfterApostropheAt(filter, i, inside);
        } else if (!inside && yearAt(filter, i) && (i == 0 || !isWordByte(filter[i - 1])) &&
                   (i + kYearLabel.size() == filter.size() || !isWordByte(filter[i + kYearLabel.size()]))) {
            return true;
        }
    }
    return false;
}

bool writtenForStoredDates(std::string_view math) {
    bool inside = false;
    std::size_t i = 0;
    while (i < math.size()) {
        const char c = math[i];
        if (c == '\'') {
            inside = insideAfterApostropheAt(math, i, inside);
            ++i;
        } else if (!inside && (isAsciiDigit(c) || c == '.') &&
                   (i == 0 || (!isWordByte(math[i - 1]) && math[i - 1] != '.'))) {
            // The digits of a name (custom1) belong to the name.
            const auto [value, end] = numberAt(math, i);
            if (value >= static_cast<double>(kFirstStoredDate)) return true;
            i = end;
        } else {
            ++i;
        }
    }
    return false;
}

std::optional<std::string_view> calendarYearOf(std::string_view storedNumber, std::string& buffer) {
    // SQLite writes an integer as its digits: a date's year is all of them
    // but the last four, read off without arithmetic or a copy on every row.
    if (!storedNumber.empty() && storedNumber.front() != '0' &&
        std::all_of(storedNumber.begin(), storedNumber.end(), isAsciiDigit<char>)) {
        if (storedNumber.size() <= 4) return std::nullopt;
        return storedNumber.substr(0, storedNumber.size() - 4);
    }
    const char* first = storedNumber.data();
    const char* last = first + storedNumber.size();
    std::int64_t whole = 0;
    if (const auto [end, ec] = std::from_chars(first, last, whole); ec == std::errc() && end == last) {
        if (whole < kFirstStoredDate) return std::nullopt;
        buffer = std::to_string(whole / kFirstStoredDate);
        return buffer;
    }
    double real = 0.0;
    if (const auto [end, ec] = std::from_chars(first, last, real);
        ec != std::errc() || end != last || !std::isfinite(real) || real < static_cast<double>(kFirstStoredDate)) {
        return std::nullopt;
    }
    // Rounded down exactly, as the SQL's bounds at year * 10000 count: the
    // division alone may round 19979999.9999999 up to 1998.
    const double per = static_cast<double>(kFirstStoredDate);
    double year = std::floor(real / per);
    if (year * per > real) year -= 1.0;
    if ((year + 1.0) * per <= real) year += 1.0;
    if (year < 9.0e18) {
        buffer = std::to_string(static_cast<std::int64_t>(year));
    } else {
        char text[32];
        const auto [end, ec] = std::to_chars(text, text + sizeof text, year);
        buffer.assign(text, ec == std::errc() ? end : text);
    }
    return buffer;
}

}  // namespace vantor
