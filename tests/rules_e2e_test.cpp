// The options that shape the list (--distinct, --minutes, --max-per-artist,
// --artist-gap) over whole runs on both layouts with a fixed seed: every list
// each run makes is checked against every rule it was given, and the counts
// where the pool decides them. The stages on their own are in rules_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "demolib/demolib.h"
#include "db_test_support.h"
#include "harness.h"
#include "fixture_library.h"

using namespace vantor;
using namespace vantor::testing;

namespace {

// Artists spelled as people type them: the same artist in several cases
// (Unicode ones too), songs without one (NULL or empty), and lengths with a
// few zero and NULL ones among them.
struct Spelling {
    std::optional<std::string> artist;
    int group;  // 0: no artist; the same number: the same artist
};
const Spelling kSpellings[] = {
    {"ABBA", 1}, {"Queen", 2}, {"abba", 1}, {"Bj\xC3\xB6rk", 3}, {"Miles Davis", 4},
    {"", 0},     {"BJ\xC3\x96RK", 3}, {std::nullopt, 0}, {"Abba", 1},
};

struct Song {
    std::int64_t id;
    int group;
    std::int64_t lengthMs;  // NULL read as 0
};

constexpr int kSongs = 40;
constexpr std::int64_t kNotInLibrary = 999;

std::vector<Song> fixtureSongs(bool allWithoutLength = false) {
    std::vector<Song> songs;
    for (int i = 0; i < kSongs; ++i) {
        std::int64_t length = ((i * 37) % 7 + 1) * 50000;
        if (i % 11 == 0 || i % 13 == 5 || allWithoutLength) length = 0;
        songs.push_back({101 + i, kSpellings[i % std::size(kSpellings)].group, length});
    }
    return songs;
}

std::string makeRulesLibrary(const fs::path& dir, demo::Layout layout, bool allWithoutLength = false) {
    std::vector<demo::FixtureSong> rows;
    for (int i = 0; i < kSongs; ++i) {
        demo::FixtureSong s;
        s.id = 101 + i;
        const Spelling& spelling = kSpellings[i % std::size(kSpellings)];
        s.values["Artist"] = spelling.artist ? demo::Value(*spelling.artist) : demo::Value();
        s.values["SongTitle"] = demo::Value("Song " + std::to_string(i));
        s.values["Genre"] = demo::Value(std::string("Pop"));
        s.values["Year"] = demo::Value(std::int64_t{1960 + i});
        s.values["PlayCounter"] = demo::Value(std::int64_t{i % 6});
        // NULL for every eleventh song, 0 for some others: neither has a length.
        if (allWithoutLength) {
            s.values["SongLength"] = i % 2 ? demo::Value() : demo::Value(std::int64_t{0});
        } else if (i % 11 != 0) {
            s.values["SongLength"] = demo::Value(i % 13 == 5 ? std::int64_t{0} : ((i * 37) % 7 + 1) * 50000);
        }
        rows.push_back(s);
    }
    const auto path = (dir / (std::string(layout == demo::Layout::Classic ? "classic" : "current") + ".db")).string();
    demo::LibraryOptions options;
    options.layout = layout;
    demo::createLibrary(path, options, rows);
    return path;
}

std::vector<std::int64_t> idsIn(const std::string& text) {
    std::vector<std::int64_t> ids;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');) ids.push_back(std::stoll(item));
    return ids;
}

std::string describe(const Options& o) {
    std::string s;
    if (o.distinct) s += " --distinct";
    if (o.minutes) s += " --minutes " + std::to_string(*o.minutes);
    if (o.maxPerArtist) s += " --max-per-artist " + std::to_string(*o.maxPerArtist);
    if (o.artistGap) s += " --artist-gap " + std::to_string(*o.artistGap);
    return s;
}

// Every rule the options set, over one list. IDs not in the library have no
// artist and no length.
void expectRulesKept(const std::vector<std::int64_t>& ids, const Options& o, int count, const std::string& what) {
    std::map<std::int64_t, Song> byId;
    for (const Song& s : fixtureSongs()) byId[s.id] = s;
    const auto song = [&](std::int64_t id) {
        const auto it = byId.find(id);
        return it == byId.end() ? Song{id, 0, 0} : it->second;
    };
    if (count > 0) {
        EXPECT_LE(ids.size(), static_cast<std::size_t>(count)) << what;
    }
    if (o.distinct) {
        EXPECT_EQ(std::set<std::int64_t>(ids.begin(), ids.end()).size(), ids.size()) << what;
    }
    if (o.minutes) {
        std::int64_t total = 0;
        for (const std::int64_t id : ids) total += song(id).lengthMs;
        EXPECT_LE(total, std::int64_t{*o.minutes} * 60000) << what;
    }
    std::map<int, int> perArtist;
    std::map<int, std::size_t> lastPlace;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const int group = song(ids[i]).group;
        if (group == 0) continue;
        if (o.maxPerArtist) {
            EXPECT_LE(++perArtist[group], *o.maxPerArtist) << what << " at " << i;
        }
        if (o.artistGap && lastPlace.count(group)) {
            EXPECT_GT(i - lastPlace[group], static_cast<std::size_t>(*o.artistGap)) << what << " at " << i;
        }
        lastPlace[group] = i;
    }
}

// How many songs a list under a per-artist cap can hold at most.
std::size_t capacityUnderCap(int n) {
    std::map<int, int> perGroup;
    std::size_t capacity = 0;
    for (const Song& s : fixtureSongs()) {
        if (s.group == 0 || ++perGroup[s.group] <= n) ++capacity;
    }
    return capacity;
}

Options with(bool distinct, std::optional<int> minutes, std::optional<int> cap, std::optional<int> gap) {
    Options o;
    o.seed = 20241210;
    o.distinct = distinct;
    o.minutes = minutes;
    o.maxPerArtist = cap;
    o.artistGap = gap;
    return o;
}

class RulesRuns : public ::testing::TestWithParam<demo::Layout> {
protected:
    TempDir dir;
};

// One case: the options, the song count, and whether the pool (40 songs,
// every weight above 0) decides the list's length exactly.
struct RuleCase {
    Options options;
    int count;
};

}  // namespace

TEST_P(RulesRuns, EveryListKeepsEveryRule) {
    const std::string db = makeRulesLibrary(dir.path(), GetParam());
    const RuleCase cases[] = {
        {with(true, {}, {}, {}), 12},
        {with(true, {}, {}, {}), 60},  // more than the pool: each song once
        {with(false, 10, {}, {}), 12},
        {with(false, 15, {}, {}), 0},  // COUNT 0 under --minutes: no count limit
        {with(false, {}, 2, {}), 12},
        {with(false, {}, 1, {}), 12},
        {with(false, {}, {}, 2), 12},
        {with(false, {}, {}, 30), 12},  // a gap wider than the list: each artist once
        {with(true, 20, 1, 1), 12},
        {with(true, 25, 3, 2), 0},
    };
    const std::string sorts[] = {"", "ORDER BY Artist"};
    const std::string maths[] = {"1", "if(playcounter>3,1,0.5)"};
    for (const RuleCase& c : cases) {
        for (const int mode : {0, 1, 2}) {
            for (const std::string& sort : sorts) {
                for (const std::string& math : maths) {
                    for (const std::string norepeat : {"0", "1"}) {
                        const std::string what = describe(c.options) + " mode " + std::to_string(mode) + " COUNT " +
                                                 std::to_string(c.count) + " sort '" + sort + "' math " + math +
                                                 " norepeat " + norepeat;
                        const auto r = runInProcess({db, "year>0", sort, math, std::to_string(mode),
                                                     std::to_string(c.count), norepeat, (dir / "out.txt").string()},
                                                    1, dir.path(), c.options);
                        ASSERT_EQ(r.status, 0) << what;
                        const std::string file = slurp(dir / "out.txt");
                        ASSERT_EQ(file.find("ERROR"), std::string::npos) << what << ": " << file;
                        const std::vector<std::int64_t> ids = idsIn(file);
                        // Mode 0 ignores COUNT; the others hold it.
                        expectRulesKept(ids, c.options, mode == 0 ? 0 : c.count, what);
                        EXPECT_FALSE(ids.empty()) << what;
                        if (mode == 1) {  // the same seed, the same list, rounds and all
                            runInProcess({db, "year>0", sort, math, "1", std::to_string(c.count), norepeat,
                                          (dir / "again.txt").string()},
                                         2, dir.path(), c.options);
                            EXPECT_EQ(slurp(dir / "again.txt"), file) << what;
                        }

                        // The pool decides the length exactly where nothing is
                        // left to chance: --distinct draws, mode 2's ranks.
                        const Options& o = c.options;
                        const bool finite = o.distinct || (mode == 2 && math != "1");
                        if (mode == 0 || !finite || o.minutes || o.artistGap) continue;
                        const std::size_t pool = o.maxPerArtist ? capacityUnderCap(*o.maxPerArtist) : kSongs;
                        EXPECT_EQ(ids.size(), std::min<std::size_t>(pool, static_cast<std::size_t>(c.count)))
                            << what;
                    }
                }
            }
        }
    }
}

TEST_P(RulesRuns, DistinctFillsTheCountWhereRepeatRemovalFallsShort) {
    const std::string db = makeRulesLibrary(dir.path(), GetParam());
    // Uniform draws of 30 from 40 songs repeat (with this seed, as with almost
    // any): repeat removal leaves fewer, --distinct gives 30 different songs.
    const std::vector<std::string> args{db, "year>0", "", "1", "1", "30", "1", (dir / "out.txt").string()};
    runInProcess(args, 1, dir.path(), with(false, {}, {}, {}));
    EXPECT_LT(idsIn(slurp(dir / "out.txt")).size(), 30u);
    runInProcess(args, 1, dir.path(), with(true, {}, {}, {}));
    const std::vector<std::int64_t> ids = idsIn(slurp(dir / "out.txt"));
    EXPECT_EQ(std::set<std::int64_t>(ids.begin(), ids.end()).size(), 30u);

    // Weights of 0 or less are never drawn: the list holds the others, once each.
    const std::vector<std::string> weighted{db, "year>0", "", "if(playcounter>3,1,0)", "1", "40", "0",
                                            (dir / "out.txt").string()};
    runInProcess(weighted, 1, dir.path(), with(true, {}, {}, {}));
    const std::vector<std::int64_t> drawable = idsIn(slurp(dir / "out.txt"));
    std::set<std::int64_t> expected;
    for (int i = 0; i < kSongs; ++i) {
        if (i % 6 > 3) expected.insert(101 + i);
    }
    EXPECT_EQ(std::set<std::int64_t>(drawable.begin(), drawable.end()), expected);
    EXPECT_EQ(drawable.size(), expected.size());
}

TEST_P(RulesRuns, WithoutRulesTheListIsTheFrontEndsAndCountZeroAsksNothing) {
    const std::string db = makeRulesLibrary(dir.path(), GetParam());
    for (const std::string mode : {"0", "1", "2"}) {
        const std::vector<std::string> args{db, "year>0", "ORDER BY Year", "if(playcounter>3,1,0.5)", mode, "9", "1",
                                            (dir / "out.txt").string()};
        runInProcess(args, 77, dir.path());
        const std::string plain = slurp(dir / "out.txt");
        Options seedOnly;
        seedOnly.seed = 77;
        seedOnly.show = true;  // keeps the scores: the list is the same
        runInProcess(args, 1, dir.path(), seedOnly);
        EXPECT_EQ(slurp(dir / "out.txt"), plain) << "mode " << mode;
    }
    // COUNT 0 without --minutes asks for nothing, rules or not.
    for (const std::string mode : {"1", "2"}) {
        runInProcess({db, "year>0", "", "1", mode, "0", "0", (dir / "out.txt").string()}, 1, dir.path(),
                     with(true, {}, 1, 1));
        EXPECT_EQ(slurp(dir / "out.txt"), "") << "mode " << mode;
    }
}

// Mode 0 removes no repeats, rules or not, scores kept or not: the rows of
// a songs table that holds an ID twice all stay, as in the front end's run.
TEST(RulesModeZero, KeepsAnIdTheTableHoldsTwiceWhateverTheOptions) {
    TempDir dir;
    const std::string db = (dir / "lib.db").string();
    Writer(db).exec("CREATE TABLE songs(ID INTEGER, Artist TEXT, SongLength INTEGER);"
                    "INSERT INTO songs VALUES(5, 'ABBA', 1000), (9, 'Queen', 1000), (5, 'ABBA', 1000)");
    Options show;
    show.show = true;
    const Options runs[] = {Options{}, show, with(false, 10, {}, {}), with(false, {}, 9, {}), with(true, {}, {}, {})};
    for (const Options& options : runs) {
        // Scored, so that --show keeps the scores; every score passes.
        runInProcess({db, "id>0", "ORDER BY rowid", "2", "0", "0", "1", (dir / "out.txt").string()}, 1, dir.path(),
                     options);
        EXPECT_EQ(slurp(dir / "out.txt"), "5,9,5");
    }
}

TEST_P(RulesRuns, SongsWithoutLengthEndTheDrawing) {
    const std::string db = makeRulesLibrary(dir.path(), GetParam(), true);
    RunOptions timeout;
    timeout.timeoutSeconds = 120;  // catches a hang; the runs take milliseconds
    struct Case {
        std::string mode, math;
        std::vector<std::string> options;
        std::size_t longest;
    };
    const Case cases[] = {
        {"1", "1", {}, 8},                 // endless draws: the budget, 8 × max(COUNT, estimate, 1)
        {"1", "playcounter", {}, 8},
        {"1", "1", {"--distinct"}, 40},    // the pool, once each
        {"2", "playcounter", {}, 40},      // the ranks
        {"0", "1", {}, 40},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.options;
        for (const std::string a : {"--seed", "3", "--minutes", "1", "--"}) args.push_back(a);
        for (const std::string& a : {db, std::string("year>0"), std::string(""), c.math, c.mode, std::string("0"),
                                    std::string("0"), (dir / "out.txt").string()}) {
            args.push_back(a);
        }
        const auto r = runBinary(args, dir.path(), timeout);
        ASSERT_EQ(r.status, 0) << c.mode << " " << c.math << r.err;
        const std::vector<std::int64_t> ids = idsIn(slurp(dir / "out.txt"));
        EXPECT_FALSE(ids.empty()) << c.mode << " " << c.math;
        EXPECT_LE(ids.size(), c.longest) << c.mode << " " << c.math;
    }
}

TEST_P(RulesRuns, RotationKeepsEveryRule) {
    const std::string db = makeRulesLibrary(dir.path(), GetParam());
    spit(dir / "vantor.ini", "a_name=First\r\nb_name=Second\r\n");
    // ID 999 is in no library: no artist, no length; it stays in the list.
    spit(dir / "a", "101,102,103,104,105,106,107,108,109,110,999,101,103");
    spit(dir / "b", "110,119,128,137,111,112,113,114,115,116,117,118,119,120");
    const std::size_t distinctIds = 23;
    const RuleCase cases[] = {
        {with(true, {}, {}, {}), 12},
        {with(true, {}, {}, {}), 50},
        {with(false, 10, {}, {}), 12},
        {with(false, 15, {}, {}), 0},
        {with(false, {}, 2, {}), 12},
        {with(false, {}, {}, 2), 12},
        {with(true, 20, 1, 1), 12},
    };
    for (const RuleCase& c : cases) {
        for (const std::string norepeat : {"0", "1"}) {
            const std::string what = describe(c.options) + " COUNT " + std::to_string(c.count) + " norepeat " + norepeat;
            runInProcess({db, "rotate(First,Second)", "", "1", "1", std::to_string(c.count), norepeat,
                          (dir / "out.txt").string()},
                         1, dir.path(), c.options);
            const std::string file = slurp(dir / "out.txt");
            ASSERT_EQ(file.find("ERROR"), std::string::npos) << what << ": " << file;
            const std::vector<std::int64_t> ids = idsIn(file);
            EXPECT_FALSE(ids.empty()) << what;
            expectRulesKept(ids, c.options, c.count, what);
            if (c.options.distinct && !c.options.minutes && !c.options.maxPerArtist && !c.options.artistGap) {
                EXPECT_EQ(ids.size(), std::min<std::size_t>(distinctIds, static_cast<std::size_t>(c.count))) << what;
            }
        }
    }
    // --distinct deals in turn, skipping what was dealt: 110 comes first from
    // the second list, so the first list's 110 is passed over later.
    runInProcess({db, "rotate(First,Second)", "", "1", "1", "8", "0", (dir / "out.txt").string()}, 1, dir.path(),
                 with(true, {}, {}, {}));
    EXPECT_EQ(slurp(dir / "out.txt"), "101,110,102,119,103,128,104,137");
}

TEST_P(RulesRuns, RotationOpensTheLibraryOnlyForSongData) {
    spit(dir / "vantor.ini", "a_name=First\r\n");
    spit(dir / "a", "1,2,3");
    const std::vector<std::string> args{"no-such.db", "rotate(First)", "", "1", "1", "3", "0",
                                        (dir / "out.txt").string()};
    runInProcess(args, 1, dir.path(), with(true, {}, {}, {}));
    EXPECT_EQ(slurp(dir / "out.txt"), "1,2,3");
    // SQLite cannot open a file that is not there (14), on the selection connection's base.
    runInProcess(args, 1, dir.path(), with(false, {}, 1, {}));
    EXPECT_EQ(slurp(dir / "out.txt"), kDatabaseMessage + "4514");
    EXPECT_FALSE(fs::exists(dir / "no-such.db"));
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, RulesRuns, ::testing::Values(demo::Layout::Classic, demo::Layout::Current),
                         [](const ::testing::TestParamInfo<demo::Layout>& info) {
                             return std::string(layoutName(info.param));
                         });
