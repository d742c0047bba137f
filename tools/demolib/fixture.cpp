// Exact little libraries for tests: each song's values land in the columns
// they name, everything else stays NULL.
#include <algorithm>
#include <stdexcept>

#include "demolib/demolib.h"
#include "demolib/layouts.h"
#include "demolib/library_writer.h"
#include "text/toolkit.h"

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

    if (!options.medias.empty() && options.layout != Layout::Current) {
        throw std::invalid_argument("the classic layout has no Medias table");
    }
    for (const FixtureMedia& media : options.medias) {
        std::vector<std::string> named;
        for (const auto& entry : media.values) {
            const auto& names = mediaColumnNames();
            const auto known = std::find_if(names.begin(), names.end(),
                                            [&](const std::string& n) { return equalsIgnoreAsciiCase(n, entry.first); });
            if (known == names.end()) throw std::invalid_argument("the Medias table has no column " + entry.first);
            if (known == names.begin()) throw std::invalid_argument("a media's ID is given by FixtureMedia::id");
            if (std::find(named.begin(), named.end(), *known) != named.end()) {
                throw std::invalid_argument("column " + entry.first + " is named twice");
            }
            named.push_back(*known);
        }
    }

    if (!options.playlists.empty() && options.layout != Layout::Current) {
        throw std::invalid_argument("the classic layout has no Playlists table");
    }

    LibraryWriter writer(path, options.layout, options.utf16);
    for (const FixtureMedia& media : options.medias) writer.insertMedia(media);
    for (const FixturePlaylist& playlist : options.playlists) writer.insertPlaylist(playlist);
    for (const auto& row : rows) writer.insert(row);
    writer.finish();
}

}  // namespace vantor::demo
