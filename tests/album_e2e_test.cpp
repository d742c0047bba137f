// --max-per-album over whole runs: the album is one IDAlbum where the
// library has that column (the current layout), else one Album with one
// AlbumArtist, case-folded (the classic layout). Every list of every mode,
// of the rotation and of the other rules with it keeps the cap under the
// layout's own idea of an album; the stage on its own is in rules_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cli/options.h"
#include "demolib/demolib.h"
#include "e2e_library.h"
#include "harness.h"
#include "rules_runs.h"

using namespace vantor;
using namespace vantor::testing;

namespace {

// Albums as people tag them, with the album the song belongs to under
// each layout's reading (0: no album). Spelled alike after case folding, the
// text layout takes them as one album; the host's IDAlbum decides alone
// where it is there, so it may part what the texts join.
struct Tagging {
    std::optional<std::string> album, albumArtist;
    int byText;                       // Album with AlbumArtist, case-folded
    std::optional<std::int64_t> idAlbum;  // NULL, 0 and -1: no album
};
const Tagging kTaggings[] = {
    {"Arrival", "ABBA", 1, 7},
    {"ARRIVAL", "abba", 1, 7},
    {"Arrival", "Queen", 2, 8},  // one title, another album artist: another album
    {"\xC3\x89t\xC3\xA9", "Bj\xC3\xB6rk", 3, 9},            // Été, Björk
    {"\xC3\x89T\xC3\x89", "BJ\xC3\x96RK", 3, 12},           // ÉTÉ, BJÖRK: the host keeps it apart
    {"", "ABBA", 0, -1},
    {std::nullopt, std::nullopt, 0, std::nullopt},
    {"Greatest Hits", std::nullopt, 4, 0},
    {"greatest hits", "", 4, 10},  // no album artist, NULL or empty, is one
};

constexpr int kSongs = 36;

struct Song {
    std::int64_t id;
    int album;   // under the library's reading; 0: none
    int artist;  // 1..4
    std::int64_t lengthMs;
};

enum class Reading { byText, byIdAlbum };

std::vector<Song> fixtureSongs(Reading reading) {
    std::vector<Song> songs;
    for (int i = 0; i < kSongs; ++i) {
        const Tagging& t = kTaggings[i % std::size(kTaggings)];
        const int byId = t.idAlbum && *t.idAlbum > 0 ? static_cast<int>(*t.idAlbum) : 0;
        songs.push_back({101 + i, reading == Reading::byText ? t.byText : byId, i % 4 + 1,
                         ((i * 37) % 7 + 1) * 50000});
    }
    return songs;
}

std::string sqlText(const std::optional<std::string>& text) { return text ? "'" + *text + "'" : "NULL"; }

// The songs' INSERT into a table with these columns.
std::string insertSongs() {
    std::string sql = "INSERT INTO songs(ID,Artist,Album,AlbumArtist,SongLength,PlayCounter,Year) VALUES";
    for (int i = 0; i < kSongs; ++i) {
        const Tagging& t = kTaggings[i % std::size(kTaggings)];
        sql += (i > 0 ? "," : "") + std::string("(") + std::to_string(101 + i) + ",'Artist " +
               std::to_string(i % 4 + 1) + "'," + sqlText(t.album) + "," + sqlText(t.albumArtist) + "," +
               std::to_string(((i * 37) % 7 + 1) * 50000) + "," + std::to_string(i % 6) + "," +
               std::to_string(1960 + i) + ")";
    }
    return sql;
}

// The libraries the rule is read on: how each is made, and its reading.
struct Library {
    const char* name;
    Reading reading;
    std::function<std::string(const fs::path&)> make;
};

const Library kLibraries[] = {
    // The classic layout: Album and AlbumArtist, no IDAlbum.
    {"classic", Reading::byText,
     [](const fs::path& dir) {
         const std::string path = (dir / "classic.db").string();
         buildLibrary(path, classicSongsTable(), {insertSongs()});
         return path;
     }},
    // ID not first: without scoring the selection query fetches ID alone and
    // the songs' data is looked up by ID afterwards.
    {"lookedUp", Reading::byText,
     [](const fs::path& dir) {
         const std::string path = (dir / "lookedup.db").string();
         buildLibrary(path,
                      "CREATE TABLE songs(Album TEXT, ID INTEGER PRIMARY KEY, AlbumArtist TEXT, Artist TEXT, "
                      "SongLength INTEGER, PlayCounter INTEGER, Year INTEGER)",
                      {insertSongs()});
         return path;
     }},
    // The host's layout (UTF-16, IUNICODE), with its IDAlbum.
    {"current", Reading::byIdAlbum,
     [](const fs::path& dir) {
         std::vector<demo::FixtureSong> rows;
         for (int i = 0; i < kSongs; ++i) {
             const Tagging& t = kTaggings[i % std::size(kTaggings)];
             demo::FixtureSong s;
             s.id = 101 + i;
             const auto text = [](const std::optional<std::string>& v) { return v ? demo::Value(*v) : demo::Value(); };
             s.values["Artist"] = demo::Value("Artist " + std::to_string(i % 4 + 1));
             s.values["Album"] = text(t.album);
             s.values["AlbumArtist"] = text(t.albumArtist);
             s.values["IDAlbum"] = t.idAlbum ? demo::Value(*t.idAlbum) : demo::Value();
             s.values["SongLength"] = demo::Value(std::int64_t{((i * 37) % 7 + 1) * 50000});
             s.values["PlayCounter"] = demo::Value(std::int64_t{i % 6});
             s.values["Year"] = demo::Value(std::int64_t{1960 + i});
             rows.push_back(s);
         }
         const std::string path = (dir / "current.db").string();
         demo::LibraryOptions options;
         options.layout = demo::Layout::Current;
         demo::createLibrary(path, options, rows);
         return path;
     }},
};

// Failures name the library, not its bytes.
void PrintTo(const Library& library, std::ostream* os) { *os << library.name; }

Options rules(int perAlbum) {
    Options o;
    o.seed = 20250101;
    o.maxPerAlbum = perAlbum;
    return o;
}

// Every rule the options set, over one list, with albums as `reading` has them.
void expectRulesKept(const std::vector<std::int64_t>& ids, const Options& o, Reading reading, const std::string& what) {
    std::map<std::int64_t, Song> byId;
    for (const Song& s : fixtureSongs(reading)) byId[s.id] = s;
    std::map<int, int> perAlbum, perArtist;
    std::map<int, std::size_t> lastPlace;
    std::int64_t total = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const auto it = byId.find(ids[i]);
        if (it == byId.end()) continue;  // not in the library: no album, no artist, no length
        const Song& song = it->second;
        total += song.lengthMs;
        if (song.album != 0) {
            EXPECT_LE(++perAlbum[song.album], *o.maxPerAlbum) << what << " at " << i;
        }
        if (o.maxPerArtist) {
            EXPECT_LE(++perArtist[song.artist], *o.maxPerArtist) << what << " at " << i;
        }
        if (o.artistGap && lastPlace.count(song.artist)) {
            EXPECT_GT(i - lastPlace[song.artist], static_cast<std::size_t>(*o.artistGap)) << what << " at " << i;
        }
        lastPlace[song.artist] = i;
    }
    if (o.minutes) {
        EXPECT_LE(total, std::int64_t{*o.minutes} * 60000) << what;
    }
    if (o.distinct) {
        EXPECT_EQ(std::set<std::int64_t>(ids.begin(), ids.end()).size(), ids.size()) << what;
    }
}

// How many songs a list can hold under the album cap alone.
std::size_t capacity(int perAlbum, Reading reading) {
    std::map<int, int> taken;
    std::size_t n = 0;
    for (const Song& s : fixtureSongs(reading)) {
        if (s.album == 0 || ++taken[s.album] <= perAlbum) ++n;
    }
    return n;
}

class AlbumRuns : public ::testing::TestWithParam<Library> {
protected:
    TempDir dir;
};

}  // namespace

TEST_P(AlbumRuns, EveryListKeepsTheCapUnderItsLibrarysAlbums) {
    const Library& library = GetParam();
    const std::string db = library.make(dir.path());
    std::vector<Options> cases;
    for (const int cap : {1, 2}) cases.push_back(rules(cap));
    Options distinct = rules(2);
    distinct.distinct = true;
    Options withArtist = rules(1);
    withArtist.maxPerArtist = 2;
    Options everything = rules(2);
    everything.distinct = true;
    everything.minutes = 20;
    everything.maxPerArtist = 3;
    everything.artistGap = 1;
    for (const Options& o : {distinct, withArtist, everything}) cases.push_back(o);

    for (const Options& o : cases) {
        for (const int mode : {0, 1, 2}) {
            for (const std::string sort : {"", "ORDER BY Album"}) {
                for (const std::string math : {"1", "playcounter+1"}) {
                    const std::string what = describe(o) + " mode " + std::to_string(mode) + " sort '" + sort +
                                             "' math " + math;
                    const std::vector<std::string> args{db,   "year>0", sort, math, std::to_string(mode), "20", "0",
                                                        (dir / "out.txt").string()};
                    const auto r = runInProcess(args, 1, dir.path(), o);
                    ASSERT_EQ(r.status, 0) << what;
                    const std::string file = slurp(dir / "out.txt");
                    ASSERT_EQ(file.find("ERROR"), std::string::npos) << what << ": " << file;
                    const std::vector<std::int64_t> ids = idsIn(file);
                    EXPECT_FALSE(ids.empty()) << what;
                    if (mode != 0) {
                        EXPECT_LE(ids.size(), 20u) << what;
                    }
                    expectRulesKept(ids, o, library.reading, what);

                    // Read in parts, the songs' data comes from every part alike.
                    Options inParts = o;
                    inParts.threads = 3;
                    runInProcess(args, 1, dir.path(), inParts);
                    EXPECT_EQ(slurp(dir / "out.txt"), file) << what << " in three parts";

                    // Where the pool alone decides the length (--distinct
                    // draws, mode 2's ranks), the list holds all it allows.
                    const bool finite = o.distinct || (mode == 2 && math != "1");
                    if (mode == 0 || !finite || o.minutes || o.maxPerArtist) continue;
                    EXPECT_EQ(ids.size(), std::min<std::size_t>(capacity(*o.maxPerAlbum, library.reading), 20))
                        << what;
                }
            }
        }
    }
}

// Ranked by ID, the cap skips each song past it and takes the next rank.
TEST_P(AlbumRuns, ASongPastTheCapGivesItsPlaceToTheNextRank) {
    const Library& library = GetParam();
    const std::string db = library.make(dir.path());
    runInProcess({db, "year>0", "", "1000-id", "2", "8", "0", (dir / "out.txt").string()}, 1, dir.path(), rules(1));
    // 101..109 are one of each tagging, 110..118 the same again. 102 is
    // 101's album either way, 105 104's by the texts only; 106 and 107 have
    // no album, 108 none by its IDAlbum (0) but one by its texts, which 109
    // shares. By the texts the pool of albums is spent at 109, and only songs
    // without one (115, 116) come after.
    EXPECT_EQ(slurp(dir / "out.txt"), library.reading == Reading::byText ? "101,103,104,106,107,108,115,116"
                                                                         : "101,103,104,105,106,107,108,109");
}

TEST_P(AlbumRuns, RotationKeepsTheCap) {
    const Library& library = GetParam();
    const std::string db = library.make(dir.path());
    spit(dir / "vantor.ini", "a_name=First\r\nb_name=Second\r\n");
    // 999 is in no library: no album, so it is never held back.
    spit(dir / "a", "101,102,103,104,105,999,110,111");
    spit(dir / "b", "110,119,128,106,107,108,109,112,999");
    for (const int cap : {1, 2}) {
        runInProcess({db, "rotate(First,Second)", "", "1", "1", "10", "0", (dir / "out.txt").string()}, 1, dir.path(),
                     rules(cap));
        const std::vector<std::int64_t> ids = idsIn(slurp(dir / "out.txt"));
        EXPECT_EQ(ids.size(), 10u) << "cap " << cap;
        expectRulesKept(ids, rules(cap), library.reading, "rotation, cap " + std::to_string(cap));
    }
    // Dealt in turn: 101, 110, 102, 119 (all the first album), 103, 128 (the
    // first again), 104, 106: the songs past the cap give their places to the
    // deals after them.
    runInProcess({db, "rotate(First,Second)", "", "1", "1", "4", "0", (dir / "out.txt").string()}, 1, dir.path(),
                 rules(1));
    EXPECT_EQ(slurp(dir / "out.txt"), "101,103,104,106");
}

INSTANTIATE_TEST_SUITE_P(Libraries, AlbumRuns, ::testing::ValuesIn(kLibraries),
                         [](const ::testing::TestParamInfo<Library>& info) { return std::string(info.param.name); });

// A library that keeps no album (no IDAlbum, no Album): every song is
// without one, and the cap holds none back: the list is the run's without it.
TEST(AlbumRule, ALibraryWithoutAlbumsHoldsNoSongBack) {
    TempDir dir;
    const std::string db = (dir / "bare.db").string();
    std::string insert = "INSERT INTO songs(ID,Artist,PlayCounter) VALUES";
    for (int i = 0; i < 20; ++i) insert += (i > 0 ? ",(" : "(") + std::to_string(1 + i) + ",'x'," + std::to_string(i % 3) + ")";
    buildLibrary(db, "CREATE TABLE songs(ID INTEGER PRIMARY KEY, Artist TEXT, PlayCounter INTEGER)", {insert});
    for (const std::string mode : {"0", "1", "2"}) {
        for (const std::string math : {"1", "playcounter"}) {
            const std::vector<std::string> args{db, "id>0", "", math, mode, "10", "0", (dir / "out.txt").string()};
            Options seedOnly;
            seedOnly.seed = 5;
            runInProcess(args, 1, dir.path(), seedOnly);
            const std::string plain = slurp(dir / "out.txt");
            Options capped = seedOnly;
            capped.maxPerAlbum = 1;
            runInProcess(args, 1, dir.path(), capped);
            EXPECT_EQ(slurp(dir / "out.txt"), plain) << "mode " << mode << " math " << math;
            EXPECT_EQ(plain.find("ERROR"), std::string::npos) << plain;
        }
    }
}
