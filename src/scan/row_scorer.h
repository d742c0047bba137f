// What scores a candidate: the math filter in a run, a stand-in in tests.
// The scan asks it for the score of each row it reads, on the thread that
// reads the row; what a score means is the modes' business.
#pragma once

#include <memory>
#include <vector>

#include "filter/song_row.h"

namespace vantor {

class RowScorer {
public:
    virtual ~RowScorer() = default;
    // The row's score; throws RunError(code::mathFilter) when the row has none.
    virtual double score(const SongRow& row) = 0;
    // The field codes score() reads: only their columns need fetching.
    virtual std::vector<int> fieldsRead() const = 0;
    // A scorer of its own for another thread, scoring as this one does (a
    // scorer may keep state between rows); none: the scan is not split.
    virtual std::unique_ptr<RowScorer> another() const = 0;
};

}  // namespace vantor
