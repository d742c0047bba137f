// What the score tests compare: a math filter prepared as a run prepares it,
// and a score's outcome, its bits or the code of the error it threw.
#pragma once

#include <bit>
#include <cstdint>
#include <string>

#include "filter/expansion.h"
#include "filter/rewrites.h"
#include "report/run_error.h"
#include "score/tokenizer.h"

namespace vantor::testing {

// The math filter as typed, through the run's rewrites and expansion, as tokens.
inline TokenList preparedMath(std::string math, const char* today) {
    rewriteMathFilterAsTyped(math);
    math = easyFormulaToFullRedone(math);
    rewriteMathRating(math);
    return exptokenize2(math, today);
}

struct Outcome {
    bool threw = false;
    int code = 0;
    std::uint64_t bits = 0;
    bool operator==(const Outcome&) const = default;
};

template <typename F>
Outcome outcomeOf(F&& scoring) {
    Outcome o;
    try {
        o.bits = std::bit_cast<std::uint64_t>(scoring());
    } catch (const RunError& e) {
        o.threw = true;
        o.code = e.code();
    }
    return o;
}

}  // namespace vantor::testing
