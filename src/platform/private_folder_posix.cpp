// mkdtemp picks a name no one else holds and makes the folder 0700.
#include "platform/private_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/paths.h"

namespace vantor::platform {

std::string makePrivateFolder(int& error) {
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::temp_directory_path(ec);
    if (ec) {
        error = ec.value();
        return {};
    }
    std::string name = utf8Path(parent / "vantor-copy-XXXXXX");
    if (::mkdtemp(name.data()) == nullptr) {
        error = errno;
        return {};
    }
    // SQLite names files by their resolved path; so must we, to tell ours apart.
    const std::filesystem::path folder = std::filesystem::canonical(nativePath(name), ec);
    if (ec) {
        error = ec.value();
        std::error_code ignored;
        std::filesystem::remove(nativePath(name), ignored);
        return {};
    }
    return utf8Path(folder);
}

}  // namespace vantor::platform
