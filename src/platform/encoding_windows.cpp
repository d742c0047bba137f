// Windows' own code-page tables and UTF converters.
#include "platform/encoding.h"

#include <windows.h>

#include "platform/windows_text.h"

namespace vantor::platform {

unsigned ansiCodePage() {
    const unsigned acp = GetACP();
    return acp == CP_UTF8 ? 1252 : acp;
}

bool isUtf8(std::string_view bytes) { return validUtf8(bytes); }

std::string utf8FromUtf16(std::u16string_view units) {
    return utf8FromWide(std::wstring_view(reinterpret_cast<const wchar_t*>(units.data()), units.size()));
}

std::optional<std::u16string> utf16FromUtf8(std::string_view bytes) {
    if (!validUtf8(bytes)) return std::nullopt;
    const std::wstring wide = wideFromUtf8(bytes);
    return std::u16string(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
}

std::u16string utf16Replacing(std::string_view bytes) {
    const std::wstring wide = wideFromUtf8(bytes);
    return std::u16string(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
}

std::string utf8FromCodePage(std::string_view bytes, unsigned codePage) {
    if (!IsValidCodePage(codePage)) return std::string(bytes);
    return utf8FromWide(wideFromCodePage(bytes, codePage));
}

}  // namespace vantor::platform
