// The options' table and their reading: each option is one row (its name,
// its value's name and range, where it is kept, its line of the usage), read
// by the parser, the usage text and Options::any() alike; a value is taken
// only when it is exactly a whole number in that range. Acting on an option
// is the business of the stage it concerns, not of this file.
#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <limits>
#include <set>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <variant>

#include "platform/paths.h"
#include "text/ascii.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();

// Where an option keeps its value. The member's type says what the option
// takes: a switch (bool), a whole number (int, uint32_t) or a file name.
using Field = std::variant<bool Options::*, std::optional<int> Options::*, std::optional<std::uint32_t> Options::*,
                           std::optional<std::string> Options::*>;

struct Option {
    std::string_view name;
    std::string_view value;   // the value's name in the usage ("N", "FILE"); empty for a switch
    std::int64_t low, high;   // a number's range
    Field field;
    bool shapesList;          // it changes which list comes, so Options::any() counts it
    std::string_view help;    // the usage's line; "{range}" stands for "LOW to HIGH"
    std::string_view lacks = {};  // what an empty text value lacks ("a file name"): one is refused
};

// ORDER: as --help lists them.
constexpr Option kOptions[] = {
    {"--seed", "N", 0, 4294967295, &Options::seed, true,
     "the same library, arguments and N give the same list (N: {range})"},
    {"--distinct", "", 0, 0, &Options::distinct, true, "modes 1 and 2 and rotation fill COUNT with different songs"},
    {"--minutes", "M", 1, 1000000, &Options::minutes, true,
     "the list lasts at most M minutes ({range}); COUNT 0: no count limit"},
    {"--max-per-artist", "N", 1, kIntMax, &Options::maxPerArtist, true, "at most N songs by one artist"},
    {"--max-per-album", "N", 1, kIntMax, &Options::maxPerAlbum, true, "at most N songs from one album"},
    {"--artist-gap", "N", 0, kIntMax, &Options::artistGap, true,
     "at least N other songs between two songs by one artist"},
    {"--m3u", "FILE", 0, 0, &Options::m3u, true, "also write the list as an M3U playlist", "a file name"},
    {"--show", "", 0, 0, &Options::show, true, "list the chosen songs on standard output"},
    {"--threads", "N", 1, 64, &Options::threads, false,
     "read the library in N parts at once ({range}; 1: in one); the list is the same"},
    {"--in-playlist", "NAME", 0, 0, &Options::inPlaylist, true,
     "only songs of the library's playlist NAME and the playlists within it", "a playlist name"},
    {"--not-in-playlist", "NAME", 0, 0, &Options::notInPlaylist, true,
     "no songs of the library's playlist NAME nor of the playlists within it", "a playlist name"},
};

// Commands of their own, which take no options: how many arguments each
// takes, and the same in words for a command line that gives others.
struct CommandRow {
    std::string_view name;
    Command command;
    std::size_t fewest, most;
    std::string_view takes;
};

constexpr CommandRow kCommands[] = {
    {"--help", Command::help, 0, 0, "no arguments"},
    {"--version", Command::version, 0, 0, "no arguments"},
    {"--explain", Command::explain, 1, 2, "a query filter and at most a math filter"},
};

const Option* find(std::string_view name) {
    for (const Option& option : kOptions) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

enum class Takes { nothing, number, text };

Takes takes(const Option& option) {
    if (std::holds_alternative<bool Options::*>(option.field)) return Takes::nothing;
    if (std::holds_alternative<std::optional<std::string> Options::*>(option.field)) return Takes::text;
    return Takes::number;
}

// Keeps the value where the option's row says: a switch is on, a number or a
// file name is stored as its member holds it.
void store(const Option& option, Options& options, std::int64_t number, const std::string& text) {
    std::visit(
        [&](auto field) {
            auto& kept = options.*field;
            using Kept = std::remove_reference_t<decltype(kept)>;
            if constexpr (std::is_same_v<Kept, bool>) {
                kept = true;
            } else if constexpr (std::is_same_v<Kept, std::optional<std::string>>) {
                kept = text;
            } else {
                kept = static_cast<typename Kept::value_type>(number);
            }
        },
        option.field);
}

bool given(const Option& option, const Options& options) {
    return std::visit([&](auto field) { return static_cast<bool>(options.*field); }, option.field);
}

// The value as a whole number in the option's range, or why not. Only
// digits, with a minus in front at most: "+5", " 5", "5x" and "0x5" are no
// whole numbers here, though atoi would read some of them.
std::string readNumber(const Option& option, const std::string& text, std::int64_t& number) {
    const std::string quoted = "\"" + text + "\"";
    const std::string_view digits = std::string_view(text).substr(text.starts_with('-') ? 1 : 0);
    if (digits.empty() || !std::ranges::all_of(digits, isAsciiDigit<char>)) {
        return std::string(option.name) + ": " + quoted + " is not a whole number";
    }
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(text.data(), last, number);
    if (ec == std::errc::result_out_of_range || end != last || number < option.low || number > option.high) {
        return std::string(option.name) + ": " + text + " is not between " + std::to_string(option.low) + " and " +
               std::to_string(option.high);
    }
    return {};
}

// "--seed N" or "--show": the option as the usage names it.
std::string usageName(const Option& option) {
    return option.value.empty() ? std::string(option.name) : std::string(option.name) + " " + std::string(option.value);
}

}  // namespace

std::string arrived(const std::vector<std::string>& args, std::size_t first) {
    if (first >= args.size()) return "none arrived";
    std::string text = std::to_string(args.size() - first) + " arrived:";
    for (std::size_t i = first; i < args.size(); ++i) text += "\n  \"" + args[i] + "\"";
    return text;
}

std::optional<std::string> argumentCountError(const std::vector<std::string>& args, std::size_t firstPositional) {
    const std::size_t count = args.size() - std::min(firstPositional, args.size());
    if (count == 8 || count == 9) return std::nullopt;
    if (args.size() <= 1) return "";  // a bare "vantor": the usage says it all
    return std::string("eight or nine arguments ") + (firstPositional > 1 ? "follow the options" : "are needed") +
           ", and " + arrived(args, firstPositional);
}

bool Options::any() const {
    return std::ranges::any_of(kOptions, [this](const Option& o) { return o.shapesList && given(o, *this); });
}

Command commandOf(const std::vector<std::string>& args) {
    if (args.size() < 2) return Command::none;
    for (const CommandRow& row : kCommands) {
        const std::size_t count = args.size() - 2;
        if (args[1] == row.name && count >= row.fewest && count <= row.most) return row.command;
    }
    return Command::none;
}

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    std::set<std::string_view> given;
    std::size_t i = 1;
    for (; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--") {
            ++i;
            break;
        }
        if (word.size() < 3 || word.compare(0, 2, "--") != 0) break;  // the first positional argument
        for (const CommandRow& command : kCommands) {
            if (word != command.name) continue;
            // First, it is the command, given too many or too few arguments
            // (the right number never gets here); later, it follows options.
            parsed.error = i > 1 ? word + " stands alone: it takes no options"
                                 : word + " takes " + std::string(command.takes) + ", and " + arrived(args, 2);
            return parsed;
        }
        const Option* option = find(word);
        if (option == nullptr) {
            parsed.error = "unknown option " + word;
            return parsed;
        }
        if (!given.insert(option->name).second) {
            parsed.error = word + " is given twice";
            return parsed;
        }
        std::int64_t number = 0;
        std::string text;
        if (takes(*option) != Takes::nothing) {
            if (i + 1 >= args.size()) {
                parsed.error = word + " needs a value";
                return parsed;
            }
            text = args[++i];
            if (takes(*option) == Takes::number) {
                parsed.error = readNumber(*option, text, number);
                if (!parsed.error.empty()) return parsed;
            } else if (text.empty()) {
                parsed.error = word + " needs " + std::string(option->lacks);
                return parsed;
            }
        }
        store(*option, parsed.options, number, text);
    }
    parsed.firstPositional = i;
    return parsed;
}

std::string conflictWithArguments(const Options& options, const std::vector<std::string>& positional) {
    // The M3U file beside the ID list would replace it, or the other way round.
    if (options.m3u && positional.size() >= 8) {
        namespace fs = std::filesystem;
        // Spelled alike once links, "." and ".." are resolved; absolute first, since a
        // relative name whose folders do not exist would stay relative.
        const auto resolved = [](const std::string& name) {
            std::error_code ec;
            const fs::path absolute = fs::absolute(platform::nativePath(name), ec);
            return ec ? fs::path() : fs::weakly_canonical(absolute, ec);
        };
        const fs::path m3u = resolved(*options.m3u), result = resolved(positional[7]);
        std::error_code ec;
        if ((!m3u.empty() && m3u == result) || fs::equivalent(m3u, result, ec)) return "--m3u names the result file";
    }
    return {};
}

std::string optionsUsage() {
    // The help lines start in one column, two blanks after the longest name.
    std::size_t width = 0;
    for (const Option& option : kOptions) width = std::max(width, usageName(option).size());
    std::string usage = "options, before the arguments (a lone -- ends them):\n";
    for (const Option& option : kOptions) {
        std::string name = usageName(option);
        name.resize(width, ' ');
        std::string help(option.help);
        replace(help, "{range}", std::to_string(option.low) + " to " + std::to_string(option.high));
        usage += "  " + name + "  " + help + "\n";
    }
    return usage;
}

}  // namespace vantor
