// Repeat removal: one pass that locks each kept ID until `window` others have
// been kept after it, with the locks in a flag array when the IDs are small
// and in a hash set otherwise. It changes only the list it is given.
#include "rules/repeats.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace vantor {
namespace {

// One pass over the list, with `locked` answering for an ID whether it is
// among the last `window` kept (or, with no window, kept at all).
template <typename Locks>
int compact(std::span<std::int64_t> ids, int window, Locks& locks) {
    std::size_t out = 0;
    const std::size_t w = window > 0 ? static_cast<std::size_t>(window) : 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (w > 0 && out > w) locks.unlock(ids[out - w - 1]);
        const std::int64_t id = ids[i];
        if (locks.lock(id)) ids[out++] = id;
    }
    return static_cast<int>(out);
}

// One flag byte per possible ID, for lists whose IDs are small enough.
struct FlagLocks {
    std::vector<unsigned char> flags;
    void unlock(std::int64_t id) { flags[static_cast<std::size_t>(id)] = 0; }
    bool lock(std::int64_t id) {
        unsigned char& f = flags[static_cast<std::size_t>(id)];
        if (f != 0) return false;
        f = 1;
        return true;
    }
};

// A set of locked IDs, for anything else: the flag array would need 2 GB for
// an ID near 2^31, and has no place for negative IDs.
struct SetLocks {
    std::unordered_set<std::int64_t> locked;
    void unlock(std::int64_t id) { locked.erase(id); }
    bool lock(std::int64_t id) { return locked.insert(id).second; }
};

}  // namespace

int removedupes(std::span<std::int64_t> ids, int window) {
    if (ids.empty()) return 0;
    const auto [low, high] = std::minmax_element(ids.begin(), ids.end());
    // Flags stay within a few bytes per listed ID (or a megabyte), so memory
    // still follows the list rather than the largest ID.
    const std::size_t bound = std::max<std::size_t>(std::size_t{1} << 20, ids.size() * 4);
    if (*low >= 0 && static_cast<std::uint64_t>(*high) < bound) {
        FlagLocks locks{std::vector<unsigned char>(static_cast<std::size_t>(*high) + 1, 0)};
        return compact(ids, window, locks);
    }
    SetLocks locks;
    locks.locked.reserve(ids.size());
    return compact(ids, window, locks);
}

}  // namespace vantor
