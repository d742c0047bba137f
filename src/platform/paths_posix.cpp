// Linux file names are bytes, and UTF-8 by convention: both ways are copies.
#include "platform/paths.h"

namespace vantor::platform {

std::filesystem::path nativePath(std::string_view utf8) noexcept {
    try {
        return std::filesystem::path(std::string(utf8));
    } catch (...) {
        return {};  // out of memory: a path that names nothing
    }
}

std::string utf8Path(const std::filesystem::path& path) noexcept {
    try {
        return path.native();
    } catch (...) {
        return {};
    }
}

}  // namespace vantor::platform
