// The math filter's tokenizer: cuts the expanded filter into name tokens,
// which the scorer replaces by a song's values, and text it copies as is.
// It spells out the age labels; it does not look names up in the catalogue.
#pragma once

#include <string>
#include <string_view>

#include "filter/tokens.h"

namespace vantor {

// Normalises the spaces of `text` in place first, so the caller sees the
// normalised text. `today` is the day-number text put into age expressions.
TokenList exptokenize2(std::string& text, std::string_view today);

}  // namespace vantor
