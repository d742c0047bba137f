// UTF-8 and UTF-16 through Windows' own converters, for the Windows files of
// the platform layer only. Invalid input becomes U+FFFD, as Windows does.
#pragma once

#include <string>
#include <string_view>

namespace vantor::platform {

// UTF-8 as UTF-16.
std::wstring wideFromUtf8(std::string_view utf8);
// UTF-16 as UTF-8.
std::string utf8FromWide(std::wstring_view wide);

// Text in a Windows code page (1252, 1251, 932, ...) as UTF-16.
std::wstring wideFromCodePage(std::string_view bytes, unsigned codePage);

// True when every byte sequence is UTF-8 as Windows reads it strictly.
bool validUtf8(std::string_view bytes);

// The full name of a path as GetFullPathNameW gives it ("." and ".." resolved
// by the text alone, "/" made "\"), which is also how SQLite names files;
// the path itself when the system cannot say.
std::wstring fullPathName(const std::wstring& path);

}  // namespace vantor::platform
