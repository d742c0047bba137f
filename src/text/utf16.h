// UTF-16 text as a UTF-16 library hands it out, compared in place: the same
// ASCII-only case rules as the toolkit's byte functions, over code units.
// Nothing here converts between encodings (platform/encoding.h does).
#pragma once

#include <string>
#include <string_view>

namespace vantor {

// A column's text read as UTF-16 code units in the machine's byte order.
struct Utf16Text {
    enum Kind {
        Null,   // SQL NULL, or no such column
        Units,  // `units` holds the text
        Unfit,  // the units cannot be read in place (odd byte count or address): read the text as UTF-8
    };
    Kind kind = Unfit;
    std::u16string_view units{};
};

// Every surrogate stands in a high-low pair. Only such text converts to
// UTF-8 by the standard rules; SQLite folds a lone surrogate into the unit
// after it (or writes it out as three bytes at the end), so a comparison
// over the units could then disagree with one over SQLite's UTF-8.
bool wellFormedUtf16(std::u16string_view units);

// ASCII lower-casing in place; units from 0x80 up are left alone.
void lowercase(std::u16string& units);

// Writes the units to `to`, which has room for them, lower-cased as
// lowercase() does when `lower`; returns wellFormedUtf16(units). One pass
// in the common case: it runs over every column of every row.
bool copyUnits(std::u16string_view units, char16_t* to, bool lower);

// The units in `out` (its old text gone), as copyUnits writes them.
bool assignUnits(std::u16string& out, std::u16string_view units, bool lower);

// True when the needle occurs anywhere in the text (an empty needle always does).
bool contains(std::u16string_view text, std::u16string_view needle);

// contains() over the text ASCII lower-cased, without copying it; IllFormed,
// and no answer, when the text is not wellFormedUtf16.
enum class Search { Found, Absent, IllFormed };
Search findInLowercased(std::u16string_view text, std::u16string_view needle);

// Equality of two texts ignoring the case of ASCII letters.
bool equalsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);

}  // namespace vantor
