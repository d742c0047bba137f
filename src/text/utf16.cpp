// Code-unit loops over UTF-16 text; see utf16.h for why they must agree with
// the byte functions of the toolkit on well-formed text.
#include "text/utf16.h"

namespace vantor {
namespace {

constexpr bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

constexpr char16_t lowerAscii(char16_t u) { return u >= u'A' && u <= u'Z' ? static_cast<char16_t>(u + 32) : u; }

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
    for (char16_t& u : units) u = lowerAscii(u);
}

bool contains(std::u16string_view text, std::u16string_view needle) {
    return text.find(needle) != std::u16string_view::npos;
}

bool equalsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

}  // namespace vantor
