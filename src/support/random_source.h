// The run's one stream of random whole numbers from 0 to 32767 (15 bits),
// and the two scalings the selection uses. The design rests on exactly this
// range, so any generator is reduced to it. Injectable: tests hand in a seeded
// or scripted source and get deterministic draws.
#pragma once

#include <cstdint>

namespace vantor {

class RandomSource {
public:
    static constexpr int max = 32767;
    // How many values a draw can take (32768): the scalings divide by it.
    static constexpr int range = max + 1;
    virtual ~RandomSource() = default;
    virtual int next() = 0;  // 0 .. 32767
    virtual void seed(std::uint32_t) {}
};

// The classic C runtime generator of the front end's platform, so one seed
// draws the same sequence there and here.
class MsvcRand final : public RandomSource {
public:
    explicit MsvcRand(std::uint32_t seed = 1) : state_(seed) {}
    void seed(std::uint32_t seed) override { state_ = seed; }
    int next() override {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

private:
    std::uint32_t state_;
};

// A random number from 0 up to, not including, bound: r × bound / 32768.0,
// one of 32768 evenly spaced values.
double random(RandomSource& source, double bound);

// A random whole number from low to high − 1: low + (high − low) × r /
// 32768, truncated toward zero; the product is formed in 64 bits so large
// libraries do not overflow it.
int randint(RandomSource& source, int low, int high);

}  // namespace vantor
