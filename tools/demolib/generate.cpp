// Made-up but plausible libraries: albums of consecutive tracks by artists
// from several countries and scripts, with the untidiness of real tags (case
// variants, empty and missing values, never-played songs, long lyrics).
// Only std::mt19937, whose output the standard fixes, feeds the choices; no
// library distribution or transcendental function is used, and no expression
// draws twice (operand order is unspecified), so a seed gives the same file
// everywhere.
#include <array>
#include <cmath>
#include <random>
#include <stdexcept>
#include <string_view>

#include "demolib/demolib.h"
#include "demolib/layouts.h"
#include "demolib/library_writer.h"
#include "text/ascii.h"
#include "text/toolkit.h"

namespace vantor::demo {
namespace {

using namespace std::string_view_literals;

class Dice {
public:
    explicit Dice(std::uint32_t seed) : gen_(seed) {}
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(gen_() % n); }
    double unit() { return static_cast<double>(gen_()) / 4294967296.0; }
    bool chance(double p) { return unit() < p; }
    template <std::size_t N>
    std::string_view pick(const std::array<std::string_view, N>& from) {
        return from[below(N)];
    }

private:
    std::mt19937 gen_;
};

enum class Style { Latin, Cyrillic, Japanese, Classical };

struct Artist {
    std::string_view name;
    std::string_view genre;
    Style style;
};

constexpr std::array kArtists = {
    Artist{"ABBA", "Pop", Style::Latin},
    Artist{"The Beatles", "Rock", Style::Latin},
    Artist{"Björk", "Electronic", Style::Latin},
    Artist{"Sigur Rós", "Rock", Style::Latin},
    Artist{"Motörhead", "Metal", Style::Latin},
    Artist{"Mötley Crüe", "Metal", Style::Latin},
    Artist{"Beyoncé", "R&B", Style::Latin},
    Artist{"Édith Piaf", "Chanson", Style::Latin},
    Artist{"Guns N' Roses", "Rock", Style::Latin},
    Artist{"Simon & Garfunkel", "Folk", Style::Latin},
    Artist{"AC/DC", "Rock", Style::Latin},
    Artist{"Earth, Wind & Fire", "Soul", Style::Latin},
    Artist{"Sinéad O'Connor", "Pop", Style::Latin},
    Artist{"Caetano Veloso", "World", Style::Latin},
    Artist{"Ólafur Arnalds", "Classical", Style::Latin},
    Artist{"Miles Davis", "Jazz", Style::Latin},
    Artist{"John Coltrane", "Jazz", Style::Latin},
    Artist{"Ella Fitzgerald", "Jazz", Style::Latin},
    Artist{"Nina Simone", "Jazz", Style::Latin},
    Artist{"Daft Punk", "Electronic", Style::Latin},
    Artist{"Kraftwerk", "Electronic", Style::Latin},
    Artist{"Massive Attack", "Electronic", Style::Latin},
    Artist{"Radiohead", "Rock", Style::Latin},
    Artist{"Nirvana", "Rock", Style::Latin},
    Artist{"Metallica", "Metal", Style::Latin},
    Artist{"Iron Maiden", "Metal", Style::Latin},
    Artist{"Bob Dylan", "Folk", Style::Latin},
    Artist{"Joni Mitchell", "Folk", Style::Latin},
    Artist{"Johnny Cash", "Country", Style::Latin},
    Artist{"Dolly Parton", "Country", Style::Latin},
    Artist{"Bob Marley & The Wailers", "Reggae", Style::Latin},
    Artist{"OutKast", "Hip-Hop", Style::Latin},
    Artist{"Run-D.M.C.", "Hip-Hop", Style::Latin},
    Artist{"Public Enemy", "Hip-Hop", Style::Latin},
    Artist{"Kendrick Lamar", "Hip-Hop", Style::Latin},
    Artist{"Madonna", "Pop", Style::Latin},
    Artist{"Prince", "Pop", Style::Latin},
    Artist{"Michael Jackson", "Pop", Style::Latin},
    Artist{"Queen", "Rock", Style::Latin},
    Artist{"David Bowie", "Rock", Style::Latin},
    Artist{"Led Zeppelin", "Rock", Style::Latin},
    Artist{"Pink Floyd", "Rock", Style::Latin},
    Artist{"Stevie Wonder", "Soul", Style::Latin},
    Artist{"Aretha Franklin", "Soul", Style::Latin},
    Artist{"Hans Zimmer", "Soundtrack", Style::Latin},
    Artist{"Ennio Morricone", "Soundtrack", Style::Latin},
    Artist{"Кино", "Rock", Style::Cyrillic},
    Artist{"Алла Пугачёва", "Pop", Style::Cyrillic},
    Artist{"Сплин", "Rock", Style::Cyrillic},
    Artist{"宇多田ヒカル", "Pop", Style::Japanese},
    Artist{"坂本龍一", "Electronic", Style::Japanese},
    Artist{"Johann Sebastian Bach", "Classical", Style::Classical},
    Artist{"Ludwig van Beethoven", "Classical", Style::Classical},
    Artist{"Wolfgang Amadeus Mozart", "Classical", Style::Classical},
    Artist{"Frédéric Chopin", "Classical", Style::Classical},
    Artist{"Antonín Dvořák", "Classical", Style::Classical},
};

constexpr std::array kNouns = {"Heart"sv, "Night"sv,  "River"sv,  "Fire"sv,  "Rain"sv,   "City"sv,   "Dream"sv,
                               "Road"sv,  "Sky"sv,    "Song"sv,   "Light"sv, "Shadow"sv, "Ocean"sv,  "Train"sv,
                               "Moon"sv,  "Summer"sv, "Winter"sv, "Angel"sv, "Stranger"sv, "Paradise"sv};
constexpr std::array kAdjectives = {"Blue"sv,  "Golden"sv, "Broken"sv,  "Electric"sv, "Silent"sv, "Wild"sv,
                                    "Sweet"sv, "Lonely"sv, "Crazy"sv,   "Endless"sv,  "Little"sv, "Hollow"sv};
constexpr std::array kVerbs = {"Hold"sv, "Love"sv, "Leave"sv, "Save"sv, "Call"sv, "Take"sv, "Tell"sv, "Show"sv};
constexpr std::array kPlaces = {"Wembley"sv, "the Apollo"sv, "Montreux"sv, "Budokan"sv, "the Olympia"sv,
                                "Red Rocks"sv};
constexpr std::array kCyrillicTitles = {"Группа крови"sv, "Звезда по имени Солнце"sv, "Миллион алых роз"sv,
                                        "Кукушка"sv,      "Выхода нет"sv,            "Пачка сигарет"sv};
constexpr std::array kJapaneseTitles = {"First Love"sv, "花束を君に"sv, "戦場のメリークリスマス"sv,
                                        "桜流し"sv,     "Automatic"sv,  "東京"sv};
constexpr std::array kKeys = {"C major"sv, "A minor"sv, "E-flat major"sv, "D minor"sv, "F-sharp minor"sv,
                              "G major"sv};
constexpr std::array kClassicalForms = {"Symphony"sv, "Piano Sonata"sv, "String Quartet"sv, "Nocturne"sv,
                                        "Prelude"sv,  "Cello Suite"sv};
constexpr std::array kMovements = {"I. Allegro"sv, "II. Adagio"sv, "III. Menuetto"sv, "IV. Presto"sv};
constexpr std::array kLabels = {"EMI"sv,         "Sony Music"sv, "Deutsche Grammophon"sv, "Warner Bros."sv,
                                "Island Records"sv, "Blue Note"sv, "Def Jam"sv, "Motown"sv, "Sub Pop"sv, "4AD"sv};
constexpr std::array kConductors = {"Herbert von Karajan"sv, "Leonard Bernstein"sv, "Claudio Abbado"sv,
                                    "Simon Rattle"sv};
constexpr std::array kTempos = {"Slow"sv, "Moderate"sv, "Fast"sv, "Very Fast"sv};
constexpr std::array kMoods = {"Happy"sv, "Sad"sv, "Mellow"sv, "Energetic"sv, "Dark"sv, "Romantic"sv, "Aggressive"sv};
constexpr std::array kOccasions = {"Party"sv, "Driving"sv, "Relaxing"sv, "Workout"sv, "Dinner"sv, "Sleep"sv};
constexpr std::array kQualities = {"Good"sv, "Excellent"sv, "Average"sv, "Poor"sv};
constexpr std::array kCustoms = {"favourite"sv, "Favourite"sv, "vinyl rip"sv, "to check"sv, "gift from Zoë"sv};
constexpr std::array kComments = {"Remastered"sv, "bought at the gig"sv, "Vinyl rip — 24/96"sv, "Don't skip!"sv,
                                  "Lyrics & chords on the web"sv, "live"sv};

// The columns the generator fills; a layout without one of them just skips it.
enum Col {
    cID, cArtist, cIDAlbum, cAlbum, cAlbumArtist, cDiscNumber, cTrackNumber, cSongTitle, cSongPath, cExtension,
    cYear, cGenre, cFileLength, cSongLength, cIDMedia, cRating, cBitrate, cSeekable, cAuthor, cSamplingFrequency,
    cStereo, cVBR, cBPM, cPlayCounter, cLastTimePlayed, cFileModified, cNormalizeTrack, cNormalizeAlbum, cCustom1,
    cCustom2, cCustom3, cCustom4, cCustom5, cDateAdded, cSkipCount, cIDFolder, cTrackType, cCopyright, cPublisher,
    cEncoder, cLyricist, cConductor, cInvolvedPeople, cOrigTitle, cOrigArtist, cOrigLyricist, cGroupDesc,
    cLanguage, cMediaType, cTempo, cMood, cOccasion, cQuality, cLyrics, cComment, cCount
};

constexpr std::array<std::string_view, cCount> kColNames = {
    "ID", "Artist", "IDAlbum", "Album", "AlbumArtist", "DiscNumber", "TrackNumber", "SongTitle", "SongPath",
    "Extension", "Year", "Genre", "FileLength", "SongLength", "IDMedia", "Rating", "Bitrate", "Seekable", "Author",
    "SamplingFrequency", "Stereo", "VBR", "BPM", "PlayCounter", "LastTimePlayed", "FileModified", "NormalizeTrack",
    "NormalizeAlbum", "Custom1", "Custom2", "Custom3", "Custom4", "Custom5", "DateAdded", "SkipCount", "IDFolder",
    "TrackType", "Copyright", "Publisher", "Encoder", "Lyricist", "Conductor", "InvolvedPeople", "OrigTitle",
    "OrigArtist", "OrigLyricist", "GroupDesc", "Language", "MediaType", "Tempo", "Mood", "Occasion", "Quality",
    "Lyrics", "Comment",
};

// The media of the current layout's Medias table, by IDMedia. DriveType is
// Windows' drive type (3 fixed, 4 remote), 0 for the web; DriveLetter counts from A = 0.
enum MediaId : std::int64_t { kSystemDrive = 1, kMusicDrive = 2, kShare = 3, kWeb = 4 };

std::vector<FixtureMedia> demoMedias() {
    const auto media = [](std::int64_t id, std::int64_t serial, std::int64_t type, std::string label, Value location,
                          Value letter) {
        return FixtureMedia{id,
                            {{"SerialNumber", serial},
                             {"DriveType", type},
                             {"Label", std::move(label)},
                             {"ShowLabel", std::int64_t{0}},
                             {"IsAudioCD", std::int64_t{0}},
                             {"Location", std::move(location)},
                             {"DriveLetter", std::move(letter)}}};
    };
    return {
        media(kSystemDrive, 0x5A3C19E2, 3, "Windows", Value{}, std::int64_t{2}),               // C:
        media(kMusicDrive, 0x1D07B44F, 3, "Music", Value{}, std::int64_t{3}),                  // D:
        media(kShare, 0, 4, "nas", std::string("\\\\nas\\music"), Value{}),
        media(kWeb, 0, 0, "media.example.org", std::string("https://media.example.org/"), Value{}),
    };
}

// The demo's saved playlists: one within another down two levels, one to
// leave out, and an automatic one, which the host stores as a search with no
// songs. Their songs come from a stream of their own.
std::vector<FixturePlaylist> demoPlaylists(int songs, std::uint32_t seed) {
    Dice dice(seed ^ 0x5EEDu);
    const auto draw = [&](int n) {
        std::vector<std::int64_t> ids;
        for (int i = 0; i < n && songs > 0; ++i) ids.push_back(1 + dice.below(static_cast<std::uint32_t>(songs)));
        return ids;
    };
    std::vector<FixturePlaylist> playlists;
    playlists.push_back({1, "Road Trip", 0, false, draw(60)});
    playlists.push_back({2, "Quiet Evening", 0, false, draw(10)});
    playlists.push_back({3, "Piano", 2, false, draw(15)});
    playlists.push_back({4, "Late Night", 3, false, draw(15)});
    playlists.push_back({5, "Heard Too Often", 0, false, draw(40)});
    playlists.push_back({6, "Recently Added", 0, true, {}});
    return playlists;
}

struct Album {
    std::int64_t id = 0;
    const Artist* artist = nullptr;  // nullptr for a compilation
    std::string title;
    std::string albumArtist;
    std::int64_t year = 0;         // 0 for none
    std::int64_t storedYear = 0;  // as the layout and the year form store it
    std::int64_t media = 1;
    std::string_view extension;
    double dateAdded = 0;
    double gain = 0;
    int discs = 1;
};

// Paths keep the tag text but not the characters Windows forbids in a name.
std::string pathPiece(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) c = '_';
    }
    return out;
}

double round2(double x) { return std::round(x * 100.0) / 100.0; }

class Generator {
public:
    Generator(Layout layout, YearForm years, std::uint32_t seed)
        : layout_(layout),
          years_(layout == Layout::Current ? years : YearForm::Plain),
          dice_(seed),
          shapeDice_(seed ^ 0x9E3779B9u),
          row_(columnDefs(layout).size()) {
        for (std::size_t c = 0; c < cCount; ++c) columns_[c] = columnIndex(layout, kColNames[c]);
    }

    // Takes the statistics once `statisticsAt` songs are written (-1: never).
    void run(LibraryWriter& writer, int songs, std::int64_t statisticsAt) {
        if (statisticsAt == 0) writer.takeStatistics();
        std::int64_t id = 1;
        std::int64_t albumId = 0;
        while (id <= songs) {
            const Album album = makeAlbum(++albumId);
            const int tracks = 6 + static_cast<int>(dice_.below(10));
            for (int t = 1; t <= tracks && id <= songs; ++t, ++id) {
                makeSong(id, album, t, tracks);
                writer.insert(row_);
                if (id == statisticsAt) writer.takeStatistics();
            }
        }
    }

private:
    void put(Col c, Value v) {
        if (columns_[c] >= 0) row_[static_cast<std::size_t>(columns_[c])] = std::move(v);
    }
    void putText(Col c, std::string_view text) { put(c, std::string(text)); }
    // Real tags are often blank or missing rather than filled.
    void putSometimes(Col c, std::string_view text, double filled, double empty) {
        const double u = dice_.unit();
        if (u < filled) putText(c, text);
        else if (u < filled + empty) putText(c, "");
    }

    const Artist& anyArtist() { return kArtists[dice_.below(kArtists.size())]; }

    std::string latinTitle() {
        const std::string noun(dice_.pick(kNouns));
        const std::string adj(dice_.pick(kAdjectives));
        const std::string verb(dice_.pick(kVerbs));
        switch (dice_.below(12)) {
            case 0: return adj + " " + noun;
            case 1: return noun + " of the " + std::string(dice_.pick(kNouns));
            case 2: return "Love Is a " + noun;
            case 3: return "Don't " + verb + " Me";
            case 4: return verb + " Me Tonight";
            case 5: return "Rock 'n' Roll " + noun;
            case 6: return noun + " & " + std::string(dice_.pick(kNouns));
            case 7: return noun + " (Live)";
            case 8: return "I'll " + verb + " You";
            case 9: return adj + " " + noun + " Blues";
            case 10: return "Fallin' in love with the " + noun;
            default: return "Live and Let " + noun;
        }
    }

    std::string classicalTitle() {
        const std::string form(dice_.pick(kClassicalForms));
        const std::string number = std::to_string(1 + dice_.below(9));
        const std::string key(dice_.pick(kKeys));
        return form + " No. " + number + " in " + key + ": " + std::string(dice_.pick(kMovements));
    }

    std::string songTitle(const Artist& artist) {
        switch (artist.style) {
            case Style::Cyrillic: return dice_.chance(0.7) ? std::string(dice_.pick(kCyrillicTitles)) : latinTitle();
            case Style::Japanese: return dice_.chance(0.7) ? std::string(dice_.pick(kJapaneseTitles)) : latinTitle();
            case Style::Classical: return classicalTitle();
            case Style::Latin: break;
        }
        return latinTitle();
    }

    std::string albumTitle(const Artist& artist) {
        const std::string noun(dice_.pick(kNouns));
        if (artist.style == Style::Classical) return "Complete Works Vol. " + std::to_string(1 + dice_.below(12));
        switch (dice_.below(6)) {
            case 0: return "Greatest Hits";
            case 1: return "Live at " + std::string(dice_.pick(kPlaces));
            case 2: return noun + " & " + std::string(dice_.pick(kNouns));
            case 3: return "The " + std::string(dice_.pick(kAdjectives)) + " Sessions";
            default: return std::string(dice_.pick(kAdjectives)) + " " + noun;
        }
    }

    Album makeAlbum(std::int64_t id) {
        Album a;
        a.id = id;
        if (dice_.chance(0.06)) {
            const std::string noun(dice_.pick(kNouns));
            a.title = "Now That's What I Call " + noun + " " + std::to_string(1 + dice_.below(40));
            a.albumArtist = "Various Artists";
        } else {
            a.artist = &anyArtist();
            a.title = albumTitle(*a.artist);
            a.albumArtist = a.artist->name;
        }
        a.year = dice_.chance(0.03) ? 0 : 1955 + dice_.below(70);
        a.media = dice_.chance(0.8) ? 1 : 2 + dice_.below(2);
        // A third of the share's albums come from the web instead, by the album's number, so no draw changes.
        if (a.media == kShare && id % 3 == 0) a.media = kWeb;
        const std::uint32_t format = dice_.below(10);
        a.extension = format < 7 ? "mp3" : format < 9 ? "flac" : "m4a";
        // Whole seconds plus the hour of the day, as a rip session would leave them.
        const double day = std::floor(kGeneratedToday - 1 - dice_.unit() * 7300);
        a.dateAdded = day + dice_.below(86400) / 86400.0;
        a.gain = round2(-10 + dice_.unit() * 12);
        a.discs = dice_.chance(0.05) ? 2 : 1;
        a.storedYear = years_ == YearForm::Dates ? hostYear(a.year) : a.year;
        return a;
    }

    // The current host keeps a date in Year as YYYYMMDD: most tags give the
    // year alone (YYYY0000), some a full release date, and none is -1.
    std::int64_t hostYear(std::int64_t year) {
        if (year == 0) return -1;
        if (!shapeDice_.chance(0.15)) return year * 10000;
        constexpr std::array<std::uint32_t, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const std::uint32_t month = shapeDice_.below(12);
        const std::uint32_t day = 1 + shapeDice_.below(kDays[month]);
        return year * 10000 + (month + 1) * 100 + day;
    }

    std::string lyrics(const std::string& title, bool longOne) {
        std::string text;
        const std::size_t target = longOne ? 2048 + dice_.below(6144) : 80 + dice_.below(200);
        while (text.size() < target) {
            switch (dice_.below(4)) {
                case 0: text += title + ", " + title + "\r\n"; break;
                case 1: {
                    const std::string first(dice_.pick(kNouns));
                    text += "Oh " + first + ", my " + std::string(dice_.pick(kNouns)) + "\r\n";
                    break;
                }
                case 2: text += "I'll " + std::string(dice_.pick(kVerbs)) + " your love tonight\r\n"; break;
                default: text += "\r\n"; break;
            }
        }
        return text;
    }

    void makeSong(std::int64_t id, const Album& album, int track, int tracks) {
        for (Value& v : row_) v = std::monostate{};
        const Artist& artist = album.artist != nullptr ? *album.artist : anyArtist();

        std::string artistName(artist.name);
        // A few songs carry the name in another case, as hand-edited tags do.
        if (artist.style == Style::Latin && dice_.chance(0.03)) {
            artistName = dice_.chance(0.5) ? lowercased(artistName) : uppercasedAscii(artistName);
        }
        const std::string title = songTitle(artist);
        const bool classical = artist.style == Style::Classical;

        put(cID, id);
        put(cArtist, artistName);
        put(cIDAlbum, album.id);
        put(cAlbum, album.title);
        put(cAlbumArtist, album.albumArtist);
        const int disc = album.discs == 2 && track > tracks / 2 ? 2 : 1;
        if (album.discs == 2) putText(cDiscNumber, std::to_string(disc));
        else putSometimes(cDiscNumber, "1", 0.3, 0.6);
        put(cTrackNumber, dice_.chance(0.03) ? std::string() : std::to_string(track));
        put(cSongTitle, title);
        const std::string trackNo = (track < 10 ? "0" : "") + std::to_string(track);
        put(cSongPath, songPath(album, trackNo, title));
        putText(cExtension, album.extension);
        put(cYear, album.storedYear);

        const double g = dice_.unit();
        if (g < 0.02) {
            // no genre at all
        } else if (g < 0.04) {
            putText(cGenre, "");
        } else if (g < 0.12) {
            put(cGenre, lowercased(artist.genre));
        } else {
            putText(cGenre, artist.genre);
        }

        const std::int64_t lengthMs = (classical ? 240000 : 90000) + dice_.below(classical ? 900000 : 330000);
        std::int64_t bitrate = 256000;
        if (album.extension == "mp3") bitrate = std::array<std::int64_t, 4>{128000, 192000, 256000, 320000}[dice_.below(4)];
        if (album.extension == "flac") bitrate = 700000 + dice_.below(400000);
        put(cSongLength, lengthMs);
        put(cFileLength, lengthMs * bitrate / 8000 + 4096);
        put(cIDMedia, album.media);
        put(cRating, dice_.chance(0.25) ? std::int64_t{-1} : std::int64_t{10} * dice_.below(11));
        put(cBitrate, bitrate);
        put(cSeekable, std::int64_t{1});
        if (classical) put(cAuthor, artistName);
        else putSometimes(cAuthor, artistName, 0.3, 0.2);
        put(cSamplingFrequency, std::int64_t{dice_.chance(0.9) ? 44100 : 48000});
        put(cStereo, std::int64_t{dice_.chance(0.97) ? 1 : 0});
        put(cVBR, std::int64_t{dice_.chance(0.3) ? 1 : 0});
        put(cBPM, dice_.chance(0.4) ? std::int64_t{0} : std::int64_t{60} + dice_.below(121));

        // Most played songs have a few plays, a handful have hundreds.
        const std::int64_t plays = dice_.chance(0.35) ? 0 : 1 + dice_.below(1 + dice_.below(250));
        const double added = album.dateAdded + track / 86400.0;
        put(cPlayCounter, plays);
        // Zero is the host's "never played".
        put(cLastTimePlayed, plays == 0 ? 0.0 : added + dice_.unit() * (kGeneratedToday - added));
        put(cDateAdded, added);
        put(cFileModified, dice_.chance(0.2) ? added + dice_.unit() * (kGeneratedToday - added)
                                             : added - dice_.unit() * 400);
        put(cSkipCount, std::int64_t{dice_.chance(0.7) ? 0 : dice_.below(10)});
        put(cNormalizeTrack, round2(-10 + dice_.unit() * 12));
        put(cNormalizeAlbum, album.gain);

        for (const Col c : {cCustom1, cCustom2, cCustom3, cCustom4, cCustom5}) {
            putSometimes(c, dice_.pick(kCustoms), 0.05, 0.10);
        }
        put(cIDFolder, album.id);
        put(cTrackType, std::int64_t{0});
        putSometimes(cMediaType, "Music", 0.9, 0.05);

        const std::string_view label = dice_.pick(kLabels);
        if (dice_.chance(0.2) && album.year != 0) put(cCopyright, "℗ " + std::to_string(album.year) + " " + std::string(label));
        putSometimes(cPublisher, label, 0.4, 0.1);
        if (album.extension == "mp3") putSometimes(cEncoder, "LAME 3.99.5", 0.6, 0.1);
        if (album.extension == "flac") putText(cEncoder, "reference libFLAC 1.3.2");
        putSometimes(cLyricist, artistName, 0.1, 0.1);
        if (classical) putSometimes(cConductor, dice_.pick(kConductors), 0.6, 0.1);
        putSometimes(cInvolvedPeople, "Producer: Brian Eno; Engineer: Zoë Keating", 0.03, 0.05);
        if (dice_.chance(0.03)) {
            // A cover: the original is someone else's.
            const Artist& original = anyArtist();
            put(cOrigTitle, title);
            putText(cOrigArtist, original.name);
            putText(cOrigLyricist, original.name);
        }
        if (classical) putSometimes(cGroupDesc, dice_.pick(kClassicalForms), 0.5, 0.1);
        if (artist.style == Style::Cyrillic) putText(cLanguage, "rus");
        else if (artist.style == Style::Japanese) putText(cLanguage, "jpn");
        else putSometimes(cLanguage, "eng", 0.5, 0.1);

        putSometimes(cTempo, dice_.pick(kTempos), 0.3, 0.1);
        putSometimes(cMood, dice_.pick(kMoods), 0.3, 0.1);
        putSometimes(cOccasion, dice_.pick(kOccasions), 0.2, 0.1);
        putSometimes(cQuality, dice_.pick(kQualities), 0.2, 0.1);

        const double l = dice_.unit();
        if (l < 0.005) put(cLyrics, lyrics(title, true));
        else if (l < 0.05) put(cLyrics, lyrics(title, false));
        else if (l < 0.15) putText(cLyrics, "");
        putSometimes(cComment, dice_.pick(kComments), 0.1, 0.1);
    }

    static std::string uppercasedAscii(std::string text) {
        for (char& c : text) c = asciiUpper(c);
        return text;
    }

    // Where the host plays the song from. The current host stores a path on a
    // drive without its letter, which the song's media gives; the classic
    // layout's older host kept the letter in the path. A network share and
    // the web keep their whole location in either.
    std::string songPath(const Album& album, const std::string& trackNo, const std::string& title) const {
        const std::string file = trackNo + " - " + pathPiece(title) + "." + std::string(album.extension);
        const std::string folders = pathPiece(album.albumArtist) + "\\" + pathPiece(album.title) + "\\";
        switch (album.media) {
            case kShare: return "\\\\nas\\music\\" + folders + file;
            case kWeb: return "https://media.example.org/stream/" + std::to_string(album.id) + "/" + trackNo + "." +
                              std::string(album.extension);
            default: break;
        }
        const std::string drive = layout_ == Layout::Current ? "" : album.media == kSystemDrive ? "C" : "D";
        return drive + ":\\Music\\" + folders + file;
    }

    Layout layout_;
    YearForm years_;
    Dice dice_;
    Dice shapeDice_;  // the shape's own draws, so the songs stay the same in every shape
    std::array<int, cCount> columns_{};
    std::vector<Value> row_;
};

}  // namespace

void generateLibrary(const std::string& path, const GenerateOptions& options) {
    if (options.songs < 0) throw std::invalid_argument("the number of songs cannot be negative");
    const bool current = options.layout == Layout::Current;
    const Statistics statistics = current ? options.statistics : Statistics::None;
    LibraryWriter writer(path, options.layout, options.utf16);
    if (current) {
        for (const FixtureMedia& media : demoMedias()) writer.insertMedia(media);
    }
    const std::int64_t staleAt = statistics == Statistics::Stale ? options.songs / 10 : -1;
    Generator(options.layout, options.years, options.seed).run(writer, options.songs, staleAt);
    if (current && options.playlists) {
        for (const FixturePlaylist& playlist : demoPlaylists(options.songs, options.seed)) writer.insertPlaylist(playlist);
    }
    writer.finish(statistics == Statistics::Fresh);
}

}  // namespace vantor::demo
