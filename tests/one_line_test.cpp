// Tags as one line: every control character and every line or paragraph
// separator becomes one blank, and nothing else changes.
#include <gtest/gtest.h>

#include <string>

#include "text/one_line.h"

TEST(OneLine, LineBreaksOfEveryKindBecomeBlanks) {
    struct Case {
        const char* label;
        std::string tag, line;
    };
    const Case cases[] = {
        {"tab, CR, LF", "a\tb\r\nc", "a b  c"},
        {"VT and FF", "a\vb\fc", "a b c"},
        {"NUL, ESC and DEL", std::string("a\0b\x1b" "c\x7f", 6), "a b c "},
        {"NEL U+0085", "Björk\xC2\x85Jóga", "Björk Jóga"},
        {"C1 controls U+0080 and U+009F", "a\xC2\x80" "b\xC2\x9F", "a b "},
        {"LINE SEPARATOR U+2028", "ABBA\xE2\x80\xA8Waterloo", "ABBA Waterloo"},
        {"PARAGRAPH SEPARATOR U+2029", "\xE2\x80\xA9Queen", " Queen"},
        {"a separator at the very end", "Queen\xE2\x80\xA8", "Queen "},
        // Neighbours that are no break stay byte for byte.
        {"U+00A0 and U+00C2 stay", "a\xC2\xA0\xC3\x82", "a\xC2\xA0\xC3\x82"},
        {"U+2027 and U+202A stay", "\xE2\x80\xA7\xE2\x80\xAA", "\xE2\x80\xA7\xE2\x80\xAA"},
        {"en dash and Cyrillic stay", "Кино – Кукушка", "Кино – Кукушка"},
        // Cut sequences and stray bytes are no UTF-8: left as they are.
        {"a cut C2", "a\xC2", "a\xC2"},
        {"a cut E2 80", "a\xE2\x80", "a\xE2\x80"},
        {"a stray 85", "a\x85" "b", "a\x85" "b"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(vantor::oneLine(c.tag), c.line) << c.label;
}
