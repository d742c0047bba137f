// Turning the bytes of a settings or list file into UTF-8, by its
// byte-order mark or by trying UTF-8 before the code page.
#include "text/file_text.h"

#include <utility>

#include "platform/encoding.h"

namespace vantor {
namespace {

// An odd last byte is half a code unit: it becomes U+FFFD, as an unpaired
// surrogate does, rather than vanishing.
std::string utf8FromUtf16Bytes(std::string_view bytes, bool bigEndian) {
    std::u16string units;
    units.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first)));
    }
    if (bytes.size() % 2 != 0) units.push_back(u'\uFFFD');
    return platform::utf8FromUtf16(units);
}

}  // namespace

std::string fileTextToUtf8(std::string bytes, unsigned ansiCodePage) {
    const std::string_view view = bytes;
    if (view.starts_with("\xEF\xBB\xBF")) return std::move(bytes.erase(0, 3));
    if (view.starts_with("\xFF\xFE")) return utf8FromUtf16Bytes(view.substr(2), false);
    if (view.starts_with("\xFE\xFF")) return utf8FromUtf16Bytes(view.substr(2), true);
    if (platform::isUtf8(view)) return bytes;
    return platform::utf8FromCodePage(view, ansiCodePage);
}

std::string fileTextToUtf8(std::string bytes) { return fileTextToUtf8(std::move(bytes), platform::ansiCodePage()); }

}  // namespace vantor
