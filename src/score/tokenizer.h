// The math filter's tokenizer: cuts the expanded filter into name tokens,
// which the scorer replaces by a song's values, and text it copies as is.
// It spells out the age labels; it does not look names up in the catalogue.
// It serves the math filter only: the query filter's SQL translation
// (filter/query_sql.h) reads characters, not tokens.
#pragma once

#include <string>
#include <string_view>

#include "score/tokens.h"

namespace vantor {

// Cuts the expanded math filter into its token list, each age label spelled
// out as "(" today "-" date ")". Normalises the spaces of `text` in place
// first, so the caller sees the normalised text. `today` is the day-number
// text put into age expressions.
TokenList exptokenize2(std::string& text, std::string_view today);

}  // namespace vantor
