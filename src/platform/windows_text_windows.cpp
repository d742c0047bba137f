// The Windows converters take int lengths; longer texts go through in pieces
// cut where no character is split.
#include "platform/windows_text.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace vantor::platform {
namespace {

constexpr std::size_t kPiece = INT_MAX / 4;

// The end of the piece that starts at `from`: before a byte that starts a
// character, so no character is split between two pieces.
std::size_t pieceEnd(std::string_view bytes, std::size_t from, unsigned codePage) {
    std::size_t cut = from + kPiece;
    if (cut >= bytes.size()) return bytes.size();
    // A double-byte code page may have a pair split here, at half a gigabyte
    // into a settings file; single-byte pages cannot.
    if (codePage != CP_UTF8) return cut;
    for (int back = 0; back < 3 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80; ++back) --cut;
    return cut;
}

std::wstring toWide(std::string_view bytes, unsigned codePage) {
    std::wstring out;
    for (std::size_t from = 0; from < bytes.size();) {
        const std::size_t to = pieceEnd(bytes, from, codePage);
        const std::string_view piece = bytes.substr(from, to - from);
        const int n = static_cast<int>(piece.size());
        const int units = MultiByteToWideChar(codePage, 0, piece.data(), n, nullptr, 0);
        if (units <= 0) return out;
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(units));
        MultiByteToWideChar(codePage, 0, piece.data(), n, out.data() + start, units);
        from = to;
    }
    return out;
}

}  // namespace

std::wstring wideFromUtf8(std::string_view utf8) { return toWide(utf8, CP_UTF8); }

std::wstring wideFromCodePage(std::string_view bytes, unsigned codePage) { return toWide(bytes, codePage); }

bool validUtf8(std::string_view bytes) {
    // Asking for the converted length is enough: it fails on the first invalid sequence.
    for (std::size_t from = 0; from < bytes.size();) {
        const std::size_t to = pieceEnd(bytes, from, CP_UTF8);
        const int n = static_cast<int>(to - from);
        if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + from, n, nullptr, 0) <= 0) return false;
        from = to;
    }
    return true;
}

std::string utf8FromWide(std::wstring_view wide) {
    std::string out;
    for (std::size_t from = 0; from < wide.size();) {
        std::size_t to = std::min(wide.size(), from + kPiece);
        if (to < wide.size() && IS_HIGH_SURROGATE(wide[to - 1])) --to;  // keep a pair together
        const std::wstring_view piece = wide.substr(from, to - from);
        const int n = static_cast<int>(piece.size());
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, piece.data(), n, nullptr, 0, nullptr, nullptr);
        if (bytes <= 0) return out;
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(bytes));
        WideCharToMultiByte(CP_UTF8, 0, piece.data(), n, out.data() + start, bytes, nullptr, nullptr);
        from = to;
    }
    return out;
}

std::wstring fullPathName(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) return path;
        const bool fits = n < full.size();
        full.resize(n);
        if (fits) return full;
    }
}

}  // namespace vantor::platform
