#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "db/connection.h"
#include "db/statement.h"
#include "db_test_support.h"
#include "demolib/demolib.h"
#include "filter/field_catalogue.h"
#include "support/read_file.h"
#include "text/toolkit.h"

using namespace vantor;
using demo::Layout;
using vantor::testing::ScratchDir;

namespace {

// The first column of every row, NULL as "<null>".
std::vector<std::string> rows(const std::string& path, const std::string& sql) {
    db::Connection c;
    EXPECT_EQ(c.open(path), SQLITE_OK);
    db::Statement st;
    EXPECT_EQ(st.prepare(c, sql), SQLITE_OK) << sql << ": " << c.errorMessage();
    std::vector<std::string> out;
    while (st.step() == SQLITE_ROW) out.emplace_back(st.text(0).value_or("<null>"));
    return out;
}

std::string scalar(const std::string& path, const std::string& sql) {
    const auto r = rows(path, sql);
    return r.empty() ? "<no row>" : r.front();
}

std::vector<std::string> schemaColumns(const std::string& path) {
    db::Connection c;
    EXPECT_EQ(c.open(path), SQLITE_OK);
    return db::tableColumnNames(c, "songs");
}

}  // namespace

TEST(DemoLayout, ClassicPutsEveryCatalogueColumnAtItsCode) {
    ScratchDir dir;
    const std::string path = dir.file("classic.db");
    demo::createLibrary(path, {Layout::Classic, true}, {});
    const auto names = schemaColumns(path);
    ASSERT_EQ(names.size(), 92u);
    EXPECT_EQ(names, demo::columnNames(Layout::Classic));
    EXPECT_EQ(names[0], "ID");
    for (const Field& f : fieldCatalogue()) {
        if (f.code <= fieldcode::maxColumnCode) {
            EXPECT_EQ(names[static_cast<std::size_t>(f.code)], f.column);
        }
    }
    std::set<std::string> unique;
    for (const auto& n : names) unique.insert(lowercased(n));
    EXPECT_EQ(unique.size(), names.size());
    // UTF-8 whatever was asked: the classic layout has no other form.
    EXPECT_EQ(scalar(path, "PRAGMA encoding"), "UTF-8");
}

TEST(DemoLayout, CurrentIsTheHostTableWithItsIndexesAndCollation) {
    ScratchDir dir;
    const std::string path = dir.file("current.db");
    demo::createLibrary(path, {}, {{1, {{"Artist", "ABBA"}, {"Extension", "MP3"}}}});
    const auto names = schemaColumns(path);
    ASSERT_EQ(names.size(), 103u);
    EXPECT_EQ(names, demo::columnNames(Layout::Current));
    const std::pair<std::size_t, const char*> spots[] = {
        {0, "ID"},          {1, "Artist"},   {2, "IDAlbum"},  {7, "EpisodeNumber"}, {11, "SongTitle"},
        {12, "SongPath"},   {13, "Extension"}, {21, "Rating"}, {39, "PlayCounter"}, {52, "DateAdded"},
        {97, "Tempo"},      {101, "Lyrics"}, {102, "Comment"},
    };
    for (const auto& [pos, name] : spots) EXPECT_EQ(names[pos], name) << pos;

    // Every catalogued column is found by name except MediaType, which the host dropped.
    const ColumnMap map = ColumnMap::fromColumnNames(names);
    EXPECT_EQ(map.position(74), -1);
    for (const Field& f : fieldCatalogue()) {
        if (f.code <= fieldcode::maxColumnCode && f.code != 74) {
            EXPECT_GE(map.position(f.code), 0) << f.column;
        }
    }

    EXPECT_EQ(scalar(path, "PRAGMA encoding"), "UTF-16le");
    EXPECT_EQ(scalar(path, "SELECT count(*) FROM sqlite_master WHERE type='index' AND name LIKE 'idxSongs%'"), "13");
    // Text columns compare as the host's IUNICODE does; Extension is declared without it.
    EXPECT_EQ(scalar(path, "SELECT count(*) FROM Songs WHERE Artist='abba'"), "1");
    EXPECT_EQ(scalar(path, "SELECT count(*) FROM Songs WHERE Extension='mp3'"), "0");

    demo::createLibrary(path, {Layout::Current, false}, {});
    EXPECT_EQ(scalar(path, "PRAGMA encoding"), "UTF-8");
}

class DemoFixture : public ::testing::TestWithParam<Layout> {};

TEST_P(DemoFixture, RoundTripKeepsEveryValueAndType) {
    ScratchDir dir;
    const std::string path = dir.file("lib.db");
    demo::createLibrary(path, {GetParam(), true},
                        {
                            {7, {{"artist", "Sinéad O'Connor"}, {"SONGTITLE", "Кукушка & 桜流し"}, {"Rating", std::int64_t{-1}},
                                 {"LastTimePlayed", 45000.25}, {"Genre", std::monostate{}}, {"Comment", ""}}},
                            {2147483648, {{"Artist", "Björk"}}},
                        });
    EXPECT_EQ(rows(path, "SELECT ID FROM songs ORDER BY ID"), (std::vector<std::string>{"7", "2147483648"}));
    const auto one = [&](const std::string& expr) { return scalar(path, "SELECT " + expr + " FROM songs WHERE ID=7"); };
    EXPECT_EQ(one("Artist"), "Sinéad O'Connor");
    EXPECT_EQ(one("SongTitle"), "Кукушка & 桜流し");
    EXPECT_EQ(one("typeof(Rating) || Rating"), "integer-1");
    EXPECT_EQ(one("typeof(LastTimePlayed) || LastTimePlayed"), "real45000.25");
    EXPECT_EQ(one("typeof(Genre)"), "null");
    EXPECT_EQ(one("typeof(Comment) || length(Comment)"), "text0");
    EXPECT_EQ(one("typeof(Album)"), "null");  // never named
}

INSTANTIATE_TEST_SUITE_P(Layouts, DemoFixture, ::testing::Values(Layout::Current, Layout::Classic),
                         [](const auto& info) { return std::string(info.param == Layout::Current ? "Current" : "Classic"); });

TEST(DemoFixtureErrors, BadColumnsThrowAndLeaveTheOldFileAlone) {
    ScratchDir dir;
    const std::string path = dir.file("lib.db");
    demo::createLibrary(path, {}, {{1, {{"Artist", "ABBA"}}}});
    const auto before = readWholeFile(path);

    const std::vector<std::map<std::string, demo::Value>> bad = {
        {{"MediaType", "Music"}},                 // classic only
        {{"Artist", "x"}, {"NoSuchColumn", "y"}},
        {{"id", std::int64_t{5}}},               // the ID is FixtureSong::id
        {{"artist", "a"}, {"ARTIST", "b"}},      // one column twice
    };
    for (const auto& values : bad) {
        EXPECT_THROW(demo::createLibrary(path, {}, {{2, values}}), std::invalid_argument);
    }
    // Media: only the current layout has a Medias table, and only its columns.
    const std::vector<std::vector<demo::FixtureMedia>> badMedia = {
        {{1, {{"Drive", std::int64_t{3}}}}},
        {{1, {{"idmedia", std::int64_t{2}}}}},
        {{1, {{"DriveLetter", std::int64_t{2}}, {"driveletter", std::int64_t{3}}}}},
    };
    for (const auto& medias : badMedia) {
        EXPECT_THROW(demo::createLibrary(path, {Layout::Current, true, medias}, {}), std::invalid_argument);
    }
    EXPECT_THROW(demo::createLibrary(path, {Layout::Classic, true, {{1, {}}}}, {}), std::invalid_argument);
    // Likewise its playlists.
    EXPECT_THROW(demo::createLibrary(path, {Layout::Classic, true, {}, {{1, "Rock"}}}, {}), std::invalid_argument);
    EXPECT_EQ(readWholeFile(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
    EXPECT_NO_THROW(demo::createLibrary(path, {Layout::Classic, true}, {{2, {{"mediatype", "Music"}}}}));
}

TEST(DemoGenerate, SameSeedSameFileOtherSeedOtherSongs) {
    ScratchDir dir;
    auto make = [&](const std::string& name, demo::GenerateOptions options) {
        demo::generateLibrary(dir.file(name), options);
        return readWholeFile(dir.file(name)).value();
    };
    EXPECT_EQ(make("a.db", {Layout::Current, 300, 5, true}), make("b.db", {Layout::Current, 300, 5, true}));

    const std::string songs = "SELECT ID || Artist || SongTitle || Rating || PlayCounter FROM songs ORDER BY ID";
    make("c.db", {Layout::Current, 300, 6, true});
    EXPECT_NE(rows(dir.file("a.db"), songs), rows(dir.file("c.db"), songs));

    // One generator for both layouts: the same seed gives the same songs in
    // either, but for the drive, which only the classic layout keeps in the path.
    make("d.db", {Layout::Classic, 300, 5, true});
    const std::string wide =
        "SELECT quote(Artist)||quote(Album)||quote(substr(SongPath, instr(SongPath, ':')))||quote(Genre)"
        "||quote(Rating)||quote(LastTimePlayed)"
        "||quote(DateAdded)||quote(Lyrics)||quote(Comment) FROM songs ORDER BY ID";
    EXPECT_EQ(rows(dir.file("a.db"), wide), rows(dir.file("d.db"), wide));
}

// Every song of the current layout lies on one of the demo's media: a drive
// whose letter its media gives, a network share or the web.
TEST(DemoGenerate, SongsLieOnTheirMedia) {
    ScratchDir dir;
    const std::string path = dir.file("lib.db");
    demo::generateLibrary(path, {});
    EXPECT_EQ(scalar(path, "SELECT group_concat(IDMedia || ':' || DriveType || ':' || quote(DriveLetter), ' ') FROM "
                           "(SELECT * FROM Medias ORDER BY IDMedia)"),
              "1:3:2 2:3:3 3:4:NULL 4:0:NULL");
    const auto count = [&](const std::string& condition) {
        return std::stoi(scalar(path, "SELECT count(*) FROM Songs WHERE " + condition));
    };
    const int onDrives = count("IDMedia IN (1, 2) AND substr(SongPath, 1, 8) = ':\\Music\\'");
    const int onTheShare = count("IDMedia = 3 AND substr(SongPath, 1, 12) = '\\\\nas\\music\\'");
    const int onTheWeb = count("IDMedia = 4 AND substr(SongPath, 1, 33) = 'https://media.example.org/stream/'");
    EXPECT_GT(onTheShare, 0);
    EXPECT_GT(onTheWeb, 0);
    EXPECT_EQ(onDrives + onTheShare + onTheWeb, 2000);
}

TEST(DemoGenerate, LooksLikeARealLibrary) {
    ScratchDir dir;
    const std::string path = dir.file("lib.db");
    demo::generateLibrary(path, {});
    const auto is = [&](const std::string& condition) {
        return scalar(path, "SELECT count(*) FROM songs WHERE " + condition);
    };
    const auto some = [&](const std::string& condition) { return is(condition) != "0"; };

    EXPECT_EQ(scalar(path, "SELECT count(*) || ' ' || min(ID) || ' ' || max(ID) FROM songs"), "2000 1 2000");
    EXPECT_EQ(is("Rating NOT BETWEEN 0 AND 100 AND Rating <> -1"), "0");
    EXPECT_TRUE(some("Rating = -1") && some("Rating = 100") && some("Rating = 0"));
    EXPECT_EQ(is("(PlayCounter = 0) <> (LastTimePlayed = 0)"), "0");
    EXPECT_TRUE(some("PlayCounter = 0") && some("PlayCounter > 20"));
    EXPECT_EQ(is("DateAdded NOT BETWEEN 35000 AND " + std::to_string(demo::kGeneratedToday)), "0");
    EXPECT_EQ(is("LastTimePlayed > " + std::to_string(demo::kGeneratedToday)), "0");
    EXPECT_EQ(is("SongLength NOT BETWEEN 90000 AND 1140000"), "0");
    for (const char* genre : {"Rock", "rock", "Pop", "Jazz", "Hip-Hop"}) {
        EXPECT_TRUE(some(std::string("Genre GLOB '") + genre + "'")) << genre;
    }
    EXPECT_TRUE(some("Genre IS NULL") && some("Genre GLOB ''"));
    EXPECT_TRUE(some("Comment IS NULL") && some("Comment GLOB ''") && some("Comment GLOB '?*'"));
    EXPECT_TRUE(some("Artist GLOB '*ö*'") && some("Artist GLOB 'Кино'") && some("SongTitle GLOB '*桜*'"));
    // Hand-edited tags: the same artist in another case, which only the binary comparison tells apart.
    EXPECT_LT(std::stoi(scalar(path, "SELECT count(DISTINCT Artist) FROM songs")),
              std::stoi(scalar(path, "SELECT count(DISTINCT Artist COLLATE BINARY) FROM songs")));
    EXPECT_TRUE(some("SongTitle LIKE '%''%'") && some("SongTitle LIKE '%&%'"));
    EXPECT_TRUE(some("SongTitle LIKE '%love%'") && some("SongTitle LIKE '%live%'"));
    EXPECT_TRUE(some("length(Lyrics) > 2000"));

    // Year as the host keeps it: YYYYMMDD, mostly the year alone, -1 for none.
    EXPECT_EQ(is("Year <> -1 AND (Year / 10000 NOT BETWEEN 1955 AND 2024 OR (Year % 10000 <> 0 AND ("
                 "Year / 100 % 100 NOT BETWEEN 1 AND 12 OR Year % 100 NOT BETWEEN 1 AND 31)))"),
              "0");
    EXPECT_TRUE(some("Year = -1") && some("Year > 0 AND Year % 10000 <> 0"));
    EXPECT_GT(std::stoi(is("Year > 0 AND Year % 10000 = 0")), 1500);
}

// The shape changes Year and the statistics, never the songs: the same seed
// gives the same songs in every shape, and the year is the same year.
TEST(DemoGenerate, ShapeChangesOnlyYearAndStatistics) {
    ScratchDir dir;
    const std::string plain = dir.file("plain.db");
    const std::string host = dir.file("host.db");
    demo::generateLibrary(plain, {Layout::Current, 500, 3, true, demo::YearForm::Plain, demo::Statistics::None});
    demo::generateLibrary(host, {Layout::Current, 500, 3, true, demo::YearForm::Dates, demo::Statistics::Stale});

    std::string everyColumnButYear = "''";
    for (const std::string& name : demo::columnNames(Layout::Current)) {
        if (name != "Year") everyColumnButYear += "||quote(" + name + ")";
    }
    const std::string songs = "SELECT " + everyColumnButYear + " FROM songs ORDER BY ID";
    EXPECT_EQ(rows(plain, songs), rows(host, songs));
    EXPECT_EQ(rows(plain, "SELECT Year FROM songs ORDER BY ID"),
              rows(host, "SELECT CASE WHEN Year = -1 THEN 0 ELSE Year / 10000 END FROM songs ORDER BY ID"));
    EXPECT_EQ(scalar(plain, "SELECT count(*) FROM sqlite_schema WHERE name = 'sqlite_stat1'"), "0");
    EXPECT_NE(scalar(plain, "SELECT count(*) FROM songs WHERE Year = 0"), "0");  // unknown years were compared too
}

// Statistics as the host's ANALYZE leaves them: stale ones are exactly an
// ANALYZE of the first tenth of the songs, fresh ones of them all. The
// classic layout stays without, as it always was.
TEST(DemoGenerate, StatisticsAreAnAnalyzeOfATenthOrOfTheWhole) {
    ScratchDir dir;
    const auto statistics = [&](const std::string& name, demo::GenerateOptions options) {
        demo::generateLibrary(dir.file(name), options);
        const std::string path = dir.file(name);
        if (scalar(path, "SELECT count(*) FROM sqlite_schema WHERE name = 'sqlite_stat1'") == "0") {
            return std::vector<std::string>{"(none)"};
        }
        return rows(path, "SELECT tbl || ' ' || ifnull(idx, '-') || ' ' || stat FROM sqlite_stat1 ORDER BY tbl, idx");
    };
    const auto stale = statistics("stale.db", {Layout::Current, 2000, 1, true, demo::YearForm::Dates, demo::Statistics::Stale});
    const auto tenth = statistics("tenth.db", {Layout::Current, 200, 1, true, demo::YearForm::Dates, demo::Statistics::Fresh});
    EXPECT_EQ(stale, tenth);
    ASSERT_EQ(stale.size(), 14u);  // the host's 13 indexes of Songs, and Medias, which has none
    EXPECT_EQ(stale[0], "Medias - 4");
    EXPECT_EQ(stale[13], "Songs idxSongsYear 200 13");

    const auto fresh = statistics("fresh.db", {Layout::Current, 2000, 1, true, demo::YearForm::Dates, demo::Statistics::Fresh});
    ASSERT_EQ(fresh.size(), 14u);
    EXPECT_TRUE(fresh[13].starts_with("Songs idxSongsYear 2000 ")) << fresh[13];
    EXPECT_EQ(statistics("none.db", {Layout::Current, 2000, 1, true, demo::YearForm::Dates, demo::Statistics::None}),
              std::vector<std::string>{"(none)"});
    EXPECT_EQ(statistics("classic.db", {Layout::Classic, 2000, 1, true, demo::YearForm::Dates, demo::Statistics::Fresh}),
              std::vector<std::string>{"(none)"});
    // The indexes the statistics were taken on are all there at the end: the
    // host's 13 of Songs and 3 of its playlist tables.
    EXPECT_EQ(scalar(dir.file("stale.db"), "SELECT count(*) FROM sqlite_schema WHERE type = 'index' AND sql IS NOT NULL"),
              "16");
}

// The demo's playlists, for people to try --in-playlist on, come on a
// stream of their own: the songs are those of a library without them.
TEST(DemoGenerate, PlaylistsLeaveTheSongsAsTheyAre) {
    ScratchDir dir;
    demo::GenerateOptions options{Layout::Current, 300, 1};
    demo::generateLibrary(dir.file("plain.db"), options);
    options.playlists = true;
    demo::generateLibrary(dir.file("playlists.db"), options);
    const std::string songs = "SELECT quote(ID) || quote(Artist) || quote(SongTitle) || quote(Year) FROM Songs ORDER BY ID";
    EXPECT_EQ(rows(dir.file("playlists.db"), songs), rows(dir.file("plain.db"), songs));
    EXPECT_EQ(scalar(dir.file("plain.db"), "SELECT count(*) FROM Playlists"), "0");
    EXPECT_EQ(rows(dir.file("playlists.db"),
                   "SELECT IDPlaylist || ' ' || ParentPlaylist || ' ' || IsAutoPlaylist || ' ' || "
                   "(SELECT count(*) FROM PlaylistSongs s WHERE s.IDPlaylist = p.IDPlaylist) FROM Playlists p"),
              (std::vector<std::string>{"1 0 0 60", "2 0 0 10", "3 2 0 15", "4 3 0 15", "5 0 0 40", "6 0 1 0"}));
    EXPECT_EQ(scalar(dir.file("playlists.db"), "SELECT count(*) FROM PlaylistSongs WHERE IDSong NOT BETWEEN 1 AND 300"),
              "0");
}

TEST(DemoShow, NamesTheSongsOfAResultFile) {
    ScratchDir dir;
    const std::string lib = dir.file("lib.db");
    const std::string result = dir.file("result.txt");
    demo::createLibrary(lib, {}, {{1, {{"Artist", "ABBA"}, {"SongTitle", "Waterloo"}}}, {2, {{"Artist", "Björk"}}}});
    const auto show = [&](const std::string& content) {
        std::ofstream(result, std::ios::binary) << content;
        std::ostringstream out;
        demo::showResult(lib, result, out);
        return out.str();
    };
    EXPECT_EQ(show("2,1,9"), "2\tBjörk\t-:--\n1\tABBA – Waterloo\t-:--\n9\t(not in the library)\t-:--\n");
    EXPECT_EQ(show(""), "");
    EXPECT_EQ(show("Query filter error"), "Query filter error\n");
    std::filesystem::remove(result);
    std::ostringstream out;
    EXPECT_THROW(demo::showResult(lib, result, out), std::runtime_error);
}
