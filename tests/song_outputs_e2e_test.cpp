// --m3u and --show through the built binary, on both layouts: the playlist's
// bytes (the drive joined from the song's media, network and web paths as
// stored), the listing after the usual lines, and what an error or an
// unwritable file leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "demolib/demolib.h"
#include "db_test_support.h"
#include "harness.h"

using namespace vantor::testing;
using vantor::demo::Layout;
using vantor::demo::Value;

namespace {

struct Song {
    std::int64_t id;
    Value artist;
    std::string title;
    Value lengthMs;
    Value currentPath;  // as the current host stores it, the drive in the song's media
    Value classicPath;  // as the classic layout's host stored it
    std::int64_t media;
};

const Value null{};

const std::vector<Song> kSongs = {
    {21, std::string("ABBA"), "Dancing Queen", std::int64_t{230499}, std::string(":\\Music\\ABBA\\01 Dancing Queen.mp3"),
     std::string("C:\\Music\\ABBA\\01 Dancing Queen.mp3"), 1},
    {22, std::string("Björk"), "Jóga", std::int64_t{305500}, std::string(":\\Musik\\Björk\\Homogenic\\03 Jóga.flac"),
     std::string("D:\\Musik\\Björk\\Homogenic\\03 Jóga.flac"), 2},
    {23, null, "Untitled", null, std::string("\\\\nas\\music\\Demo\\untitled.mp3"),
     std::string("\\\\nas\\music\\Demo\\untitled.mp3"), 3},
    {24, std::string("Queen"), "", std::int64_t{0}, std::string("https://radio.example.org/q.mp3"),
     std::string("https://radio.example.org/q.mp3"), 4},
    {25, std::string("Кино"), "Кукушка", std::int64_t{1499}, std::string(":\\Music\\Кино\\Кукушка.mp3"),
     std::string("C:\\Music\\Кино\\Кукушка.mp3"), 1},
    // On a removable drive not plugged in: no letter to join.
    {26, std::string("Miles Davis"), "So What", std::int64_t{3725000}, std::string(":\\Jazz\\So What.mp3"),
     std::string(":\\Jazz\\So What.mp3"), 5},
    // Tags with a tab and line breaks of several kinds (LS, NEL, PS), and no file.
    {27, std::string("Tab\tArtist\u2028LS"), "Line\r\nBreak\u0085NEL\u2029PS", std::int64_t{2600}, null, null, 1},
};

std::string makeSongLibrary(const std::filesystem::path& dir, Layout layout) {
    vantor::demo::LibraryOptions options;
    options.layout = layout;
    if (layout == Layout::Current) {
        const auto media = [](std::int64_t id, std::int64_t type, Value letter) {
            return vantor::demo::FixtureMedia{id, {{"DriveType", Value(type)}, {"DriveLetter", letter}}};
        };
        options.medias = {media(1, 3, std::int64_t{2}), media(2, 3, std::int64_t{3}), media(3, 4, null),
                          media(4, 0, null), media(5, 2, null)};
    }
    std::vector<vantor::demo::FixtureSong> songs;
    for (const Song& s : kSongs) {
        songs.push_back({s.id,
                         {{"Artist", s.artist},
                          {"SongTitle", Value(s.title)},
                          {"SongLength", s.lengthMs},
                          {"SongPath", layout == Layout::Current ? s.currentPath : s.classicPath},
                          {"IDMedia", Value(s.media)},
                          {"Genre", Value(std::string("Rock"))}}});
    }
    const std::string path = (dir / "lib.db").string();
    vantor::demo::createLibrary(path, options, songs);
    return path;
}

// The listing line of each song: ID, name, length.
const std::map<std::int64_t, std::string> kLines = {
    {21, "21\tABBA – Dancing Queen\t3:50"},   {22, "22\tBjörk – Jóga\t5:06"},
    {23, "23\tUntitled\t-:--"},               {24, "24\tQueen\t-:--"},
    {25, "25\tКино – Кукушка\t0:01"},         {26, "26\tMiles Davis – So What\t1:02:05"},
    {27, "27\tTab Artist LS – Line  Break NEL PS\t0:03"}, {99, "99\t(not in the library)\t-:--"},
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The last lines of stdout, one per ID of the result file. A score column,
// when there is one, is cut off after checking that it is a number: what the
// math filter gives is checked where the scores are made.
std::vector<std::string> listingOf(const ProcessResult& run, std::size_t songs) {
    std::vector<std::string> lines = linesOf(run.out);
    if (lines.size() < songs) return lines;
    lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(songs));
    for (std::string& line : lines) {
        const auto tabs = std::count(line.begin(), line.end(), '\t');
        if (tabs == 3) {
            const std::string score = line.substr(line.rfind('\t') + 1);
            EXPECT_NO_THROW((void)std::stod(score)) << line;
            line.erase(line.rfind('\t'));
        }
    }
    return lines;
}

std::vector<std::string> expectedListing(const std::string& resultFile) {
    std::vector<std::string> lines;
    if (resultFile.empty()) return lines;
    std::istringstream ids(resultFile);
    for (std::string id; std::getline(ids, id, ',');) lines.push_back(kLines.at(std::stoll(id)));
    return lines;
}

class SongOutputs : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override {
        lib = makeSongLibrary(dir.path(), GetParam());
        spit(dir / "vantor.ini", "[lists]\r\nmix.txt_name=Mix\r\n");
        spit(dir / "mix.txt", "21,22,99,21,23,24,25,26,27");
    }

    ProcessResult vantor(std::vector<std::string> options, const std::vector<std::string>& eight) {
        options.insert(options.end(), eight.begin(), eight.end());
        return runBinary(options, dir.path());
    }

    std::vector<std::string> args(const std::string& query, const std::string& sort, const std::string& math,
                                  int mode, int count, const std::string& result = "out.txt") const {
        return {lib, query, sort, math, std::to_string(mode), std::to_string(count), "0", result};
    }

    TempDir dir;
    std::string lib;
};

const std::string kPlaylist =
    "#EXTM3U\r\n"
    "#EXTINF:230,ABBA - Dancing Queen\r\nC:\\Music\\ABBA\\01 Dancing Queen.mp3\r\n"
    "#EXTINF:306,Björk - Jóga\r\nD:\\Musik\\Björk\\Homogenic\\03 Jóga.flac\r\n"
    "#EXTINF:230,ABBA - Dancing Queen\r\nC:\\Music\\ABBA\\01 Dancing Queen.mp3\r\n"
    "#EXTINF:-1,Untitled\r\n\\\\nas\\music\\Demo\\untitled.mp3\r\n"
    "#EXTINF:-1,Queen\r\nhttps://radio.example.org/q.mp3\r\n"
    "#EXTINF:1,Кино - Кукушка\r\nC:\\Music\\Кино\\Кукушка.mp3\r\n"
    "#EXTINF:3725,Miles Davis - So What\r\n:\\Jazz\\So What.mp3\r\n";

}  // namespace

// One list through every case: a song twice, an ID not in the library, a
// missing and a zero length, halves rounding up, non-ASCII text, drive
// letters from the media, a network share and a URL as stored, a drive the
// media does not name, a song without a file. The same bytes on both
// layouts: the classic one stores the whole path.
TEST_P(SongOutputs, PlaylistOfARotation) {
    const ProcessResult r = vantor({"--m3u", "mix.m3u", "--show"}, args("rotate(Mix)", "", "1", 1, 9));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(slurp(dir / "out.txt"), "21,22,99,21,23,24,25,26,27");
    EXPECT_EQ(slurp(dir / "mix.m3u"), kPlaylist);
    EXPECT_EQ(listingOf(r, 9), expectedListing("21,22,99,21,23,24,25,26,27"));
    const std::vector<std::string> told = linesOf(r.err);
    EXPECT_EQ(std::vector<std::string>(told.begin() + 1, told.end()),
              (std::vector<std::string>{
                  "vantor: song 99 is not in the library: it stays in the ID list and is left out of the M3U",
                  "vantor: song 26's media names no drive: its path :\\Jazz\\So What.mp3 is written to the M3U as "
                  "stored",
                  "vantor: song 27 has no file path: it is left out of the M3U"}))
        << r.err;

    // Without --m3u the missing song is still told of, once.
    const ProcessResult shown = vantor({"--show"}, args("rotate(Mix)", "", "1", 1, 9));
    EXPECT_NE(shown.err.find("vantor: song 99 is not in the library: it stays in the ID list\n"), std::string::npos);
    EXPECT_EQ(listingOf(shown, 9), expectedListing("21,22,99,21,23,24,25,26,27"));

    // No song: a playlist of its header alone, no listing.
    const ProcessResult none = vantor({"--m3u", "mix.m3u", "--show"}, args("rotate(Mix)", "", "1", 1, 0));
    EXPECT_EQ(slurp(dir / "mix.m3u"), "#EXTM3U\r\n");
    EXPECT_EQ(linesOf(none.out).back(), "Unlock: 0");
}

// The listing follows the usual lines in every mode, in the result file's
// order, with and without a math filter, and the IDs are those a run without
// options writes.
TEST_P(SongOutputs, ListingInEveryMode) {
    struct Case {
        const char* label;
        std::vector<std::string> eight;
        std::string ids;  // "" when the draw decides: then only listing and result file must agree
    };
    const Case cases[] = {
        {"mode 0 keeps all", args("genre=rock", "ORDER BY ID DESC", "1", 0, 0), "27,26,25,24,23,22,21"},
        {"mode 0 scored", args("genre=rock", "ORDER BY ID", "if(songlength>200,1,0)", 0, 0), "21,22,26"},
        {"mode 1 uniform", args("genre=rock", "", "1", 1, 5), ""},
        {"mode 1 weighted", args("genre=rock", "ORDER BY ID", "songlength", 1, 5), ""},
        {"mode 2 top list", args("genre=rock", "", "songlength", 2, 3), "26,22,21"},
        {"rotation", args("rotate(Mix)", "", "1", 1, 4), "21,22,99,21"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ProcessResult plain = runBinary(c.eight, dir.path());
        const std::string ids = slurp(dir / "out.txt");
        if (!c.ids.empty()) {
            EXPECT_EQ(ids, c.ids);
        }
        std::vector<std::string> seeded = c.eight;
        seeded.insert(seeded.begin(), {"--seed", "7", "--show"});
        const ProcessResult shown = runBinary(seeded, dir.path());
        const std::string shownIds = slurp(dir / "out.txt");
        if (!c.ids.empty()) {
            EXPECT_EQ(shownIds, c.ids);
        }
        const std::vector<std::string> listing = expectedListing(shownIds);
        EXPECT_EQ(listingOf(shown, listing.size()), listing);
        // The usual lines come first, unchanged.
        EXPECT_TRUE(shown.out.starts_with(plain.out.substr(0, plain.out.rfind("toki:")))) << shown.out;
        EXPECT_EQ(linesOf(shown.out).size(), linesOf(plain.out).size() + listing.size());
    }
}

TEST_P(SongOutputs, PlaylistBesideTheLibraryIsRefused) {
    const std::string before = slurp(lib);
    for (const std::string m3u : {"lib.db-wal", "lib.db-journal", "lib.db"}) {
        SCOPED_TRACE(m3u);
        const ProcessResult r = vantor({"--m3u", m3u}, args("genre=rock", "ORDER BY ID", "1", 0, 0));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(slurp(dir / "out.txt"), "21,22,23,24,25,26,27");
        EXPECT_NE(r.err.find("vantor: cannot write the M3U file " + m3u + ": it is the library"), std::string::npos)
            << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "lib.db-wal"));
    EXPECT_FALSE(std::filesystem::exists(dir / "lib.db-journal"));
    EXPECT_EQ(slurp(lib), before);
}

TEST_P(SongOutputs, UnwritablePlaylistStillWritesTheIds) {
    const ProcessResult r = vantor({"--m3u", "no-such-folder/list.m3u", "--show"}, args("id=22", "", "1", 0, 0));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(slurp(dir / "out.txt"), "22");
    EXPECT_NE(r.err.find("vantor: cannot write the M3U file no-such-folder/list.m3u: "), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.ends_with("\n" + kLines.at(22) + "\n")) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such-folder"));
}

// A run that ends in an error, or whose result file cannot be written, makes
// no playlist and no listing; an older playlist stays as it was.
TEST_P(SongOutputs, NoPlaylistOrListingWithoutAList) {
    spit(dir / "old.m3u", "#EXTM3U\r\n");
    struct Case {
        const char* label;
        std::vector<std::string> eight;
        std::string resultFile;  // "" when none is written
        std::string stdoutEnd;
    };
    const Case cases[] = {
        {"query refused", args("((", "", "1", 0, 0), "ERROR: Please edit Query Filter",
         "ERROR: Please edit Query Filter"},
        {"math refused", args("id>0", "", "bpm>fast", 2, 3), "ERROR: Field in Math Filter not recognized",
         "ERROR: Field in Math Filter not recognized"},
        {"result file unwritable", args("id>0", "", "1", 0, 0, "no-such-folder/out.txt"), "", "Can't write file"},
        {"result file is the library", args("id>0", "", "1", 0, 0, "lib.db"), "", "Can't write file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::filesystem::remove(dir / "out.txt");
        const ProcessResult r = vantor({"--m3u", "old.m3u", "--show"}, c.eight);
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.out.ends_with(c.stdoutEnd)) << r.out;
        if (!c.resultFile.empty()) {
            EXPECT_EQ(slurp(dir / "out.txt"), c.resultFile);
        }
        EXPECT_EQ(slurp(dir / "old.m3u"), "#EXTM3U\r\n");
    }
}

// The rotation opens the library only for these options, and its connection
// fails with the selection connection's codes.
TEST_P(SongOutputs, RotationOpensTheLibraryOnlyWhenAsked) {
    std::vector<std::string> eight = args("rotate(Mix)", "", "1", 1, 2);
    eight[0] = "no-such.db";
    EXPECT_EQ(vantor({"--seed", "1"}, eight).status, 0);
    EXPECT_EQ(slurp(dir / "out.txt"), "21,22");
    const ProcessResult r = vantor({"--m3u", "mix.m3u"}, eight);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(slurp(dir / "out.txt"), kDatabaseMessage + "4514");
    EXPECT_FALSE(std::filesystem::exists(dir / "mix.m3u"));
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such.db"));

    // A table without songs: the lookup cannot be prepared.
    eight[0] = (dir / "empty.db").string();
    {
        Writer w(eight[0]);
        w.exec("CREATE TABLE other(x)");
    }
    vantor({"--show"}, eight);
    EXPECT_EQ(slurp(dir / "out.txt"), kDatabaseMessage + "5001");
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, SongOutputs, ::testing::Values(Layout::Classic, Layout::Current),
                         [](const auto& info) { return std::string(info.param == Layout::Current ? "Current" : "Classic"); });
