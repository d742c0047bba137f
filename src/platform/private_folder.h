// A folder only this process's user may enter, for files the run must not
// leave beside the library, named after the process that makes it so that a
// later run can tell one left by a run that was killed. The system's own
// calls make it; removing it is plain std::filesystem, through nativePath.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantor::platform {

inline constexpr std::string_view kPrivateFolderPrefix = "vantor-copy-";

// A name for a new folder under the system's temporary folder (TMPDIR or
// /tmp on Linux, GetTempPathW on Windows), by the full name SQLite will give
// the files in it: "vantor-copy-PID-START-RANDOM", PID and START this
// process's ID and start time. Not made yet; "" with `error` (the system's
// error number) when there is no temporary folder to name.
std::string newPrivateFolderName(int& error);

// Makes the folder so named, for this user alone: 0 or the system's error
// number (alreadyExists(error): the name is taken, pick another).
int makePrivateFolder(const std::string& name);

// The process that a folder name "vantor-copy-PID-START-..." names, if it is one.
struct FolderMaker {
    std::uint64_t pid = 0, start = 0;
};
inline std::optional<FolderMaker> folderMaker(std::string_view name) {
    if (!name.starts_with(kPrivateFolderPrefix)) return std::nullopt;
    name.remove_prefix(kPrivateFolderPrefix.size());
    FolderMaker maker;
    for (std::uint64_t* number : {&maker.pid, &maker.start}) {
        const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), *number);
        if (ec != std::errc() || end == name.data() || end == name.data() + name.size() || *end != '-') {
            return std::nullopt;
        }
        name.remove_prefix(static_cast<std::size_t>(end - name.data()) + 1);
    }
    return maker;
}

// Removes the folders under the temporary folder that runs of this user
// made and left behind when they were killed: named as above, owned by this
// user, and naming a process that is gone (no process has that ID, or the
// one that has it started at another time). Anything else is left alone, and
// so is everything when this cannot tell. Failures are ignored.
void removeAbandonedPrivateFolders();

}  // namespace vantor::platform
