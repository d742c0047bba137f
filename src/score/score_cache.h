// Scores remembered by the row's formula text, so rows with the same values
// share one parse. Bounded and direct-mapped: a newer text takes the place of
// an older one with the same hash, so memory stays fixed however many rows
// there are, and a slot's key buffer is reused without allocating again.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

class ScoreCache {
public:
    explicit ScoreCache(std::size_t slots = 4096) : slots_(slots) {}

    // The score stored for this text, or nullptr.
    const double* find(std::string_view text) const {
        const Slot& s = slotFor(text);
        return s.used && s.key == text ? &s.value : nullptr;
    }

    void store(std::string_view text, double value) {
        // Long texts would make the fixed slot count no bound on memory.
        if (text.size() > kMaxKeyLength) return;
        Slot& s = slotFor(text);
        s.key.assign(text);
        s.value = value;
        s.used = true;
    }

private:
    static constexpr std::size_t kMaxKeyLength = 4096;

    struct Slot {
        std::string key;
        double value = 0.0;
        bool used = false;
    };

    Slot& slotFor(std::string_view text) { return slots_[std::hash<std::string_view>{}(text) % slots_.size()]; }
    const Slot& slotFor(std::string_view text) const {
        return slots_[std::hash<std::string_view>{}(text) % slots_.size()];
    }

    std::vector<Slot> slots_;
};

}  // namespace vantor
