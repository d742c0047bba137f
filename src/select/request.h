// What the run driver hands the selection stage: the library, the translated
// condition, the mode number as typed and the numbers that go with it, and
// the score. Nothing here runs; the stage's files read it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "filter/field_catalogue.h"
#include "filter/song_row.h"

namespace vantor {

namespace db {
class LibraryFile;
}

struct SelectionRequest {
    db::LibraryFile* library = nullptr;  // the run's, which outlives the selection
    std::string condition;     // the translated query filter, the sort filter at its end
    std::string sortFilter;    // as appended to SQL (leading blank already ensured), "" for none
    int mode = 0;              // as the front end passed it; see modeOf in select/modes.h
    int songCount = 0;
    bool removeRepeats = false;
    int window = 0;
    int librarySize = 0;
    ColumnMap columns = ColumnMap::classic();
    // The row's score; empty when the math filter is "1" (no scoring).
    std::function<double(const SongRow&)> score;
    // The field codes `score` reads; only these columns are fetched.
    std::vector<int> scoreCodes;
    // Take the plain ways throughout: every column fetched, a scan per
    // roulette draw, the whole candidate list sorted, the sort query matched
    // by LIKE. The fast ways must give the same IDs; this is their reference.
    bool reference = false;
};

}  // namespace vantor
