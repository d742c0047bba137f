#include "support/repeats.h"

#include <unordered_set>

namespace vantor {

int removedupes(std::span<int> ids, int window) {
    // A set of locked IDs in place of one flag byte per possible ID: the flag
    // array would need 2 GB for an ID near 2^31 from a hand-edited list.
    std::unordered_set<int> locked;
    locked.reserve(ids.size());
    std::size_t out = 0;
    const std::size_t w = window > 0 ? static_cast<std::size_t>(window) : 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (w > 0 && out > w) locked.erase(ids[out - w - 1]);
        const int id = ids[i];
        if (locked.insert(id).second) ids[out++] = id;
    }
    return static_cast<int>(out);
}

}  // namespace vantor
