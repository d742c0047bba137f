// Options for people who run vantor by hand or from a script. They come
// before the front end's eight or nine positional arguments, each starting
// with "--", and a lone "--" ends them; without any, a run is the front
// end's run, unchanged. This reads and checks them; the stages act on them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantor {

struct Options {
    std::optional<std::uint32_t> seed;  // --seed N: the clock's stand-in at both seedings
    bool distinct = false;              // --distinct: COUNT different songs where the pool allows
    std::optional<int> minutes;         // --minutes M: the list's total length at most M minutes
    std::optional<int> maxPerArtist;    // --max-per-artist N
    std::optional<int> maxPerAlbum;     // --max-per-album N
    std::optional<int> artistGap;       // --artist-gap N: other songs between two by one artist
    std::optional<std::string> m3u;     // --m3u FILE: the list as an extended M3U playlist too
    bool show = false;                  // --show: the chosen songs on standard output
    std::optional<int> threads;         // --threads N: parts of the library read at once (1: one)
    std::optional<std::string> inPlaylist;     // --in-playlist NAME: only songs of the host's playlist
    std::optional<std::string> notInPlaylist;  // --not-in-playlist NAME: no songs of the host's playlist

    // Whether any option that shapes the list was given: such a run tells
    // its seed on standard error. --threads changes how fast, never what.
    bool any() const;
};

// The options at the front of the arguments (argv[0] is the program), and
// where the positional arguments begin; or the one line that says what is
// wrong with them.
struct ParsedOptions {
    Options options;
    std::size_t firstPositional = 1;
    std::string error;  // "--minutes: \"abc\" is not a whole number", say; empty when all is well
};

// Reads the options at the front of argv (args[0] the program) up to the first positional.
ParsedOptions parseOptions(const std::vector<std::string>& args);

// "N arrived:" and args[first..], one a line between quotes, so that an
// argument that swallowed the next ones shows at once (on Windows a
// backslash before a closing quote escapes it); "none arrived" for none.
std::string arrived(const std::vector<std::string>& args, std::size_t first);

// What is wrong with the number of positional arguments (args[0] the
// program, positionals from firstPositional on): nothing for eight or nine,
// "" for none at all (the usage alone answers that), else what arrived.
std::optional<std::string> argumentCountError(const std::vector<std::string>& args, std::size_t firstPositional);

// What is wrong with options that make no sense with these positional
// arguments (argv[firstPositional..]); empty when nothing is.
std::string conflictWithArguments(const Options& options, const std::vector<std::string>& positional);

// The options' lines of the usage text, one an option.
std::string optionsUsage();

// The commands that stand alone in place of a run.
enum class Command { none, help, version, explain };

// The command args[1] names when it comes with as many arguments as it takes
// (args[0] the program); none otherwise, and parseOptions says what is wrong.
Command commandOf(const std::vector<std::string>& args);

}  // namespace vantor
