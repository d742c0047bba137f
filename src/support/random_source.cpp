#include "support/random_source.h"

namespace vantor {

double random(RandomSource& source, double bound) {
    const int r = source.next();
    return r * bound / 32768.0;
}

int randint(RandomSource& source, int low, int high) {
    const std::int64_t r = source.next();
    const std::int64_t span = static_cast<std::int64_t>(high) - low;
    return static_cast<int>(low + span * r / 32768);
}

}  // namespace vantor
