// Conversions to UTF-8 for text that comes from outside in other encodings,
// through the system's own converters (ICU on Linux, Windows' code pages on
// Windows). The rules of which encoding a file is in live elsewhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantor::platform {

// The code page of text that is neither marked nor UTF-8: on Windows the
// system's ANSI code page, or 1252 where that is UTF-8 (so the manifest's
// activeCodePage, or the system's beta option); on Linux 1252.
unsigned ansiCodePage();

// Every byte sequence is well-formed UTF-8 (no overlong forms, no surrogates).
bool isUtf8(std::string_view bytes);

// UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view units);

// Well-formed UTF-8 as UTF-16 code units; nothing for any other bytes.
std::optional<std::u16string> utf16FromUtf8(std::string_view bytes);

// UTF-8 as UTF-16 code units, each ill-formed sequence replaced by U+FFFD:
// for text that is only shown, where a wrong byte must not hide the rest.
std::u16string utf16Replacing(std::string_view bytes);

// Text in a Windows code page (1252, 1251, 932, ...) to UTF-8. A code page
// the system does not know leaves the bytes as they are.
std::string utf8FromCodePage(std::string_view bytes, unsigned codePage);

}  // namespace vantor::platform
