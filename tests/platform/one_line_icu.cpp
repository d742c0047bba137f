// The set oneLine blanks against ICU's character properties, code point by
// code point: exactly the controls (Cc), the line and paragraph separators
// (Zl, Zp) and whatever Unicode's line breaking counts as a break.
#include <gtest/gtest.h>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <string>

#include "text/one_line.h"

TEST(OneLine, BlanksExactlyWhatUnicodeCountsAsBreaksAndControls) {
    int differences = 0;
    for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
        if (U_IS_SURROGATE(c)) continue;
        const std::int8_t category = u_charType(c);
        const auto lineBreak = static_cast<ULineBreak>(u_getIntPropertyValue(c, UCHAR_LINE_BREAK));
        const bool isBreak = category == U_CONTROL_CHAR || category == U_LINE_SEPARATOR ||
                             category == U_PARAGRAPH_SEPARATOR || lineBreak == U_LB_MANDATORY_BREAK ||
                             lineBreak == U_LB_CARRIAGE_RETURN || lineBreak == U_LB_LINE_FEED ||
                             lineBreak == U_LB_NEXT_LINE;
        char bytes[U8_MAX_LENGTH];
        std::int32_t length = 0;
        U8_APPEND_UNSAFE(bytes, length, c);
        const std::string text = "a" + std::string(bytes, static_cast<std::size_t>(length)) + "b";
        const std::string expected = isBreak ? "a b" : text;
        if (vantor::oneLine(text) != expected && ++differences <= 10) {
            ADD_FAILURE() << "U+" << std::hex << c << (isBreak ? " is a break or control" : " is none");
        }
    }
    EXPECT_EQ(differences, 0);
}
