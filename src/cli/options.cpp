// The options' table and their reading: each option is one row (its name,
// what value it takes and in what range, where it goes), and a value is
// taken only when it is exactly a whole number in that range. Acting on an
// option is the business of the stage it concerns, not of this file.
#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <limits>
#include <set>
#include <string_view>
#include <system_error>

#include "platform/paths.h"

namespace vantor {
namespace {

constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();

enum class Takes { nothing, number, text };

struct Option {
    std::string_view name;
    Takes takes;
    std::int64_t low, high;  // the range of a number
    void (*set)(Options&, std::int64_t number, const std::string& text);
};

// ORDER: as --help lists them.
constexpr Option kOptions[] = {
    {"--seed", Takes::number, 0, 4294967295,
     [](Options& o, std::int64_t n, const std::string&) { o.seed = static_cast<std::uint32_t>(n); }},
    {"--distinct", Takes::nothing, 0, 0, [](Options& o, std::int64_t, const std::string&) { o.distinct = true; }},
    {"--minutes", Takes::number, 1, 1000000,
     [](Options& o, std::int64_t n, const std::string&) { o.minutes = static_cast<int>(n); }},
    {"--max-per-artist", Takes::number, 1, kIntMax,
     [](Options& o, std::int64_t n, const std::string&) { o.maxPerArtist = static_cast<int>(n); }},
    {"--artist-gap", Takes::number, 0, kIntMax,
     [](Options& o, std::int64_t n, const std::string&) { o.artistGap = static_cast<int>(n); }},
    {"--m3u", Takes::text, 0, 0, [](Options& o, std::int64_t, const std::string& t) { o.m3u = t; }},
    {"--show", Takes::nothing, 0, 0, [](Options& o, std::int64_t, const std::string&) { o.show = true; }},
    {"--threads", Takes::number, 1, 64,
     [](Options& o, std::int64_t n, const std::string&) { o.threads = static_cast<int>(n); }},
};

// Commands of their own, which take no options.
constexpr std::string_view kCommands[] = {"--help", "--version", "--explain"};

const Option* find(std::string_view name) {
    for (const Option& option : kOptions) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

// The value as a whole number in the option's range, or why not. Only
// digits, with a minus in front at most: "+5", " 5", "5x" and "0x5" are no
// whole numbers here, though atoi would read some of them.
std::string readNumber(const Option& option, const std::string& text, std::int64_t& number) {
    const std::string quoted = "\"" + text + "\"";
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const bool digitsOnly = !text.empty() && text != "-" &&
                            text.find_first_not_of("0123456789", text[0] == '-' ? 1 : 0) == std::string::npos;
    if (!digitsOnly) return std::string(option.name) + ": " + quoted + " is not a whole number";
    const auto [end, ec] = std::from_chars(first, last, number);
    if (ec == std::errc::result_out_of_range || end != last || number < option.low || number > option.high) {
        return std::string(option.name) + ": " + text + " is not between " + std::to_string(option.low) + " and " +
               std::to_string(option.high);
    }
    return {};
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
    return seed || distinct || minutes || maxPerArtist || artistGap || m3u || show;
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
        for (const std::string_view command : kCommands) {
            if (word != command) continue;
            // First, it is the command, given too many or too few arguments
            // (the right number never gets here); later, it follows options.
            parsed.error = i > 1 ? word + " stands alone: it takes no options"
                                 : word + " takes " + (word == "--explain" ? "a query filter and at most a math filter"
                                                                           : "no arguments") +
                                       ", and " + arrived(args, 2);
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
        if (option->takes != Takes::nothing) {
            if (i + 1 >= args.size()) {
                parsed.error = word + " needs a value";
                return parsed;
            }
            text = args[++i];
            if (option->takes == Takes::number) {
                parsed.error = readNumber(*option, text, number);
                if (!parsed.error.empty()) return parsed;
            } else if (text.empty()) {
                parsed.error = word + " needs a file name";
                return parsed;
            }
        }
        option->set(parsed.options, number, text);
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

const char* const kOptionsUsage =
    "options, before the arguments (a lone -- ends them):\n"
    "  --seed N            the same library, arguments and N give the same list (N: 0 to 4294967295)\n"
    "  --distinct          modes 1 and 2 and rotation fill COUNT with different songs\n"
    "  --minutes M         the list lasts at most M minutes (1 to 1000000); COUNT 0: no count limit\n"
    "  --max-per-artist N  at most N songs by one artist\n"
    "  --artist-gap N      at least N other songs between two songs by one artist\n"
    "  --m3u FILE          also write the list as an M3U playlist\n"
    "  --show              list the chosen songs on standard output\n"
    "  --threads N         read the library in N parts at once (1 to 64; 1: in one); the list is the same\n";

}  // namespace vantor
