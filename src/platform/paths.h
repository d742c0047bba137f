// File names at the edge of the program. Inside, a path is UTF-8 text;
// outside, it is what the system's file calls take: bytes on Linux, UTF-16
// on Windows, where a narrow name would go through the ANSI code page and
// lose every character that page lacks. Neither helper throws: a name that
// cannot be converted becomes one that cannot be opened, which every caller
// already handles.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vantor::platform {

// UTF-8 text to the system's path. Bytes that are no UTF-8 stand for U+FFFD
// on Windows and for themselves on Linux.
std::filesystem::path nativePath(std::string_view utf8) noexcept;

// The system's path as UTF-8 text, for messages and for the code inside.
std::string utf8Path(const std::filesystem::path& path) noexcept;

}  // namespace vantor::platform
