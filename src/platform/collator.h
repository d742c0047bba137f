// Text comparison for the stand-ins of the host's collations, from the
// system's own language support: ICU on Linux, CompareStringEx on Windows,
// the closer match to how the host (a Windows program) built its indexes.
// Which collation name gets which kind is decided by the database layer.
#pragma once

namespace vantor::platform {

enum class CollationKind {
    Invariant,   // the language-neutral order
    UserLocale,  // the order of the user's language
    Numeric,     // the neutral order, with digit runs compared by their value
};

// Every kind ignores case, keeps accents and sorts an accented letter beside
// its base letter.
class Collator;

// Nothing when the system cannot give one; the caller then leaves the name unknown.
Collator* openCollator(CollationKind kind);
// Frees what openCollator gave; null is allowed.
void closeCollator(Collator* collator) noexcept;

// strcmp-like results; lengths in bytes (UTF-8) and in code units (UTF-16).
int compareUtf8(Collator& collator, const char* a, int lenA, const char* b, int lenB);
// The same for UTF-16 texts.
int compareUtf16(Collator& collator, const char16_t* a, int lenA, const char16_t* b, int lenB);

}  // namespace vantor::platform
