// Repeat removal over a finished ID list: keeps IDs in order and drops each
// one that stands among the last `window` kept IDs (window <= 0: every repeat).
#pragma once

#include <cstdint>
#include <span>

namespace vantor {

// Takes the repeats out of the list in place and returns how many IDs are
// left at its front. Memory follows the list, not the largest ID, and any ID
// (negative ones included) is safe. Linear in the list's length.
int removedupes(std::span<std::int64_t> ids, int window);

}  // namespace vantor
