// --in-playlist and --not-in-playlist through the built binary: the host's
// saved playlists (Playlists, PlaylistSongs) decide which songs are
// candidates, in every mode and in the rotation, on fixture libraries of
// both layouts and on a copy of a real host library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db_test_support.h"
#include "demolib/demolib.h"
#include "harness.h"
#include "real_libraries.h"

using namespace vantor;
using namespace vantor::testing;

namespace {

const std::string kPlaylistError = "ERROR: A VNT playlist name you entered doesn't exist.";

// Twelve songs, one artist each, and playlists within playlists:
//   Rock Classics (1, 2, 3, 99)       ROCK CLASSICS (9), another of that name
//     Björk Hits (4, 5)               Loop A (7) within Loop B (8) within Loop A
//       Deep Cuts (6, 6)              Recently Added, automatic
//     Radio Edits, automatic          Empty, no songs
std::string makeLibrary(const fs::path& dir, demo::Layout layout = demo::Layout::Current) {
    std::vector<demo::FixtureSong> songs;
    for (int id = 1; id <= 12; ++id) {
        songs.push_back({id,
                         {{"Artist", "Artist " + std::string(1, static_cast<char>('A' + (id * 5) % 12))},
                          {"SongTitle", "Song " + std::to_string(id)},
                          {"PlayCounter", std::int64_t{(id * 7) % 12}},
                          {"SongLength", std::int64_t{100000 + id * 1000}}}});
    }
    demo::LibraryOptions options;
    options.layout = layout;
    if (layout == demo::Layout::Current) {
        options.playlists = {
            {10, "Rock Classics", 0, false, {1, 2, 3, 99}},
            {11, "Bj\xC3\xB6rk Hits", 10, false, {4, 5}},
            {12, "Deep Cuts", 11, false, {6, 6}},
            {13, "Radio Edits", 10, true, {}},
            {14, "ROCK CLASSICS", 0, false, {9}},
            {20, "Loop A", 21, false, {7}},
            {21, "Loop B", 20, false, {8}},
            {30, "Recently Added", 0, true, {}},
            {31, "Empty", 0, false, {}},
        };
    }
    const std::string path = (dir / (layout == demo::Layout::Current ? "current.db" : "classic.db")).string();
    demo::createLibrary(path, options, songs);
    return path;
}

std::vector<std::string> joined(std::vector<std::string> options, const std::vector<std::string>& positional) {
    options.insert(options.end(), positional.begin(), positional.end());
    return options;
}

class PlaylistRuns : public ::testing::Test {
protected:
    void SetUp() override { library = makeLibrary(dir.path()); }

    // Mode 0 unscored: every candidate, in ID order.
    ProcessResult candidates(const std::vector<std::string>& options, const std::string& query = "id>0") {
        return runBinary(joined(options, argv8(library, query, "", "1", 0, 0, "out.txt")), dir.path());
    }

    TempDir dir;
    std::string library;
};

}  // namespace

// A playlist holds its own songs and those of the playlists within it, at
// any depth, whatever way the parent links go round; names match
// case-folded, and two playlists of one name count together.
TEST_F(PlaylistRuns, InsideOutsideAndBoth) {
    struct Case {
        std::vector<std::string> options;
        std::string ids;
    };
    const Case cases[] = {
        {{"--in-playlist", "rock classics"}, "1,2,3,4,5,6,9"},
        {{"--in-playlist", "BJ\xC3\x96RK HITS"}, "4,5,6"},
        {{"--in-playlist", "Loop B"}, "7,8"},
        {{"--not-in-playlist", "bj\xC3\xB6rk hits"}, "1,2,3,7,8,9,10,11,12"},
        {{"--in-playlist", "Rock Classics", "--not-in-playlist", "Deep Cuts"}, "1,2,3,4,5,9"},
        {{"--in-playlist", "Loop A", "--not-in-playlist", "loop a"}, ""},
        {{"--in-playlist", "Empty"}, ""},
        {{"--not-in-playlist", "Empty"}, "1,2,3,4,5,6,7,8,9,10,11,12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options));
        const ProcessResult r = candidates(c.options);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(slurp(dir / "out.txt"), c.ids) << r.err;
    }
    // Standard error tells what adds nothing.
    EXPECT_NE(candidates({"--in-playlist", "Rock Classics"}).err.find(
                  "vantor: the automatic playlist \"Radio Edits\" within \"Rock Classics\" stores no songs; it adds none\n"),
              std::string::npos);
    EXPECT_NE(candidates({"--in-playlist", "empty"}).err.find("vantor: the playlist \"empty\" holds no songs\n"),
              std::string::npos);
}

// The candidates are filtered beside the selection query, not in it: its
// SQL, and so every line of standard output, stays the front end's.
TEST_F(PlaylistRuns, StandardOutputStaysTheFrontEnds) {
    const ProcessResult plain = candidates({}, "genre=rock or id<5");
    const ProcessResult inside = candidates({"--in-playlist", "Rock Classics"}, "genre=rock or id<5");
    EXPECT_EQ(slurp(dir / "out.txt"), "1,2,3,4");
    EXPECT_EQ(inside.out, plain.out);
}

// Songs outside take no draw, no rank and no place: every mode makes, from
// the same seed, the list it makes when the query filter alone leaves just
// the songs inside. Read in parts too, sorted or not: SQLite walks the whole
// table for playcounter>=0, which --threads 3 reads in three.
TEST_F(PlaylistRuns, EveryModeSeesOnlyTheSongsInside) {
    struct Case {
        int mode;
        std::string math;
        int count;
        std::string sort;
        std::vector<std::string> options;
    };
    const Case cases[] = {
        {0, "0.5", 0, "", {}},
        {0, "0.5", 0, "ORDER BY Artist", {}},
        {1, "playcounter+1", 6, "", {}},
        {1, "1", 6, "ORDER BY Artist", {}},
        {2, "playcounter", 4, "", {}},
        {2, "1", 4, "", {}},
        {1, "1", 20, "", {"--distinct"}},
        {1, "playcounter+1", 5, "", {"--max-per-artist", "1", "--minutes", "8"}},
    };
    for (const Case& c : cases) {
        for (const char* threads : {"1", "3"}) {
            SCOPED_TRACE(std::to_string(c.mode) + " " + c.math + " " + c.sort + " threads " + threads);
            std::vector<std::string> options = {"--seed", "5", "--threads", threads};
            options.insert(options.end(), c.options.begin(), c.options.end());
            const auto list = [&](const std::vector<std::string>& more, const std::string& query) {
                const ProcessResult r = runBinary(
                    joined(joined(options, more), argv8(library, query, c.sort, c.math, c.mode, c.count, "out.txt")),
                    dir.path());
                EXPECT_EQ(r.status, 0) << r.err;
                return slurp(dir / "out.txt");
            };
            const std::string filtered = list({"--in-playlist", "Rock Classics"}, "playcounter>=0");
            EXPECT_EQ(filtered, list({}, "id<7 or id=9"));
            EXPECT_FALSE(filtered.starts_with("ERROR")) << filtered;
        }
    }
}

// A name no playlist has, an automatic playlist (it stores a search, no
// songs) and a library without playlist tables (the classic layout) are
// refused with the playlist message; standard error says which.
TEST_F(PlaylistRuns, RefusedNamesAndLibraries) {
    struct Case {
        std::vector<std::string> options;
        bool classic;
        std::string why;
    };
    const Case cases[] = {
        {{"--in-playlist", "Jazz"}, false, "vantor: the library has no playlist \"Jazz\"\n"},
        {{"--in-playlist", "Rock Classics", "--not-in-playlist", "Jaz"}, false,
         "vantor: the library has no playlist \"Jaz\"\n"},
        {{"--in-playlist", "recently added"}, false,
         "vantor: \"Recently Added\" is an automatic playlist: the library keeps its search, not its songs, so there "
         "are none to read\n"},
        {{"--not-in-playlist", "Radio Edits"}, false, "is an automatic playlist"},
        {{"--in-playlist", "Rock Classics"}, true,
         "vantor: the library keeps no playlists: no such table: Playlists in: SELECT IDPlaylist, PlaylistName, "
         "ParentPlaylist, IsAutoPlaylist FROM Playlists\n"},
    };
    const std::string classic = makeLibrary(dir.path(), demo::Layout::Classic);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options));
        spit(dir / "out.txt", "7,8,9");
        const ProcessResult r =
            runBinary(joined(c.options, argv8(c.classic ? classic : library, "id>0", "", "1", 1, 5, "out.txt")),
                      dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(slurp(dir / "out.txt"), kPlaylistError);
        EXPECT_TRUE(r.out.ends_with(kPlaylistError)) << r.out;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
    }
}

// The rotation deals from each list the IDs the playlists allow: a list
// deals its next such ID, one without any gives up its turns, and with none
// left nothing is dealt. It opens the library for the playlists alone.
TEST_F(PlaylistRuns, RotationDealsOnlyWhatThePlaylistsAllow) {
    spit(dir / "vantor.ini", "a.txt_name=A\r\nb.txt_name=B\r\nc.txt_name=C\r\n");
    spit(dir / "a.txt", "1,2,3,7");
    spit(dir / "b.txt", "10,11,12");
    spit(dir / "c.txt", "4,99");
    struct Case {
        std::vector<std::string> options;
        std::string db;
        std::string file;
    };
    const Case cases[] = {
        {{"--in-playlist", "Rock Classics"}, library, "1,4,2,99,3,4,1,99"},
        {{"--not-in-playlist", "Rock Classics"}, library, "7,10,7,11,7,12,7,10"},
        {{"--in-playlist", "Empty"}, library, ""},
        {{"--in-playlist", "Jazz"}, library, kPlaylistError},
        {{"--in-playlist", "Rock Classics"}, "missing.db", kDatabaseMessage + "4514"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options) + " " + c.db);
        const ProcessResult r = runBinary(joined(c.options, argv8(c.db, "rotate(a,b,c)", "", "1", 1, 8, "out.txt")),
                                          dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(slurp(dir / "out.txt"), c.file) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "missing.db"));
}

// A real host library (UTF-16, IUNICODE names) with a playlist added to a
// copy: its songs are the candidates, by the folded name. The library's own
// playlists are all automatic and refused. The IDs were read with the
// sqlite3 shell.
TEST(PlaylistRealLibrary, SavedPlaylistOnAHostLibrary) {
    TempDir dir;
    const auto library = realLibrary("autoequaliser-MM.DB", dir);
    if (!library) GTEST_SKIP() << kNoRealLibraries;
    {
        Writer w(*library);
        w.exec("INSERT INTO Playlists(IDPlaylist,PlaylistName,ParentPlaylist,IsAutoPlaylist) VALUES"
               "(100,'Bj\xC3\xB6rk Favourites',0,0),(101,'Within',100,0)");
        w.exec("INSERT INTO PlaylistSongs(IDPlaylist,IDSong,SongOrder) VALUES(100,201,0),(100,20,1),(101,14,0)");
    }
    const auto run = [&](const std::vector<std::string>& options) {
        const ProcessResult r =
            runBinary(joined(options, argv8(*library, "id>0", "", "1", 0, 0, "out.txt")), dir.path());
        EXPECT_EQ(r.status, 0);
        return slurp(dir / "out.txt");
    };
    EXPECT_EQ(run({"--in-playlist", "BJ\xC3\x96RK FAVOURITES"}), "14,20,201");
    EXPECT_EQ(run({"--in-playlist", "Recently Added"}), kPlaylistError);
}
