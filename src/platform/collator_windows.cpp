// CompareStringEx, linguistic and ignoring case (LINGUISTIC_IGNORECASE; accents
// stay), with digit runs compared as numbers for the numeric kind. UTF-16
// text goes to the API as it is; UTF-8 text is converted first.
#include "platform/collator.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <string>

#include "platform/windows_text.h"

namespace vantor::platform {

class Collator {
public:
    const wchar_t* locale = LOCALE_NAME_INVARIANT;
    DWORD flags = LINGUISTIC_IGNORECASE;
};

namespace {

// A byte order keeps comparisons total if Windows ever refuses a pair.
int bytewise(const void* a, int lenA, const void* b, int lenB) {
    const int common = lenA < lenB ? lenA : lenB;
    if (const int c = std::memcmp(a, b, static_cast<std::size_t>(common)); c != 0) return c;
    return (lenA > lenB) - (lenA < lenB);
}

int compareWide(const Collator& collator, const wchar_t* a, int lenA, const wchar_t* b, int lenB) {
    const int r = CompareStringEx(collator.locale, collator.flags, a, lenA, b, lenB, nullptr, nullptr, 0);
    if (r == 0) return bytewise(a, lenA * 2, b, lenB * 2);
    return r - CSTR_EQUAL;  // CSTR_LESS_THAN, CSTR_EQUAL, CSTR_GREATER_THAN are 1, 2, 3
}

}  // namespace

Collator* openCollator(CollationKind kind) {
    Collator* collator = new (std::nothrow) Collator;
    if (collator == nullptr) return nullptr;
    if (kind == CollationKind::UserLocale) collator->locale = LOCALE_NAME_USER_DEFAULT;
    if (kind == CollationKind::Numeric) collator->flags |= SORT_DIGITSASNUMBERS;
    return collator;
}

void closeCollator(Collator* collator) noexcept { delete collator; }

int compareUtf8(Collator& collator, const char* a, int lenA, const char* b, int lenB) {
    // SQLite calls this from C: no exception may leave it.
    try {
        const std::wstring wideA = wideFromUtf8(std::string_view(a, static_cast<std::size_t>(lenA)));
        const std::wstring wideB = wideFromUtf8(std::string_view(b, static_cast<std::size_t>(lenB)));
        return compareWide(collator, wideA.data(), static_cast<int>(wideA.size()), wideB.data(),
                           static_cast<int>(wideB.size()));
    } catch (...) {
        return bytewise(a, lenA, b, lenB);
    }
}

int compareUtf16(Collator& collator, const char16_t* a, int lenA, const char16_t* b, int lenB) {
    return compareWide(collator, reinterpret_cast<const wchar_t*>(a), lenA, reinterpret_cast<const wchar_t*>(b),
                       lenB);
}

}  // namespace vantor::platform
