// Windows file names are UTF-16. std::filesystem::path would convert a narrow
// string through the ANSI code page, and throws on what it cannot convert, so
// the conversion is done here, with U+FFFD for what is no UTF-8 (or UTF-16).
#include "platform/paths.h"

#include "platform/windows_text.h"

namespace vantor::platform {

std::filesystem::path nativePath(std::string_view utf8) noexcept {
    try {
        return std::filesystem::path(wideFromUtf8(utf8));
    } catch (...) {
        return {};  // out of memory: a path that names nothing
    }
}

std::string utf8Path(const std::filesystem::path& path) noexcept {
    try {
        return utf8FromWide(path.native());
    } catch (...) {
        return {};
    }
}

}  // namespace vantor::platform
