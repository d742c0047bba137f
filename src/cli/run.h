// The road of one run, top to bottom: arguments, filter rewrites, the
// rotation branch or the library sessions, selection, and the result file.
// Every failure arrives here as a RunError and leaves as one message in the
// result file; the exit status is 0 either way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>

#include "cli/options.h"
#include "support/random_source.h"

namespace vantor {

struct RunEnvironment {
    std::ostream& out;                    // the documented diagnostic lines
    std::ostream& err;                    // reasons for people; never parsed
    RandomSource& rng;
    std::function<std::uint32_t()> now;   // seconds, for seeding
    std::filesystem::path workDir;        // where vantor.ini is looked up
};

// Needs the eight or nine arguments (the options already taken off); returns
// the process exit status (0).
int run(int argc, const char* const* argv, RunEnvironment& env, const Options& options = {});

// The MurmurHash3 finalizer, through which every seed passes before it seeds
// the random source. Unmixed, the generator's first draw would move by about
// 3 in RandomSource::range per second of clock; mixed, runs a second apart start anywhere in the list.
std::uint32_t fmix32(std::uint32_t h);

}  // namespace vantor
