// Puts names to the IDs of a result file, so a person can judge a run.
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "db/library_file.h"
#include "demolib/demolib.h"
#include "output/listing.h"
#include "output/song_lookup.h"
#include "support/read_file.h"
#include "text/ascii.h"
#include "text/toolkit.h"

namespace vantor::demo {
namespace {

bool isIdList(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (!(c == ',' || c == '-' || isAsciiDigit(c))) return false;
    }
    return true;
}

}  // namespace

void showResult(const std::string& dbPath, const std::string& resultPath, std::ostream& out) {
    const auto result = readWholeFile(resultPath);
    if (!result) throw std::runtime_error("cannot read " + resultPath);
    if (result->empty()) return;  // a run that chose no songs
    if (!isIdList(*result)) {
        out << *result;
        if (result->back() != '\n') out << '\n';
        return;
    }
    // Listed as vantor --show lists a run's songs, so the two never disagree.
    const std::vector<std::int64_t> ids = nsplit(*result, ',');
    db::LibraryFile library(dbPath);
    printListing(ids, lookUpSongs(library, ids), {}, out);
}

}  // namespace vantor::demo
