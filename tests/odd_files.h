// The files each system has that are no plain files, for the odd-files
// tests: Linux has FIFOs, folders, devices and sockets; Windows has folders
// and device names (NUL, CON, COM1, ...), which name a device in any folder
// and with any extension. Each system's table is in tests/platform.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantor::testing {

struct OddFile {
    const char* label;
    const char* reason;  // what standard error says it is
    // The name it has in the test folder. A device name is odd by its name
    // alone: nothing is made, and it cannot stand for vantor.ini.
    std::string name;
    std::function<void(const std::filesystem::path&)> make;  // makes it at that path; empty for a device name
};

std::vector<OddFile> oddFiles();

// A list file that is there but cannot be read, as the settings file names
// it, and why; `hold` keeps what stops the read alive for the run. `skip`
// says why this system cannot show it, if it cannot.
struct UnreadableFile {
    const char* label;
    std::string name;
    std::string reason;
    std::shared_ptr<void> hold;
    std::string skip;
};

std::vector<UnreadableFile> unreadableFiles(const std::filesystem::path& dir);

}  // namespace vantor::testing
