// The command line as the front end passes it: eight positional arguments
// and an optional ninth, numbers parsed like atoi without validation.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace vantor {

struct Arguments {
    std::string dbPath;
    std::string queryFilter;
    std::string sortFilter;
    std::string mathFilter;
    int mode = 0;
    int songCount = 0;
    int removeRepeatsFlag = 0;  // only exactly 1 switches repeat removal on
    std::string resultPath;
    int window = 0;             // 0 when the ninth argument is absent
};

// The nine "argN:" lines, printed before anything is parsed.
void echoArguments(int argc, const char* const* argv, std::ostream& out);

// Needs at least eight arguments after the program name.
std::optional<Arguments> parseArguments(int argc, const char* const* argv);

}  // namespace vantor
