// The easy notation of both filters expanded into the full one: bare words
// quoted, and/or/contains as symbols, implicit ands written out, and a lone
// quoted value turned into an any-field search. It never rejects anything;
// the later stages decide what an odd word means.
#pragma once

#include <string>

namespace vantor {

// Expands the easy notation into the full one and returns it, lower case.
// Normalises the spaces of `text` in place first, so the caller sees the
// normalised text.
std::string easyFormulaToFullRedone(std::string& text);

}  // namespace vantor
