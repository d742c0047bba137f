// The math filter as a user types it, through whole runs: each song's score
// seen through mode 2's order (best first, ties in query order), mode 0 with
// scores of 0 and 1, and mode 1's draws under a fixed clock.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "fixture_library.h"
#include "harness.h"

using namespace vantor::testing;
using vantor::demo::FixtureSong;
using vantor::demo::Layout;
using vantor::demo::Value;

namespace {

// Ordering by ID makes the query order, and so mode 2's ties, the same on both layouts.
std::vector<std::string> byId(const std::string& db, const std::string& query, const std::string& math, int mode,
                              int count, const std::string& result) {
    return argv8(db, query, "ORDER BY ID", math, mode, count, result);
}

std::string writeLibrary(const std::filesystem::path& dir, Layout layout, const std::vector<FixtureSong>& songs,
                         const std::string& name = "math") {
    const auto path = (dir / (name + layoutName(layout) + ".db")).string();
    vantor::demo::LibraryOptions options;
    options.layout = layout;
    vantor::demo::createLibrary(path, options, songs);
    return path;
}

// Five songs whose ratings, plays, lengths and play dates each rank them
// differently. Song 5 has a NULL artist and a NULL play count.
std::string makeScoringLibrary(const std::filesystem::path& dir, Layout layout) {
    const double today = todayDayNumber();
    auto song = [](std::int64_t id, Value artist, const std::string& album, std::int64_t rating, Value plays,
                   std::int64_t lengthMs, double lastPlayed, Value comment) {
        return FixtureSong{id,
                           {{"Artist", artist},
                            {"Album", Value(album)},
                            {"Rating", Value(rating)},
                            {"PlayCounter", plays},
                            {"SongLength", Value(lengthMs)},
                            {"LastTimePlayed", Value(lastPlayed)},
                            {"Comment", comment}}};
    };
    using S = std::string;
    using I = std::int64_t;
    return writeLibrary(dir, layout,
                        {
                            song(1, Value(S("ABBA")), "Arrival", 100, Value(I{2}), 200000, today - 5, Value(S("studio"))),
                            song(2, Value(S("Queen")), "Queen", 60, Value(I{10}), 170000, today - 100, Value(S(""))),
                            song(3, Value(S("abba")), "ABBA", 80, Value(I{5}), 181000, today - 40,
                                 Value(S("Live at Wembley"))),
                            song(4, Value(S("Miles Davis")), "Kind of Blue", 20, Value(I{0}), 560000, 0.0,
                                 Value(S("live"))),
                            song(5, Value{}, "Untitled", 40, Value{}, 120000, today - 1, Value{}),
                        });
}

const std::string kMathFieldUnknown = "ERROR: Field in Math Filter not recognized";
const std::string kEditMath = "ERROR: Please edit Math Filter";

std::map<int, int> countIds(const std::string& csv) {
    std::map<int, int> counts;
    std::size_t from = 0;
    while (from < csv.size()) {
        const std::size_t comma = std::min(csv.find(',', from), csv.size());
        ++counts[std::stoi(csv.substr(from, comma - from))];
        from = comma + 1;
    }
    return counts;
}

}  // namespace

class MathRuns : public ::testing::TestWithParam<Layout> {};

TEST_P(MathRuns, ScoresRankAndKeepSongs) {
    TempDir dir;
    const auto db = makeScoringLibrary(dir.path(), GetParam());
    // mode0 is checked only where every score is 0 or at least 1, so nothing is left to chance.
    struct Case { std::string math; std::string mode2; std::optional<std::string> mode0 = std::nullopt; };
    const Case cases[] = {
        {"if(playcounter>3,1,0.5)", "2,3,1,4,5"},                  // NULL plays count as 0
        {"rating>3 and artist=abba", "1,3,2,4,5", "1,3"},          // stars; "=" ignores case
        {"lastplayedage>30", "2,3,4,1,5", "2,3,4"},                // never played (0) is oldest
        {"max(rating,3)", "1,3,2,4,5", "1,2,3,4,5"},               // ties 3, 3, 3 stay in query order
        {"anyfield contains live", "3,4,1,2,5", "3,4"},            // the song's text is lower-cased first
        {"artist=album", "2,3,1,4,5", "2,3"},                      // two columns of one row
        {"artist~EMPTY", "1,2,3,4,5", "1,2,3,4,5"},                // every text holds the empty text
        {"artist!~EMPTY", "1,2,3,4,5", ""},
        {"artist contains", "1,2,3,4,5", "1,2,3,4,5"},             // nothing to the right: the empty text
        {"sin(playcounter)", "1,4,5,2,3"},                         // radians: sin 2 > sin 0 > sin 10 > sin 5
        {"sin(3.14159)<0.001", "1,2,3,4,5", "1,2,3,4,5"},         // in degrees it would be 0.05
        {"songlength>180", "1,3,4,2,5", "1,3,4"},                  // seconds
        {"SongLength>180", "1,2,3,4,5", "1,2,3,4,5"},              // typed in capitals: milliseconds
        // Not the no-scoring "1": each song scores once, so mode 2 ranks all
        // five instead of drawing with replacement.
        {"1.0", "1,2,3,4,5", "1,2,3,4,5"},
        {"2", "1,2,3,4,5", "1,2,3,4,5"},
        {"(1)", "1,2,3,4,5", "1,2,3,4,5"},
    };
    for (const auto& c : cases) {
        auto r = runBinary(byId(db, "id>0", c.math, 2, 5, "out.txt"), dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(slurp(dir / "out.txt"), c.mode2) << c.math << " in mode 2\n" << r.out << r.err;
        if (!c.mode0) continue;
        r = runBinary(byId(db, "id>0", c.math, 0, 0, "out.txt"), dir.path());
        EXPECT_EQ(slurp(dir / "out.txt"), *c.mode0) << c.math << " in mode 0\n" << r.out << r.err;
    }
}

// An unknown name ends the run before any row is read, so also when there
// are no rows; a formula the parser refuses fails at the first row, so a
// query without rows never notices it.
TEST_P(MathRuns, FilterErrorsAndWhenTheyArise) {
    TempDir dir;
    const auto db = makeScoringLibrary(dir.path(), GetParam());
    struct Case { std::string math; std::string withRows; std::string withoutRows; };
    const Case cases[] = {
        {"bpm>fast", kMathFieldUnknown, kMathFieldUnknown},
        {"if (rating>3,1,0)", kMathFieldUnknown, kMathFieldUnknown},  // the blank makes "if" a bare name
        {"year='1990'", kEditMath, ""},                               // text literal against a number
        {"", kEditMath, ""},                                          // empty is not "1"
        {"max (rating,3)", kEditMath, ""},                            // the blank becomes an "and"
        {"artist<album", kEditMath, ""},                              // decides nothing: an empty formula
        {"'rock and roll'", kMathFieldUnknown, kMathFieldUnknown},    // rock&roll splits into two names
    };
    for (const auto& c : cases) {
        for (const auto& [query, file] : {std::pair{"id>0", c.withRows}, std::pair{"id>100", c.withoutRows}}) {
            spit(dir / "out.txt", "old");
            const auto r = runBinary(byId(db, query, c.math, 0, 0, "out.txt"), dir.path());
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(slurp(dir / "out.txt"), file) << c.math << " / " << query;
        }
    }
}

// A NULL text reads as the empty text and a NULL number as 0, so such songs
// still score; an empty text where a number belongs cannot be scored.
TEST_P(MathRuns, NullColumnsStillScore) {
    TempDir dir;
    const auto db = makeScoringLibrary(dir.path(), GetParam());
    runBinary(byId(db, "id>0", "artist=EMPTY", 0, 0, "out.txt"), dir.path());
    EXPECT_EQ(slurp(dir / "out.txt"), "5");
    runBinary(byId(db, "id>0", "playcounter<1", 0, 0, "out.txt"), dir.path());
    EXPECT_EQ(slurp(dir / "out.txt"), "4,5");

    const auto broken = writeLibrary(dir.path(), GetParam(),
                                     {{1, {{"PlayCounter", Value(std::int64_t{3})}}},
                                      {2, {{"PlayCounter", Value(std::string(""))}}}},
                                     "broken");
    const auto r = runBinary(byId(broken, "id>0", "playcounter<1", 0, 0, "out.txt"), dir.path());
    EXPECT_EQ(slurp(dir / "out.txt"), kEditMath) << r.out;
}

TEST_P(MathRuns, TopListTakesTheBestWithinTheCount) {
    TempDir dir;
    const auto db = makeScoringLibrary(dir.path(), GetParam());
    runBinary(byId(db, "id>0", "playcounter", 2, 2, "out.txt"), dir.path());
    EXPECT_EQ(slurp(dir / "out.txt"), "2,3");
    runBinary(byId(db, "id>0", "playcounter", 2, 50, "out.txt"), dir.path());
    EXPECT_EQ(slurp(dir / "out.txt"), "2,3,1,4,5");
    // Equal scores keep the query's order, whatever it is.
    auto args = byId(db, "id>0", "max(rating,3)", 2, 5, "out.txt");
    args[2] = "ORDER BY ID DESC";
    runBinary(args, dir.path());
    EXPECT_EQ(slurp(dir / "out.txt"), "1,3,5,4,2");
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, MathRuns, ::testing::Values(Layout::Classic, Layout::Current),
                         [](const auto& info) { return std::string(layoutName(info.param)); });

// Mode 1 draws in proportion to the scores. The clock is fixed, so the draws
// are too, and the counts are exact: worked out here from the same seed, the
// clock through fmix32, with the roulette's rule (the first song whose
// running weight reaches draw × total / 32768) and the sort query's (ORDER BY
// ID puts the distinct songs drawn, ascending, over the first draws).
TEST(MathWeights, RouletteFollowsTheScores) {
    TempDir dir;
    const auto db = makeScoringLibrary(dir.path(), Layout::Current);
    const auto out = (dir / "out.txt").string();
    constexpr std::uint32_t kClock = 1234567;
    auto expectedCounts = [](const std::vector<std::pair<int, double>>& weights) {
        double total = 0.0;
        for (const auto& w : weights) total += w.second;
        vantor::MsvcRand seeded(vantor::fmix32(kClock));
        std::vector<int> drawn;
        for (int i = 0; i < 400; ++i) {
            const double point = seeded.next() * total / 32768.0;
            double running = 0.0;
            for (const auto& [id, weight] : weights) {
                running += weight;
                if (running >= point) {
                    drawn.push_back(id);
                    break;
                }
            }
        }
        std::vector<int> distinct = drawn;
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        std::copy(distinct.begin(), distinct.end(), drawn.begin());
        std::map<int, int> counts;
        for (const int id : drawn) ++counts[id];
        return counts;
    };
    struct Case { std::string query; std::string math; std::vector<std::pair<int, double>> weights; };
    const Case cases[] = {
        // Songs 1 and 3 weigh 1, the rest 0: nothing else is ever drawn.
        {"id>0", "artist=abba", {{1, 1}, {2, 0}, {3, 1}, {4, 0}, {5, 0}}},
        // Every score 0: the first candidate every time.
        {"id>0", "0", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}},
        // Weights 3 : 1 over 400 draws.
        {"id<3", "if(artist=abba,3,1)", {{1, 3}, {2, 1}}},
    };
    for (const auto& c : cases) {
        const std::map<int, int> expected = expectedCounts(c.weights);
        const auto r = runInProcess(byId(db, c.query, c.math, 1, 400, out), kClock, dir.path());
        EXPECT_EQ(countIds(slurp(out)), expected) << c.math << "\n" << r.err;
        // The weights show in the counts: no song of weight 0 drawn, 3 : 1 close to 300 : 100.
        for (const auto& [id, weight] : c.weights) {
            if (weight == 0 && id != 1) {
                EXPECT_EQ(expected.count(id), 0u) << c.math << " song " << id;
            }
        }
    }
    EXPECT_NEAR(expectedCounts({{1, 3}, {2, 1}}).at(1), 300, 30);
}

// On the host's own layout the scorer must read each field from the column of
// that name. The order mode 2 writes is compared with one computed here from
// values read by column name, over a generated library with real untidiness
// (NULLs, case variants, unrated and never-played songs).
TEST(MathCurrentLayout, FieldsAreReadByColumnName) {
    TempDir dir;
    const auto db = (dir / "generated.db").string();
    vantor::demo::GenerateOptions options;
    options.layout = Layout::Current;
    options.songs = 300;
    vantor::demo::generateLibrary(db, options);

    const char* const textColumns[] = {
        "Artist",    "Album",     "AlbumArtist", "DiscNumber", "TrackNumber", "SongTitle",   "SongPath",
        "Genre",     "Author",    "Custom1",     "Custom2",    "Custom3",     "Custom4",     "Custom5",
        "Copyright", "Publisher", "Encoder",     "Lyricist",   "Conductor",   "InvolvedPeople",
        "OrigTitle", "OrigArtist", "OrigLyricist", "GroupDesc", "Tempo",      "Mood",        "Occasion",
        "Quality",   "Lyrics",    "Comment",  // the host table has no MediaType
    };
    struct Song {
        int id;
        std::map<std::string, std::string> text;  // NULL as ""
        std::map<std::string, double> number;     // NULL as 0
    };
    std::vector<Song> songs;
    {
        std::string sql = "SELECT ID, Rating, PlayCounter, SongLength, LastTimePlayed";
        for (const char* c : textColumns) sql += std::string(", ") + c;
        sql += " FROM songs ORDER BY ID";
        sqlite3* conn = nullptr;
        ASSERT_EQ(sqlite3_open_v2(db.c_str(), &conn, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(conn, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(conn);
        while (sqlite3_step(st) == SQLITE_ROW) {
            Song s{sqlite3_column_int(st, 0), {}, {}};
            const char* numbers[] = {"Rating", "PlayCounter", "SongLength", "LastTimePlayed"};
            for (int i = 0; i < 4; ++i) s.number[numbers[i]] = sqlite3_column_double(st, i + 1);
            for (int i = 0; i < static_cast<int>(std::size(textColumns)); ++i) {
                const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i + 5));
                s.text[textColumns[i]] = t ? t : "";
            }
            songs.push_back(std::move(s));
        }
        sqlite3_finalize(st);
        sqlite3_close(conn);
    }
    ASSERT_EQ(songs.size(), 300u);

    auto lower = [](std::string s) {
        for (char& ch : s) if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        return s;
    };
    const double today = todayDayNumber();
    using Score = std::function<double(const Song&)>;
    struct Case { std::string math; Score score; };
    const Case cases[] = {
        {"rating", [](const Song& s) { return s.number.at("Rating"); }},
        {"playcounter", [](const Song& s) { return s.number.at("PlayCounter"); }},
        {"songlength", [](const Song& s) { return s.number.at("SongLength"); }},
        {"lastplayedage", [&](const Song& s) { return today - s.number.at("LastTimePlayed"); }},
        {"genre=rock", [&](const Song& s) { return lower(s.text.at("Genre")) == "rock" ? 1.0 : 0.0; }},
        // Author stands at another position in each layout; Artist does not.
        {"artist=author",
         [&](const Song& s) { return lower(s.text.at("Artist")) == lower(s.text.at("Author")) ? 1.0 : 0.0; }},
        {"anyfield contains live",
         [&](const Song& s) {
             for (const char* c : textColumns) {
                 if (lower(s.text.at(c)).find("live") != std::string::npos) return 1.0;
             }
             return 0.0;
         }},
    };
    for (const auto& c : cases) {
        std::vector<const Song*> ranked;
        for (const Song& s : songs) ranked.push_back(&s);
        std::stable_sort(ranked.begin(), ranked.end(),
                         [&](const Song* a, const Song* b) { return c.score(*a) > c.score(*b); });
        std::string expected;
        for (const Song* s : ranked) expected += (expected.empty() ? "" : ",") + std::to_string(s->id);

        const auto r = runBinary(byId(db, "id>0", c.math, 2, 300, "out.txt"), dir.path());
        EXPECT_EQ(slurp(dir / "out.txt"), expected) << c.math << "\n" << r.err;
    }
}
