// The committed case-folding table against the system's ICU, code point by
// code point: the Windows build has no ICU and folds by the table alone.
#include <gtest/gtest.h>

#include <unicode/uchar.h>

#include "text/case_fold.h"

TEST(CaseFoldTable, AgreesWithIcuOnEveryCodePoint) {
    int differences = 0;
    for (std::int32_t c = 0; c <= 0x10FFFF; ++c) {
        const std::int32_t icu = u_foldCase(c, U_FOLD_CASE_DEFAULT);
        if (vantor::foldCodePoint(c) != icu && ++differences <= 10) {
            ADD_FAILURE() << "U+" << std::hex << c << ": table " << vantor::foldCodePoint(c) << ", ICU " << icu
                          << " (run scripts/gen-case-fold.sh)";
        }
    }
    EXPECT_EQ(differences, 0);
}
