// A folder only this process's user may enter, for files the run must not
// leave beside the library. The platform's own call makes it (a Windows twin
// of the POSIX file sits beside it); removing it is plain std::filesystem.
#pragma once

#include <filesystem>
#include <system_error>

namespace vantor::db {

// A new, empty folder of mode 0700 under the system's temporary folder, by
// its canonical path; empty with `ec` set when none can be made.
std::filesystem::path makePrivateFolder(std::error_code& ec);

}  // namespace vantor::db
