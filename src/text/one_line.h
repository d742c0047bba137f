// Tags made fit for one line of a listing or an M3U entry. It changes only
// what would break the line; everything else stays byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace vantor {

// `text` (UTF-8) with each control character and each line or paragraph
// separator made one blank: every code point of Unicode's general categories
// Cc (C0 and C1 controls and DEL: tab, CR, LF, VT, FF and NEL among them),
// Zl (U+2028) and Zp (U+2029), which holds every character Unicode's line
// breaking counts as a break (classes BK, CR, LF and NL). Bytes that are no
// UTF-8 stay as they are.
std::string oneLine(std::string_view text);

}  // namespace vantor
