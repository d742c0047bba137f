// The easy notation of both filters expanded into the full one: bare words
// quoted, and/or/contains as symbols, implicit ands written out, and a lone
// quoted value turned into an any-field search. It never rejects anything;
// the later stages decide what an odd word means.
#pragma once

#include <string>

namespace vantor {

// Normalises the spaces of `text` in place first, so the caller sees the
// normalised text; returns the expanded, lower-case text.
std::string easyFormulaToFullRedone(std::string& text);

}  // namespace vantor
