// Whole runs on two real host libraries (kept outside the project, in
// shared/realdbs): unrated songs' ratings and the drive letters of --m3u, as
// the host's own files hold them. The expected IDs and playlist bytes were
// read from the files with the sqlite3 shell, not with this program. Each test
// runs on copies and skips when the folder is not there.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"
#include "real_libraries.h"

using namespace vantor::testing;

namespace {

constexpr const char* kBig = "autoequaliser-MM.DB";  // 184 songs, every one unrated
constexpr const char* kSmall = "autoequaliser-py-MM.DB";  // 6 songs, song 4 of five stars, the rest unrated

class RealLibraries : public ::testing::Test {
protected:
    void SetUp() override {
        // The files are the host's and read-only: every run reads a copy.
        for (const char* name : {kBig, kSmall}) {
            if (!realLibrary(name, dir)) GTEST_SKIP() << kNoRealLibraries;
        }
    }

    // Runs vantor on the copy `library`; the result file's content.
    std::string run(const std::vector<std::string>& options, const char* library, const std::string& query,
                    const std::string& math, int mode, int count) {
        std::vector<std::string> args = options;
        for (const std::string& a : argv8(library, query, "", math, mode, count, "result.txt")) args.push_back(a);
        const ProcessResult r = runBinary(args, dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        return slurp(dir / "result.txt");
    }

    TempDir dir;
};

// "14,15,...": the IDs of these ranges, both ends included.
std::string idRanges(const std::vector<std::pair<int, int>>& ranges) {
    std::string ids;
    for (const auto& [first, last] : ranges) {
        for (int id = first; id <= last; ++id) ids += (ids.empty() ? "" : ",") + std::to_string(id);
    }
    return ids;
}

}  // namespace

// The host stores -1 for an unrated song, which the filters read as -0.05
// stars: below every rating, so "rating<3" takes unrated songs and
// "rating>=0 and rating<3" leaves them out. Kept as it is: it is how every
// filter has read the host's -1 so far, and saved filters count on it.
TEST_F(RealLibraries, UnratedSongsReadAsMinusOneTwentiethOfAStar) {
    struct Case {
        const char* library;
        const char* query;
        const char* math;
        int mode;
        int count;
        std::string ids;
    };
    const Case cases[] = {
        {kBig, "rating<3", "1", 0, 0, idRanges({{14, 119}, {122, 124}, {127, 201}})},
        {kBig, "rating>=0 and rating<3", "1", 0, 0, ""},
        {kSmall, "rating<3", "1", 0, 0, "1,2,3,5,6"},
        {kSmall, "rating>=0 and rating<3", "1", 0, 0, ""},
        {kSmall, "rating>=0", "1", 0, 0, "4"},
        {kSmall, "rating=5", "1", 0, 0, "4"},
        // In the math filter too: the unrated score below 0, the rated song above.
        {kSmall, "id>0", "rating<0", 0, 0, "1,2,3,5,6"},
        {kSmall, "id>0", "rating", 2, 1, "4"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run({}, c.library, c.query, c.math, c.mode, c.count), c.ids)
            << c.library << ": " << c.query << " | " << c.math;
    }

    // The score --show lists is the stored -1 in stars.
    const auto before = slurp(dir / kSmall);
    const ProcessResult shown = runBinary({"--show", kSmall, "id=1 or id=4", "", "rating", "2", "2", "0", "result.txt"},
                                          dir.path());
    EXPECT_EQ(slurp(dir / "result.txt"), "4,1");
    EXPECT_NE(shown.out.find("\n4\tCake – The Distance\t3:00\t5\n1\tJimmy Eat World – Bleed American\t3:01\t-0.05\n"),
              std::string::npos)
        << shown.out;
    EXPECT_EQ(slurp(dir / kSmall), before) << "the library changed";
}

// Paths stored without their drive (":\...") get the letter of their medium,
// Medias.DriveLetter of the song's IDMedia counted from A = 0: 3 is D:.
TEST_F(RealLibraries, PlaylistPathsTakeTheirMediumsDriveLetter) {
    EXPECT_EQ(run({"--m3u", "small.m3u8"}, kSmall, "id>0", "1", 0, 0), "1,2,3,4,5,6");
    EXPECT_EQ(slurp(dir / "small.m3u8"),
              "#EXTM3U\r\n"
              "#EXTINF:181,Jimmy Eat World - Bleed American\r\nD:\\Data\\Github\\Mp3Tagger\\01 Bleed American.mp3\r\n"
              "#EXTINF:150,Switchfoot - Oh! Gravity\r\nD:\\Data\\Github\\Mp3Tagger\\01 Oh! Gravity.mp3\r\n"
              "#EXTINF:176,Wolfmother - Woman\r\nD:\\Data\\Github\\Mp3Tagger\\03 Woman.mp3\r\n"
              "#EXTINF:180,Cake - The Distance\r\nD:\\Data\\Github\\Mp3Tagger\\2-03 The Distance.mp3\r\n"
              "#EXTINF:180,Beastie Boys - Sabotage\r\nD:\\Data\\Github\\Mp3Tagger\\5-475 Sabotage.mp3\r\n"
              "#EXTINF:306,Zaz - #5 - piece for 3 flutes and piano\r\nD:\\Data\\Github\\Mp3Tagger\\zaz.mp3\r\n");

    // Text beyond ASCII, stored as UTF-16, comes out as UTF-8.
    EXPECT_EQ(run({"--m3u", "big.m3u8"}, kBig, "id>175 id<179", "1", 0, 0), "176,177,178");
    const std::string folder = "D:\\Downloads\\MLS\\WesternClassical\\The Best Ever Piano Classics\\";
    EXPECT_EQ(slurp(dir / "big.m3u8"),
              "#EXTM3U\r\n"
              "#EXTINF:260,Frederic Chopin - Etüde in E, Op.10 No.3 'Tristesse'\r\n" +
                  folder +
                  "The Best Ever Piano Classics - 08 - Frederic Chopin - Etüde in E, Op.10 No.3 'Tristesse'.mp3\r\n"
                  "#EXTINF:148,Frederic Chopin - Etüde C minor, Op.10 No.12 'Revolutionary'\r\n" +
                  folder +
                  "The Best Ever Piano Classics - 09 - Frederic Chopin - Etüde C minor, Op.10 No.12 "
                  "'Revolutionary'.mp3\r\n"
                  "#EXTINF:609,Franz Liszt - Liebesträume Nos. 1 & 3 in A flat major\r\n" +
                  folder +
                  "The Best Ever Piano Classics - 10 - Franz Liszt - Liebesträume Nos. 1 & 3 in A flat major.mp3\r\n");
}

// The host files every song under an IDAlbum, -1 for none (19 songs of the
// larger library); one album title by several album artists is several
// albums there. Ranked by ID, a song of an album already in the list gives
// its place to the next rank; songs without an album are never held back.
TEST_F(RealLibraries, AlbumCapCountsTheHostsAlbums) {
    EXPECT_EQ(run({"--max-per-album", "1"}, kBig, "id>0", "1000-id", 2, 12), "14,15,16,17,19,22,25,28,31,34,37,39");
    // Every song once, at most two of each of the 32 albums: 19 + 49 songs.
    const std::string ids = run({"--distinct", "--max-per-album", "2"}, kBig, "id>0", "1", 1, 184);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), ',') + 1, 68) << ids;
}
