// Code-unit loops over UTF-16 text; see utf16.h for why they must agree with
// the byte functions of the toolkit on well-formed text.
#include "text/utf16.h"

#include "text/ascii.h"

namespace vantor {
namespace {

constexpr bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Copies n units, lower-casing ASCII when `lower`; returns whether any
// surrogate came by. No branch depends on a unit, so the loop vectorises.
char16_t copyLoop(const char16_t* __restrict from, char16_t* __restrict to, std::size_t n, bool lower) {
    char16_t surrogates = 0;
    const char16_t shift = lower ? u'a' - u'A' : 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t u = from[i];
        surrogates |= static_cast<char16_t>((u & 0xF800) == 0xD800);
        to[i] = static_cast<char16_t>(u + (isAsciiUpper(u) ? shift : 0));
    }
    return surrogates;
}

}  // namespace

bool wellFormedUtf16(std::u16string_view units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u < 0xD800 || u > 0xDFFF) continue;
        if (!isHighSurrogate(u) || i + 1 == units.size() || !isLowSurrogate(units[i + 1])) return false;
        ++i;
    }
    return true;
}

void lowercase(std::u16string& units) {
    for (char16_t& u : units) u = asciiLower(u);
}

bool copyUnits(std::u16string_view units, char16_t* to, bool lower) {
    // Surrogates are rare: the exact check runs only when one came by.
    return copyLoop(units.data(), to, units.size(), lower) == 0 || wellFormedUtf16(units);
}

bool assignUnits(std::u16string& out, std::u16string_view units, bool lower) {
    // Not cleared first: resizing then only zero-fills what the text grew by.
    out.resize(units.size());
    return copyUnits(units, out.data(), lower);
}

bool contains(std::u16string_view text, std::u16string_view needle) {
    return text.find(needle) != std::u16string_view::npos;
}

Search findInLowercased(std::u16string_view text, std::u16string_view needle) {
    const std::size_t n = text.size();
    const bool fits = !needle.empty() && needle.size() <= n;
    const std::size_t tail = fits ? needle.size() - 1 : 0;
    const std::size_t starts = fits ? n - tail : 0;  // where the needle could begin
    const char16_t first = fits ? needle.front() : 0, last = fits ? needle.back() : 0;
    const auto matchesAt = [&](std::size_t at) {
        std::size_t k = 0;
        while (k < needle.size() && asciiLower(text[at + k]) == needle[k]) ++k;
        return k == needle.size();
    };
    // Eight starts a turn, without a branch on any unit (so the compiler
    // vectorises it): whether a surrogate came by, and whether the needle's
    // first and last units stand where a match would put them; only a turn
    // with such a candidate looks closer.
    bool found = false;
    char16_t surrogates = 0;
    std::size_t i = 0;
    for (; i + 8 <= starts; i += 8) {
        char16_t candidates = 0;
        for (std::size_t j = 0; j < 8; ++j) {
            const char16_t u = text[i + j];
            surrogates |= static_cast<char16_t>((u & 0xF800) == 0xD800);
            candidates |= static_cast<char16_t>((asciiLower(u) == first) & (asciiLower(text[i + j + tail]) == last));
        }
        if (candidates != 0 && !found) {
            for (std::size_t j = i; j < i + 8; ++j) found = found || matchesAt(j);
        }
    }
    for (; i < n; ++i) {
        const char16_t u = text[i];
        surrogates |= static_cast<char16_t>((u & 0xF800) == 0xD800);
        if (!found && i < starts && asciiLower(u) == first && matchesAt(i)) found = true;
    }
    if (surrogates != 0 && !wellFormedUtf16(text)) return Search::IllFormed;
    return found || needle.empty() ? Search::Found : Search::Absent;
}

bool equalsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace vantor
