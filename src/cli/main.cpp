// Entry point: the usage text for people, then the run driver.
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/explain.h"
#include "cli/options.h"
#include "cli/run.h"
#include "platform/console.h"
#include "platform/private_folder.h"
#include "platform/stop_events.h"
#include "support/stop_cleanup.h"

namespace {

constexpr const char* kUsage =
    "usage: vantor [OPTIONS] DATABASE QUERY SORT MATH MODE COUNT NOREPEAT RESULT [WINDOW]\n"
    "       vantor --explain QUERY [MATH]   how the filters are read (opens no database)\n"
    "  DATABASE  MediaMonkey library file (opened read-only)\n"
    "  QUERY     query filter, e.g. \"genre=rock rating>3\" or \"rotate(Rock,Pop)\"\n"
    "  SORT      SQL ordering clause, e.g. \"ORDER BY Year\", or \"\"\n"
    "  MATH      math filter giving each song a score, \"1\" for none\n"
    "  MODE      0 keep with probability = score, 1 weighted draws, 2 top list\n"
    "  COUNT     how many songs modes 1 and 2 (and rotation) produce\n"
    "  NOREPEAT  1 removes repeats\n"
    "  RESULT    file that receives the IDs or one error message\n"
    "  WINDOW    repeats allowed after this many other songs (default 0)\n";

// A command line that cannot run: what is wrong, then how it should read.
int refuse(const std::string& why) {
    if (!why.empty()) std::cerr << "vantor: " << why << "\n";
    std::cerr << kUsage << vantor::optionsUsage();
    return 2;
}

}  // namespace

// Arguments become UTF-8 first. A command, or a command line that cannot
// run, is answered here with status 0 or 2; anything else is a run, which
// the driver ends with status 0 whatever befalls it.
int main(int nativeArgc, char** nativeArgv) {
    std::ios::sync_with_stdio(true);
    vantor::platform::binaryStandardStreams();
    // From here on every argument is UTF-8, on every system.
    const std::vector<std::string> arguments = vantor::platform::utf8Arguments(nativeArgc, nativeArgv);

    switch (vantor::commandOf(arguments)) {
    case vantor::Command::help:
        std::cout << kUsage << vantor::optionsUsage();
        return 0;
    case vantor::Command::version:
        std::cout << "vantor " << VANTOR_VERSION << "\n";
        return 0;
    case vantor::Command::explain:
        vantor::explainFilters(arguments[2],
                               arguments.size() == 4 ? std::optional<std::string>(arguments[3]) : std::nullopt,
                               std::cout);
        return 0;
    case vantor::Command::none:
        break;
    }
    const vantor::ParsedOptions parsed = vantor::parseOptions(arguments);
    if (!parsed.error.empty()) return refuse(parsed.error);
    // The front end's form: the options taken off, argv[1..] are its arguments again.
    const std::vector<std::string> positional(arguments.begin() + static_cast<std::ptrdiff_t>(parsed.firstPositional),
                                              arguments.end());
    if (const auto wrongCount = vantor::argumentCountError(arguments, parsed.firstPositional)) {
        return refuse(*wrongCount);
    }
    if (const std::string conflict = vantor::conflictWithArguments(parsed.options, positional); !conflict.empty()) {
        return refuse(conflict);
    }
    std::vector<const char*> runArgv{arguments[0].c_str()};
    for (const std::string& a : positional) runArgv.push_back(a.c_str());
    runArgv.push_back(nullptr);

    // From here on the run makes files; a stop removes the ones it is making,
    // and what killed runs left goes first.
    vantor::platform::catchStops(vantor::cleanUpAfterStop);
    vantor::platform::removeAbandonedPrivateFolders();

    vantor::MsvcRand rng;
    vantor::RunEnvironment env{std::cout, std::cerr, rng,
                               [] { return static_cast<std::uint32_t>(std::time(nullptr)); },
                               std::filesystem::current_path()};
    return vantor::run(static_cast<int>(runArgv.size()) - 1, runArgv.data(), env, parsed.options);
}
