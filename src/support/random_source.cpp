// The two scalings of a 15-bit draw, kept apart from the generator so every
// source (the run's, a test's scripted one) is scaled the same way.
#include "support/random_source.h"

namespace vantor {

double random(RandomSource& source, double bound) {
    const int r = source.next();
    return r * bound / static_cast<double>(RandomSource::range);
}

int randint(RandomSource& source, int low, int high) {
    const std::int64_t r = source.next();
    const std::int64_t span = static_cast<std::int64_t>(high) - low;
    return static_cast<int>(low + span * r / RandomSource::range);
}

}  // namespace vantor
