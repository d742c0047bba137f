// A folder only this process's user may enter, for files the run must not
// leave beside the library. The system's own call makes it; removing it is
// plain std::filesystem, through nativePath.
#pragma once

#include <string>

namespace vantor::platform {

// A new, empty folder under the system's temporary folder (TMPDIR or /tmp on
// Linux, GetTempPathW on Windows), by the full name SQLite will give the
// files in it; "" with `error` (the system's error number) when none can be
// made.
std::string makePrivateFolder(int& error);

}  // namespace vantor::platform
