// Demo and test libraries in the host's file format: a fixture API for tests
// that need a handful of exact songs, and a generator of large, realistic,
// reproducible libraries. Both write through one code path for both layouts.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace vantor::demo {

// Current: the host's own songs table (103 columns, text COLLATE IUNICODE,
// its 13 indexes). Classic: the field catalogue's layout, every catalogued
// column at its field code's position, 92 columns, UTF-8, no collation.
//
// Both open in the plain sqlite3 shell. The shell has no IUNICODE, so on the
// current layout it answers PRAGMA table_info, SELECT *, LIKE, arithmetic and
// numeric comparisons, but refuses =, <, IN, ORDER BY, GROUP BY or DISTINCT on
// a text column, and PRAGMA integrity_check, with "no such collation
// sequence: IUNICODE". Our own connections register a stand-in and can do all.
enum class Layout { Current, Classic };

using Value = std::variant<std::monostate /*NULL*/, std::int64_t, double, std::string>;

// `values` keys are column names in any ASCII case; a column not named is NULL.
struct FixtureSong {
    std::int64_t id;
    std::map<std::string, Value> values;
};

// A row of the current layout's Medias table; `values` as for a song, and
// the ID is given by `id`.
struct FixtureMedia {
    std::int64_t id;
    std::map<std::string, Value> values;
};

// A row of the current layout's Playlists table and its songs, in order.
struct FixturePlaylist {
    std::int64_t id;
    std::string name;
    std::int64_t parent = 0;  // the IDPlaylist it is within; 0 at the top
    bool automatic = false;   // IsAutoPlaylist: the host keeps a search for it, and no songs
    std::vector<std::int64_t> songs = {};
};

struct LibraryOptions {
    Layout layout = Layout::Current;
    bool utf16 = true;  // ignored for Classic (UTF-8)
    // The current layout always has a Medias table, empty unless given; the
    // classic layout has none.
    std::vector<FixtureMedia> medias = {};
    // Likewise its Playlists and PlaylistSongs tables.
    std::vector<FixturePlaylist> playlists = {};
};

// Writes exactly these songs (and media) into a new library at `path`,
// replacing any file there. A column name the table lacks (or the ID among
// the values, or one column named twice), or media for the classic layout,
// throws std::invalid_argument before anything is written.
void createLibrary(const std::string& path, const LibraryOptions& options, const std::vector<FixtureSong>& songs);

// How Year is stored. Dates is the current host's form, YYYYMMDD: 19970000
// for a year alone, 20061226 for a full date, -1 for none. Plain is the year
// alone (1997, 0 for none), as the demo libraries stored it before.
enum class YearForm { Plain, Dates };

// The sqlite_stat1 a library carries. A host analyses its library now and
// then, so its statistics are usually older than its songs: Stale is an
// ANALYZE run when the library held a tenth of its songs; Fresh one run on
// the whole; None a library never analysed.
enum class Statistics { None, Stale, Fresh };

struct GenerateOptions {
    Layout layout = Layout::Current;
    int songs = 2000;
    std::uint32_t seed = 1;
    bool utf16 = true;  // ignored for Classic (UTF-8)
    // The host's shape, current layout only: the classic layout keeps plain
    // years and no statistics whatever these say.
    YearForm years = YearForm::Dates;
    Statistics statistics = Statistics::Stale;
    // A few saved playlists, some within others, and an automatic one
    // (current layout only), drawn on a stream of their own: the songs stay
    // the same either way.
    bool playlists = false;
};

// A library of `songs` made-up songs with IDs 1..N, the same for the same
// options on every machine. Dates count from a fixed day, not from today.
// The shape (years, statistics) draws on a random stream of its own, so the
// songs are the same in every shape but for Year.
void generateLibrary(const std::string& path, const GenerateOptions& options);

// The day the generator treats as today (2025-01-01 as a day number).
inline constexpr double kGeneratedToday = 45658.0;

// The layout's column names in position order.
std::vector<std::string> columnNames(Layout layout);

// For a person: the songs of a result file as `vantor --show` lists them
// (ID, "Artist – Title", length, tab-separated), read from the library; a
// result file that holds an error message is printed as is. Throws
// std::runtime_error when either file cannot be read.
void showResult(const std::string& dbPath, const std::string& resultPath, std::ostream& out);

}  // namespace vantor::demo
