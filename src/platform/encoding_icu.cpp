// ICU's converters. Linux has no ANSI code page; text from Windows tools
// that is not UTF-8 is taken as Windows-1252, the page of the Western
// languages the host's users most often have.
#include "platform/encoding.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <climits>
#include <memory>

namespace vantor::platform {
namespace {

struct CloseConverter {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, CloseConverter>;

Converter openCodePage(unsigned codePage) {
    for (const std::string& name : {"windows-" + std::to_string(codePage), "cp" + std::to_string(codePage)}) {
        UErrorCode status = U_ZERO_ERROR;
        Converter c(ucnv_open(name.c_str(), &status));
        if (U_SUCCESS(status) && c) return c;
    }
    return nullptr;
}

// ICU takes int32 lengths; longer UTF-8 goes through a piece at a time, cut
// where no character is split.
std::size_t pieceLength(std::string_view bytes) {
    std::size_t n = std::min<std::size_t>(bytes.size(), INT_MAX / 4);
    for (int back = 0; back < 3 && n < bytes.size() && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80; ++back) --n;
    return n;
}

}  // namespace

unsigned ansiCodePage() { return 1252; }

bool isUtf8(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t n = pieceLength(bytes);
        UErrorCode status = U_ZERO_ERROR;
        int32_t units = 0;
        u_strFromUTF8(nullptr, 0, &units, bytes.data(), static_cast<int32_t>(n), &status);
        if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return false;
        bytes.remove_prefix(n);
    }
    return true;
}

std::string utf8FromUtf16(std::u16string_view units) {
    std::string out;
    while (!units.empty()) {
        std::size_t n = std::min<std::size_t>(units.size(), INT_MAX / 4);
        if (n < units.size() && U16_IS_LEAD(units[n - 1])) --n;  // keep a pair together
        UErrorCode status = U_ZERO_ERROR;
        int32_t bytes = 0;
        int32_t substitutions = 0;
        const UChar* src = units.data();
        u_strToUTF8WithSub(nullptr, 0, &bytes, src, static_cast<int32_t>(n), 0xFFFD, &substitutions, &status);
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(bytes));
        status = U_ZERO_ERROR;
        u_strToUTF8WithSub(out.data() + start, bytes, &bytes, src, static_cast<int32_t>(n), 0xFFFD, &substitutions,
                           &status);
        if (U_FAILURE(status)) out.resize(start);
        units.remove_prefix(n);
    }
    return out;
}

std::optional<std::u16string> utf16FromUtf8(std::string_view bytes) {
    // A filter's word or a file name: far below ICU's int32 lengths.
    if (bytes.size() > INT_MAX / 4) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    int32_t units = 0;
    u_strFromUTF8(nullptr, 0, &units, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return std::nullopt;
    std::u16string out(static_cast<std::size_t>(units), u'\0');
    status = U_ZERO_ERROR;
    u_strFromUTF8(out.data(), units, &units, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) return std::nullopt;
    return out;
}

std::u16string utf16Replacing(std::string_view bytes) {
    std::u16string out;
    while (!bytes.empty()) {
        const std::size_t n = pieceLength(bytes);
        UErrorCode status = U_ZERO_ERROR;
        int32_t units = 0;
        u_strFromUTF8WithSub(nullptr, 0, &units, bytes.data(), static_cast<int32_t>(n), 0xFFFD, nullptr, &status);
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(units));
        status = U_ZERO_ERROR;
        u_strFromUTF8WithSub(out.data() + start, units, &units, bytes.data(), static_cast<int32_t>(n), 0xFFFD, nullptr,
                             &status);
        if (U_FAILURE(status)) out.resize(start);
        bytes.remove_prefix(n);
    }
    return out;
}

std::string utf8FromCodePage(std::string_view bytes, unsigned codePage) {
    Converter from = openCodePage(codePage);
    // ICU takes int32 lengths; no settings file comes near half a gigabyte.
    if (!from || bytes.size() > INT_MAX / 4) return std::string(bytes);
    UErrorCode status = U_ZERO_ERROR;
    Converter to(ucnv_open("UTF-8", &status));
    if (U_FAILURE(status)) return std::string(bytes);
    // One byte of a single-byte page is at most three bytes of UTF-8, a pair
    // of a double-byte page at most four.
    std::string out(bytes.size() * 3 + 4, '\0');
    char* target = out.data();
    const char* source = bytes.data();
    ucnv_convertEx(to.get(), from.get(), &target, out.data() + out.size(), &source, bytes.data() + bytes.size(),
                   nullptr, nullptr, nullptr, nullptr, true, true, &status);
    if (U_FAILURE(status)) return std::string(bytes);
    out.resize(static_cast<std::size_t>(target - out.data()));
    return out;
}

}  // namespace vantor::platform
