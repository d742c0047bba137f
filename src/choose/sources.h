// Where each mode's songs come from, as the list rules' SongSource: mode 0's
// kept rows, draws with or without replacement, ranks down the top list,
// and nothing. Which mode takes which, and the rounds over them, are not
// here (choose/modes.cpp, rules/rules.h).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "choose/picks.h"
#include "rules/rules.h"
#include "scan/candidates.h"
#include "support/random_source.h"

namespace vantor {

// Mode 0: every candidate in query order, kept when its score beats a draw,
// all read as it is made. Unscored (the math filter "1"), every candidate
// is kept and nothing is drawn. With `kept`, the kept candidates with their
// scores go there too.
std::unique_ptr<SongSource> keptRows(CandidateList& candidates, RandomSource& rng, std::vector<pick>* kept);

// Draws from `picks` (which must outlive the source) by weight when
// `scored`, else uniformly, with replacement and endless. With `oneBatch`
// the first batch may use the records up: a run of one batch that keeps no
// scores needs no copy of them.
std::unique_ptr<SongSource> redraws(std::vector<pick>& picks, bool scored, RandomSource& rng, const PickWays& ways,
                                    bool oneBatch);

// Draws without replacement by weight (every weight 1 unscored): a drawn
// song leaves the wheel and the others keep their weights. The keys are
// drawn as it is made.
std::unique_ptr<SongSource> drawsWithoutReplacement(const std::vector<pick>& picks, bool scored, RandomSource& rng);

// The top list's ranks, further down it each batch.
std::unique_ptr<SongSource> ranks(const std::vector<pick>& picks, const PickWays& ways);

// No songs at all.
std::unique_ptr<SongSource> noSongs();

}  // namespace vantor
