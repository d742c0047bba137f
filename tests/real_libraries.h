// The two real host libraries kept beside the project (../shared/realdbs),
// never committed. A test reads a copy in a folder of its own, as the
// libraries' triggers fail on any write and nothing may touch the originals;
// without the folder it skips, saying why.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "harness.h"

namespace vantor::testing {

inline constexpr const char* kNoRealLibraries =
    "the real host libraries (../shared/realdbs beside the project) are not here";

// The real library `name` copied into `dir`, or nothing when it is absent.
// The shared folder stands beside the project's root, or beside a folder
// above it when the tree is a work tree of the project.
inline std::optional<std::string> realLibrary(const std::string& name, const TempDir& dir) {
    std::error_code ec;
    fs::path original;
    for (fs::path at = fs::path(VANTOR_SOURCE_DIR); ; at = at.parent_path()) {
        original = at.parent_path() / "shared" / "realdbs" / name;
        if (fs::is_regular_file(original, ec) || at == at.parent_path()) break;
    }
    if (!fs::is_regular_file(original, ec)) return std::nullopt;
    const fs::path copy = dir / name;
    fs::copy_file(original, copy, fs::copy_options::overwrite_existing);
    // The originals may carry no write bits, which a copy keeps: Windows
    // would then refuse to remove it with the test's folder.
    fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
    return copy.string();
}

}  // namespace vantor::testing
