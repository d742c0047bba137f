// What the run driver hands the selection stage: the library, the translated
// condition, the mode number as typed and the numbers that go with it, and
// the score. Nothing here runs; the stage's files read it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filter/field_catalogue.h"
#include "filter/song_row.h"
#include "scan/row_scorer.h"
#include "rules/rules.h"

namespace vantor {

namespace db {
class LibraryFile;
}

struct SelectionRequest {
    db::LibraryFile* library = nullptr;  // the run's, which outlives the selection
    std::string condition;     // the translated query filter, the sort filter at its end
    std::string sortFilter;    // as appended to SQL (leading blank already ensured), "" for none
    int mode = 0;              // as the front end passed it; see modeOf in choose/modes.h
    int songCount = 0;
    bool removeRepeats = false;
    int window = 0;
    int librarySize = 0;
    ColumnMap columns = ColumnMap::classic();
    // What scores each row; none when the math filter is "1" (no scoring).
    std::shared_ptr<RowScorer> scorer;
    SelectionRules rules;
    // Keep the chosen songs' scores for the caller (a scored run only).
    bool keepScores = false;
    // Take the plain ways throughout: every column fetched, a scan per
    // roulette draw, the whole candidate list sorted, the sort query matched
    // by LIKE. The fast ways must give the same IDs; this is their reference.
    bool reference = false;
    // How many parts the selection query's walk may be split into, each read
    // on a thread of its own (scan/range_scan.h): 1 reads it whole, 0 lets
    // the cores and the library's size decide.
    int threads = 1;
};

}  // namespace vantor
