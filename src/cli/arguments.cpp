// Echoing the front end's arguments on standard output and reading them
// into an Arguments record, numbers by atoi's rules.
#include "cli/arguments.h"

#include "text/toolkit.h"

namespace vantor {
namespace {

// The C runtime prints a null text as "(null)"; the front end has always
// seen that for a missing ninth argument.
const char* shown(int argc, const char* const* argv, int index) {
    return index < argc && argv[index] != nullptr ? argv[index] : "(null)";
}

}  // namespace

void echoArguments(int argc, const char* const* argv, std::ostream& out) {
    for (int i = 1; i <= 7; ++i) out << "arg" << i << ": " << shown(argc, argv, i) << "\n";
    out << "arg8: _" << shown(argc, argv, 8) << "_\n";
    out << "arg9: _" << shown(argc, argv, 9) << "_\n";
}

std::optional<Arguments> parseArguments(int argc, const char* const* argv) {
    if (argc < 9) return std::nullopt;
    Arguments a;
    a.dbPath = argv[1];
    a.queryFilter = argv[2];
    a.sortFilter = argv[3];
    a.mathFilter = argv[4];
    a.mode = atoiField(argv[5]);
    a.songCount = atoiField(argv[6]);
    a.removeRepeatsFlag = atoiField(argv[7]);
    a.resultPath = argv[8];
    a.window = argc > 9 && argv[9] != nullptr ? atoiField(argv[9]) : 0;
    return a;
}

}  // namespace vantor
