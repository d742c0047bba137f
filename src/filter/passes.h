// The text passes that both filter languages share before they are read:
// the minus sign as negation, space normalisation around operators, and the
// operator split that the easy-notation expansion works on. None of them
// reports an error; they only reshape text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantor {

// Turns every "-" outside apostrophe-quoted text into "!", in place.
std::string& minusToNot(std::string& text);

// Drops spaces next to operator characters and collapses every other run of
// spaces into one, in place; the text never grows.
void stripspacesAroundOperators2(std::string& text);

// Cuts the text at the filter operators, each operator kept as a piece of its
// own; joining the pieces gives the text back.
std::vector<std::string> splitItUp(std::string_view text);

}  // namespace vantor
