#include "db/private_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <string>

namespace vantor::db {

std::filesystem::path makePrivateFolder(std::error_code& ec) {
    const std::filesystem::path parent = std::filesystem::temp_directory_path(ec);
    if (ec) return {};
    std::string name = (parent / "vantor-copy-XXXXXX").string();
    // mkdtemp picks a name no one else holds and makes the folder 0700.
    if (::mkdtemp(name.data()) == nullptr) {
        ec.assign(errno, std::generic_category());
        return {};
    }
    // SQLite names files by their resolved path; so must we, to tell ours apart.
    std::filesystem::path folder = std::filesystem::canonical(name, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(name, ignored);
        return {};
    }
    return folder;
}

}  // namespace vantor::db
