// The small libraries the end-to-end tests run on: the same eight songs in
// the classic layout and in the current host layout, built by the demo
// library code so column lists live in one place.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "demolib/demolib.h"

namespace vantor::testing {

inline std::vector<demo::FixtureSong> eightSongs() {
    using demo::Value;
    const Value null{};
    auto song = [](std::int64_t id, Value artist, std::string title, std::string genre, std::int64_t year,
                   std::int64_t rating, std::int64_t lengthMs, std::int64_t plays, double lastPlayed,
                   std::string comment) {
        demo::FixtureSong s;
        s.id = id;
        s.values = {{"Artist", artist},         {"SongTitle", Value(title)},  {"Genre", Value(genre)},
                    {"Year", Value(year)},      {"Rating", Value(rating)},    {"SongLength", Value(lengthMs)},
                    {"PlayCounter", Value(plays)}, {"LastTimePlayed", Value(lastPlayed)},
                    {"DateAdded", Value(40000.25)}, {"FileModified", Value(40000.5)},
                    {"Comment", Value(comment)}, {"IDMedia", Value(std::int64_t{2})},
                    {"Album", Value(std::string("Album ") + std::to_string(id))},
                    {"FileLength", Value(std::int64_t{4000000})}};
        return s;
    };
    return {
        song(11, Value(std::string("ABBA")), "Dancing Queen", "Pop", 1976, 100, 230000, 12, 45000.5, "live"),
        song(12, Value(std::string("Queen")), "Bohemian Rhapsody", "Rock", 1975, 80, 355000, 30, 45100.0, ""),
        song(13, Value(std::string("The Beatles")), "Let It Be", "Rock", 1970, 60, 243000, 5, 30000.0, "studio"),
        song(14, Value(std::string("Miles Davis")), "So What", "Jazz", 1959, 100, 562000, 2, 44000.0, "live"),
        song(15, Value(std::string("Beyonc\xC3\xA9")), "Halo", "pop", 2008, -1, 261000, 0, 0.0, ""),
        song(16, Value(std::string("AC/DC")), "Rock and Roll Ain't Noise Pollution", "rock", 1980, 40, 255000, 7,
             45050.0, "live at donington"),
        song(17, null, "Untitled", "Rock", 2001, 20, 120000, 1, 45090.0, ""),
        song(18, Value(std::string("Bj\xC3\xB6rk")), "Army of Me", "Electronic", 1995, 80, 234000, 9, 45095.0,
             "remix"),
    };
}

inline std::string makeLibrary(const std::filesystem::path& dir, demo::Layout layout) {
    const auto path = (dir / (layout == demo::Layout::Classic ? "classic.db" : "current.db")).string();
    demo::LibraryOptions options;
    options.layout = layout;
    demo::createLibrary(path, options, eightSongs());
    return path;
}

// The two shapes a generated library is tested in: the plain one the
// generator always made before (the year alone, never analysed), and the
// host's (Year as YYYYMMDD, statistics from when it held a tenth of its songs).
struct GeneratedShape {
    const char* name;
    demo::YearForm years;
    demo::Statistics statistics;
};
inline constexpr GeneratedShape kPlainShape{"Plain", demo::YearForm::Plain, demo::Statistics::None};
inline constexpr GeneratedShape kHostShape{"Host", demo::YearForm::Dates, demo::Statistics::Stale};

inline void PrintTo(const GeneratedShape& shape, std::ostream* out) { *out << shape.name; }

inline std::string generateShaped(const std::string& path, int songs, const GeneratedShape& shape) {
    demo::GenerateOptions options;
    options.songs = songs;
    options.years = shape.years;
    options.statistics = shape.statistics;
    demo::generateLibrary(path, options);
    return path;
}

inline const char* layoutName(demo::Layout layout) {
    return layout == demo::Layout::Classic ? "Classic" : "Current";
}

}  // namespace vantor::testing
