// ICU collators at secondary strength: case is a tertiary difference and so
// ignored, accents are secondary and kept.
#include "platform/collator.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <cstring>
#include <new>

namespace vantor::platform {

class Collator {
public:
    UCollator* icu = nullptr;
};

namespace {

// A byte order keeps comparisons total if ICU ever refuses a pair.
int bytewise(const void* a, int lenA, const void* b, int lenB) {
    const int common = lenA < lenB ? lenA : lenB;
    if (const int c = std::memcmp(a, b, static_cast<std::size_t>(common)); c != 0) return c;
    return (lenA > lenB) - (lenA < lenB);
}

// "" is ICU's root locale. A process left in the C locale has ICU default to
// en_US_POSIX, whose collation orders by case; root is what a user expects there.
const char* localeFor(CollationKind kind) {
    if (kind != CollationKind::UserLocale) return "";
    const char* locale = uloc_getDefault();
    return std::strcmp(locale, "en_US_POSIX") == 0 ? "" : locale;
}

}  // namespace

Collator* openCollator(CollationKind kind) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* icu = ucol_open(localeFor(kind), &status);
    if (U_FAILURE(status)) {
        ucol_close(icu);
        return nullptr;
    }
    ucol_setStrength(icu, UCOL_SECONDARY);
    if (kind == CollationKind::Numeric) ucol_setAttribute(icu, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    Collator* collator = new (std::nothrow) Collator;
    if (collator == nullptr) {
        ucol_close(icu);
        return nullptr;
    }
    collator->icu = icu;
    return collator;
}

void closeCollator(Collator* collator) noexcept {
    if (collator == nullptr) return;
    ucol_close(collator->icu);
    delete collator;
}

int compareUtf8(Collator& collator, const char* a, int lenA, const char* b, int lenB) {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = ucol_strcollUTF8(collator.icu, a, lenA, b, lenB, &status);
    if (U_FAILURE(status)) return bytewise(a, lenA, b, lenB);
    return static_cast<int>(r);
}

int compareUtf16(Collator& collator, const char16_t* a, int lenA, const char16_t* b, int lenB) {
    return static_cast<int>(ucol_strcoll(collator.icu, a, lenA, b, lenB));
}

}  // namespace vantor::platform
