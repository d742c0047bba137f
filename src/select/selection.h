// The selection stage: runs the selection query, turns rows into candidates,
// applies the mode (0 probability, 1 roulette / uniform draws, 2 top list),
// re-orders mode-1 draws with the sort filter and removes repeats.
// It does not build SQL from filters and does not write the result file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "filter/field_catalogue.h"
#include "filter/song_row.h"
#include "support/random_source.h"

namespace vantor {

namespace db {
class Connection;
class LibraryFile;
}

struct SelectionRequest {
    db::LibraryFile* library = nullptr;  // the run's, which outlives the selection
    std::string condition;     // the translated query filter, the sort filter at its end
    std::string sortFilter;    // as appended to SQL (leading blank already ensured), "" for none
    int mode = 0;
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

// The final ID list. Throws RunError with the selection and sort connections' codes.
std::vector<std::int64_t> runSelection(const SelectionRequest& request, RandomSource& rng);

// "SELECT ID FROM songs WHERE ',5,7,5,9,' LIKE '%,'||ID||',%'" + sort filter.
std::string buildSortQuery(const std::vector<std::int64_t>& ids, const std::string& sortFilter);

// The sort query to run for these draws: the LIKE form, or a lookup through
// the ID key that SQLite walks the same way, so the rows and their order are
// the LIKE form's (the reference request always gets the LIKE form).
std::string chooseSortQuery(db::Connection& connection, const std::vector<std::int64_t>& ids,
                            const SelectionRequest& request);

// The selection query's head and condition: "SELECT * FROM songs WHERE " +
// condition with scoring, "SELECT ID FROM songs WHERE " + condition without.
std::string referenceSelectionSql(const SelectionRequest& request);

}  // namespace vantor
