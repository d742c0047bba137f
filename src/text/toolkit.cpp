// String toolkit over std::string: the byte-exact search, cut, split and
// rewrite primitives shared by the filter passes and the rotation mode. It
// knows no filter language; the filters' letter and quote rules live in
// quoted_text.h.
#include "text/toolkit.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "text/ascii.h"

namespace vantor {

std::string join(std::string_view first, std::string_view second, std::string_view third) {
    std::string out;
    out.reserve(first.size() + second.size() + third.size());
    out.append(first).append(second).append(third);
    return out;
}

bool matchin(std::string_view needle, std::string_view text, std::size_t pos) {
    if (pos > text.size()) return false;
    return text.substr(pos, needle.size()) == needle;
}

bool contains(std::string_view text, std::string_view needle) {
    return text.find(needle) != std::string_view::npos;
}

std::string chopLeftOf(std::string_view text, std::string_view needle) {
    if (needle.empty()) return {};
    return std::string(text.substr(0, text.find(needle)));
}

std::string chopRightOf(std::string_view text, std::string_view needle) {
    if (needle.empty()) return {};
    const std::size_t at = text.rfind(needle);
    if (at == std::string_view::npos) return std::string(text);
    return std::string(text.substr(at + needle.size()));
}

bool isnumeric(std::string_view text) {
    for (const char c : text) {
        if (!(isAsciiDigit(c) || c == '.')) return false;
    }
    return true;
}

void replace(std::string& text, std::string_view needle, std::string_view replacement) {
    if (needle.empty()) return;
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, pos)) {
        out.append(text, pos, at - pos).append(replacement);
        pos = at + needle.size();
    }
    out.append(text, pos, std::string::npos);
    text = std::move(out);
}

void lowercase(std::string& text) {
    for (char& c : text) c = asciiLower(c);
}

std::string lowercased(std::string_view text) {
    std::string out(text);
    lowercase(out);
    return out;
}

std::vector<std::string> isplit(std::string_view text, const std::vector<std::string_view>& separators,
                                bool keep) {
    std::vector<std::string> pieces;
    std::string current;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::string_view* hit = nullptr;
        for (const auto& sep : separators) {
            if (!sep.empty() && matchin(sep, text, i)) {
                hit = &sep;
                break;
            }
        }
        if (hit == nullptr) {
            current.push_back(text[i]);
            ++i;
            continue;
        }
        if (!current.empty()) pieces.push_back(std::move(current));
        current.clear();
        if (keep) pieces.emplace_back(*hit);
        i += hit->size();
    }
    if (!current.empty()) pieces.push_back(std::move(current));
    return pieces;
}

std::int64_t atoi64Field(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && isAsciiSpace(field[i])) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    // Accumulated as a magnitude, which has room for the one beyond INT64_MAX
    // that INT64_MIN needs; anything longer stops there.
    constexpr std::uint64_t limit = static_cast<std::uint64_t>(INT64_MAX) + 1;
    std::uint64_t magnitude = 0;
    for (; i < field.size() && isAsciiDigit(field[i]); ++i) {
        const auto digit = static_cast<std::uint64_t>(field[i] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    if (negative) return magnitude >= limit ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    return magnitude >= limit ? INT64_MAX : static_cast<std::int64_t>(magnitude);
}

int atoiField(std::string_view field) {
    return static_cast<int>(std::clamp<std::int64_t>(atoi64Field(field), INT_MIN, INT_MAX));
}

std::vector<std::int64_t> nsplit(std::string_view text, char separator) {
    std::vector<std::int64_t> fields;
    // One field per separator, plus the last: allocated once for long lists.
    fields.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), separator)) + 1);
    std::size_t i = 0;
    while (i < text.size()) {
        // Most fields are a few plain digits: read them on the way to the
        // separator (18 digits cannot overflow), and leave anything else to
        // atoi64Field.
        std::int64_t value = 0;
        std::size_t end = i;
        while (end < text.size() && end - i < 18 && isAsciiDigit(text[end]) && text[end] != separator) {
            value = value * 10 + (text[end] - '0');
            ++end;
        }
        if (end == text.size() || text[end] == separator) {
            fields.push_back(end > i ? value : 0);
        } else {
            end = text.find(separator, end);
            if (end == std::string_view::npos) end = text.size();
            fields.push_back(atoi64Field(text.substr(i, end - i)));
        }
        i = end + 1;
    }
    return fields;
}

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

bool startsWithIgnoreAsciiCase(std::string_view text, std::string_view word) {
    return text.size() >= word.size() && equalsIgnoreAsciiCase(text.substr(0, word.size()), word);
}

}  // namespace vantor
