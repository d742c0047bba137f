// ASCII character classes and case, for bytes of UTF-8 text and for UTF-16
// units alike. Filters, SQL keywords and our own names are cased in ASCII
// only; every byte from 0x80 up is in no class and keeps its case. The
// <cctype> functions answer by the process's locale and are undefined for a
// negative char; in the default "C" locale, which vantor never leaves, they
// give exactly these answers, so nothing read through here changed.
#pragma once

#include <type_traits>

namespace vantor {
namespace ascii_detail {

// The character's value, never negative (a char may be signed), kept to its
// own width so that loops over UTF-16 units still vectorise.
template <class Char>
constexpr auto valueOf(Char c) {
    return static_cast<std::make_unsigned_t<Char>>(c);
}

}  // namespace ascii_detail

template <class Char>
constexpr bool isAsciiUpper(Char c) {
    const auto v = ascii_detail::valueOf(c);
    return v >= 'A' && v <= 'Z';
}

template <class Char>
constexpr bool isAsciiLower(Char c) {
    const auto v = ascii_detail::valueOf(c);
    return v >= 'a' && v <= 'z';
}

template <class Char>
constexpr bool isAsciiAlpha(Char c) { return isAsciiUpper(c) || isAsciiLower(c); }

template <class Char>
constexpr bool isAsciiDigit(Char c) {
    const auto v = ascii_detail::valueOf(c);
    return v >= '0' && v <= '9';
}

template <class Char>
constexpr bool isAsciiAlnum(Char c) { return isAsciiAlpha(c) || isAsciiDigit(c); }

// The blank, tab, line feed, vertical tab, form feed and carriage return.
template <class Char>
constexpr bool isAsciiSpace(Char c) {
    const auto v = ascii_detail::valueOf(c);
    return v == ' ' || (v >= '\t' && v <= '\r');
}

// The C0 controls and DEL.
template <class Char>
constexpr bool isAsciiControl(Char c) {
    const auto v = ascii_detail::valueOf(c);
    return v < 0x20 || v == 0x7F;
}

// A visible character that is no letter and no digit: ! " # … ~.
template <class Char>
constexpr bool isAsciiPunct(Char c) {
    const auto v = ascii_detail::valueOf(c);
    return v > ' ' && v < 0x7F && !isAsciiAlnum(c);
}

template <class Char>
constexpr Char asciiLower(Char c) { return isAsciiUpper(c) ? static_cast<Char>(c + ('a' - 'A')) : c; }

template <class Char>
constexpr Char asciiUpper(Char c) { return isAsciiLower(c) ? static_cast<Char>(c - ('a' - 'A')) : c; }

}  // namespace vantor
