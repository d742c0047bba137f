// Exact little libraries for tests: each song's values land in the columns
// they name, everything else stays NULL.
#include <stdexcept>

#include "demolib/demolib.h"
#include "demolib/layouts.h"
#include "demolib/library_writer.h"

namespace vantor::demo {

void createLibrary(const std::string& path, const LibraryOptions& options, const std::vector<FixtureSong>& songs) {
    const std::size_t width = columnDefs(options.layout).size();
    const int idColumn = columnIndex(options.layout, "ID");

    // All rows are checked before the file is touched, so a typo loses nothing.
    std::vector<std::vector<Value>> rows;
    rows.reserve(songs.size());
    for (const FixtureSong& song : songs) {
        std::vector<Value> row(width);
        std::vector<bool> named(width, false);
        row[static_cast<std::size_t>(idColumn)] = song.id;
        for (const auto& [name, value] : song.values) {
            const int col = columnIndex(options.layout, name);
            if (col < 0) throw std::invalid_argument("the songs table has no column " + name);
            if (col == idColumn) throw std::invalid_argument("a song's ID is given by FixtureSong::id, not as " + name);
            if (named[static_cast<std::size_t>(col)]) throw std::invalid_argument("column " + name + " is named twice");
            named[static_cast<std::size_t>(col)] = true;
            row[static_cast<std::size_t>(col)] = value;
        }
        rows.push_back(std::move(row));
    }

    LibraryWriter writer(path, options.layout, options.utf16);
    for (const auto& row : rows) writer.insert(row);
    writer.finish();
}

}  // namespace vantor::demo
