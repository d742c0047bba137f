// vantor-demo: writes demo libraries in the host's file format, and shows a
// result file as artists and titles. A tool for people; the program itself
// never calls it.
#include <charconv>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "demolib/demolib.h"
#include "platform/console.h"

namespace {

constexpr const char* kUsage =
    "usage: vantor-demo [--layout current|classic] [--songs N] [--seed S] [--utf8] [--stats stale|fresh|none]\n"
    "                   OUT.db\n"
    "       vantor-demo --show DB RESULTFILE\n";

int usage() {
    std::cerr << kUsage;
    return 2;
}

template <typename Int>
bool parseNumber(std::string_view text, Int& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

int show(const std::string& db, const std::string& resultFile) {
    vantor::demo::showResult(db, resultFile, std::cout);
    return 0;
}

int generate(const std::vector<std::string>& argv) {
    vantor::demo::GenerateOptions options;
    options.playlists = true;  // for people to try --in-playlist on
    std::string out;
    const std::size_t argc = argv.size();
    for (std::size_t i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--layout" && hasValue) {
            const std::string_view v = argv[++i];
            if (v == "current") options.layout = vantor::demo::Layout::Current;
            else if (v == "classic") options.layout = vantor::demo::Layout::Classic;
            else return usage();
        } else if (arg == "--songs" && hasValue) {
            if (!parseNumber(argv[++i], options.songs) || options.songs < 0) return usage();
        } else if (arg == "--seed" && hasValue) {
            if (!parseNumber(argv[++i], options.seed)) return usage();
        } else if (arg == "--stats" && hasValue) {
            const std::string_view v = argv[++i];
            if (v == "stale") options.statistics = vantor::demo::Statistics::Stale;
            else if (v == "fresh") options.statistics = vantor::demo::Statistics::Fresh;
            else if (v == "none") options.statistics = vantor::demo::Statistics::None;
            else return usage();
        } else if (arg == "--utf8") {
            options.utf16 = false;
        } else if (arg.starts_with("-") || !out.empty()) {
            return usage();
        } else {
            out = arg;
        }
    }
    if (out.empty()) return usage();

    const auto start = std::chrono::steady_clock::now();
    vantor::demo::generateLibrary(out, options);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const bool classic = options.layout == vantor::demo::Layout::Classic;
    const char* statistics = classic || options.statistics == vantor::demo::Statistics::None ? "no statistics"
                             : options.statistics == vantor::demo::Statistics::Fresh       ? "fresh statistics"
                                                                                           : "stale statistics";
    std::cout << "wrote " << options.songs << " songs to " << out << " (" << (classic ? "classic" : "current")
              << " layout, " << (classic || !options.utf16 ? "UTF-8" : "UTF-16le") << ", seed " << options.seed
              << ", " << statistics << ") in " << took.count() << " s\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    vantor::platform::binaryStandardStreams();
    const std::vector<std::string> arguments = vantor::platform::utf8Arguments(argc, argv);
    try {
        if (arguments.size() >= 2 && arguments[1] == "--show") {
            return arguments.size() == 4 ? show(arguments[2], arguments[3]) : usage();
        }
        return generate(arguments);
    } catch (const std::exception& e) {
        std::cerr << "vantor-demo: " << e.what() << '\n';
        return 1;
    }
}
