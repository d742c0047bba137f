// Linux passes arguments as the bytes the caller gave, and its streams never
// translate line ends: nothing to do.
#include "platform/console.h"

namespace vantor::platform {

std::vector<std::string> utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

void binaryStandardStreams() {}

}  // namespace vantor::platform
