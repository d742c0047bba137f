// Text compared without regard to case, the same on every system: Unicode's
// simple case folding (each code point to one code point, as ICU's
// u_foldCase with the default mapping), from a table committed with the
// source (case_fold_table.inc), so a build without ICU folds alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantor {

// The code point's simple case folding; any other value is returned as it is.
std::int32_t foldCodePoint(std::int32_t c);

// UTF-8 text with every code point folded. Bytes that are no valid UTF-8 are
// kept as they are, so two texts fold alike only if they were alike there.
std::string foldCase(std::string_view utf8);

}  // namespace vantor
