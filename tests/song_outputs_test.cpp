// The pieces of the listing and the playlist on their own: a length in
// seconds and as text, the path joined from a media's drive, the song's name.
#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "output/listing.h"
#include "output/m3u.h"
#include "output/song_lookup.h"

using namespace vantor;

TEST(SongLength, RoundsToTheNearestSecondHalvesUp) {
    const std::pair<std::int64_t, std::optional<std::int64_t>> cases[] = {
        {230499, 230}, {230500, 231}, {1, 0}, {499, 0}, {500, 1}, {0, std::nullopt}, {-1000, std::nullopt},
        {std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max() / 1000 + 1},
    };
    for (const auto& [ms, seconds] : cases) EXPECT_EQ(secondsOfLength(ms), seconds) << ms;
    // A length stored as a real number rounds the same way; one that is no number is none.
    EXPECT_EQ(secondsOfLength(230500.0), 231);
    EXPECT_EQ(secondsOfLength(230499.9), 230);
    EXPECT_EQ(secondsOfLength(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(secondsOfLength(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(secondsOfLength(-0.5), std::nullopt);
}

TEST(SongLength, ShownAsMinutesOrHours) {
    const std::pair<std::optional<std::int64_t>, const char*> cases[] = {
        {0, "0:00"},         {7, "0:07"},        {230, "3:50"},       {3599, "59:59"},
        {3600, "1:00:00"},   {3725, "1:02:05"},  {360000, "100:00:00"}, {std::nullopt, "-:--"},
    };
    for (const auto& [seconds, text] : cases) EXPECT_EQ(lengthText(seconds), text);
}

TEST(HostPath, DriveFromTheMediaOnlyWhereThePathLacksOne) {
    const std::optional<std::int64_t> none;
    struct Case {
        const char* stored;
        std::optional<std::int64_t> drive;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {":\\Music\\a.mp3", 3, "D:\\Music\\a.mp3"},
        {":\\Music\\a.mp3", 0, "A:\\Music\\a.mp3"},
        {":\\Music\\a.mp3", 25, "Z:\\Music\\a.mp3"},
        {":\\Music\\a.mp3", 26, std::nullopt},  // no such letter
        {":\\Music\\a.mp3", -1, std::nullopt},
        {":\\Music\\a.mp3", none, std::nullopt},
        {"C:\\Music\\a.mp3", 3, "C:\\Music\\a.mp3"},  // the path's own drive stands
        {"\\\\nas\\music\\a.mp3", 3, "\\\\nas\\music\\a.mp3"},
        {"https://example.org/a.mp3", none, "https://example.org/a.mp3"},
        {"/home/me/a.mp3", none, "/home/me/a.mp3"},
        {"", 3, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(hostPath(c.stored, c.drive), c.path) << c.stored;
}

TEST(SongName, ArtistAndTitleOrWhicheverIsThere) {
    EXPECT_EQ(songName({"ABBA", "Waterloo", {}, "", false}, " - "), "ABBA - Waterloo");
    EXPECT_EQ(songName({"", "Waterloo", {}, "", false}, " - "), "Waterloo");
    EXPECT_EQ(songName({"ABBA", "", {}, "", false}, " - "), "ABBA");
    EXPECT_EQ(songName({"", "", {}, "", false}, " - "), "");
}

// The score column appears for songs the math filter scored, in the
// stream's plain number form.
TEST(Listing, ScoreWhereTheRunHasOne) {
    SongTable songs;
    songs[1] = {"ABBA", "Waterloo", 165, "C:\\a.mp3", false};
    songs[2] = {"Queen", "", std::nullopt, "", false};
    std::ostringstream out;
    printListing(std::vector<std::int64_t>{1, 2, 3, 1}, songs, {{1, 0.5}, {3, 12.25}}, out);
    EXPECT_EQ(out.str(),
              "1\tABBA – Waterloo\t2:45\t0.5\n"
              "2\tQueen\t-:--\n"
              "3\t(not in the library)\t-:--\t12.25\n"
              "1\tABBA – Waterloo\t2:45\t0.5\n");
}

// A path with a line break would split its entry: the song is left out.
TEST(Playlist, PathWithALineBreakIsLeftOut) {
    SongTable songs;
    songs[1] = {"A", "B", 1, "C:\\x\ny.mp3", false};
    songs[2] = {"C", "D", 2, "C:\\d.mp3", false};
    std::ostringstream err;
    EXPECT_EQ(m3uText(std::vector<std::int64_t>{1, 2, 1}, songs, err), "#EXTM3U\r\n#EXTINF:2,C - D\r\nC:\\d.mp3\r\n");
    EXPECT_EQ(err.str(), "vantor: song 1's file path holds a line break: it is left out of the M3U\n");
}
