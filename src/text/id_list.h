// Song IDs as text: decimal, joined by commas, no blanks. The result file,
// the sort query's LIKE list and its key lookup all spell a list so.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vantor {

// Appends the IDs to `text` joined by "," ("5,7,9"; nothing for none). Digits
// by to_chars: no locale, no printf, 64-bit IDs whole.
void appendIdList(std::string& text, std::span<const std::int64_t> ids);

}  // namespace vantor
