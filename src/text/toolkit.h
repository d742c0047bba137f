// The string toolkit: searching, cutting, splitting and rewriting filter and
// file text. Every comparison is byte for byte and case-sensitive; the only
// case handling is `lowercase`, which callers apply to whole texts first.
// Owning std::string / std::vector take the place of raw buffers, so no
// function here has a capacity to overflow.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

// The three texts one after the other.
std::string join(std::string_view first, std::string_view second, std::string_view third);

// True when the needle stands in the text at pos. The end of the text never
// matches, so a needle running past it does not match; an empty needle does.
bool matchin(std::string_view needle, std::string_view text, std::size_t pos);

// True when the needle occurs anywhere in the text (an empty needle always does).
bool contains(std::string_view text, std::string_view needle);

// The text before the first occurrence of the needle (all of it without one).
std::string chopLeftOf(std::string_view text, std::string_view needle);

// The text after the rightmost occurrence of the needle (all of it without one).
std::string chopRightOf(std::string_view text, std::string_view needle);

// Only digits and points (the empty text counts as numeric).
bool isnumeric(std::string_view text);

// Replaces every occurrence, left to right, without overlap and without
// searching the replacement again. The needle must not be empty.
void replace(std::string& text, std::string_view needle, std::string_view replacement);

// ASCII lower-casing in place; bytes from 0x80 up are left alone.
void lowercase(std::string& text);
// The same, as a new text.
std::string lowercased(std::string_view text);

// Cuts the text at any of the separators, tried in list order at each
// position. Empty pieces are dropped; with keep, each separator met becomes
// an element of its own.
std::vector<std::string> isplit(std::string_view text, const std::vector<std::string_view>& separators,
                                bool keep);

// Cuts at every separator byte and converts each field like atoi64Field: song
// IDs are 64-bit. A separator as the very last byte adds no field; the empty
// text gives no fields.
std::vector<std::int64_t> nsplit(std::string_view text, char separator);

// The C runtime's atoi on a field: leading white space, an optional sign,
// digits up to the first other byte; 0 without digits. Saturates rather than
// overflowing on absurdly long digit runs.
int atoiField(std::string_view field);

// The same over 64 bits, for song IDs: saturates at the 64-bit limits, as
// strtoll does.
std::int64_t atoi64Field(std::string_view field);

// Equality of two texts ignoring the case of ASCII letters.
bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);

// True when the text begins with the word, ignoring the case of ASCII
// letters; a word longer than the text does not match.
bool startsWithIgnoreAsciiCase(std::string_view text, std::string_view word);

}  // namespace vantor
