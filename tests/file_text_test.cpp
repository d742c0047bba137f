// Settings and list files as Windows tools write them become UTF-8, with
// their line ends untouched. The same table holds on Linux and on Windows.
#include <gtest/gtest.h>

#include <string>

#include "platform/encoding.h"
#include "text/file_text.h"

using namespace vantor;

namespace {

// UTF-16 code units as bytes, in either order.
std::string utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes;
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

const std::string kUtf8 = "node1_name=Bj\xC3\xB6rk\r\na\rb\n";

}  // namespace

TEST(FileText, EncodingsBecomeUtf8WithLineEndsKept) {
    const std::u16string wide = u"node1_name=Bj\u00F6rk\r\na\rb\n";
    struct Case {
        const char* label;
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"ASCII", "rock_name=Rock\r\n", "rock_name=Rock\r\n"},
        {"UTF-8", kUtf8, kUtf8},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + kUtf8, kUtf8},
        {"a byte-order mark alone", "\xEF\xBB\xBF", ""},
        {"UTF-16LE with a byte-order mark", "\xFF\xFE" + utf16(wide, false), kUtf8},
        {"UTF-16BE with a byte-order mark", "\xFE\xFF" + utf16(wide, true), kUtf8},
        {"UTF-16 beyond the first plane", "\xFF\xFE" + utf16(u"\U0001F3B5,\u5742", false),
         "\xF0\x9F\x8E\xB5,\xE5\x9D\x82"},
        {"UTF-16 with an unpaired surrogate", "\xFF\xFE" + utf16(u"a\xD800" u"b", false),
         "a\xEF\xBF\xBD" "b"},
        {"UTF-16 with an odd last byte", "\xFF\xFE" + utf16(u"ab", false) + "c", "ab\xEF\xBF\xBD"},
        {"UTF-16 keeps a zero character", "\xFF\xFE" + utf16(std::u16string(u"a\0b", 3), false),
         std::string("a\0b", 3)},
        {"Windows-1252", "node1_name=Bj\xF6rk\r\na\rb\n", kUtf8},
        {"Windows-1252 has the euro sign where Latin-1 has a control", "\x80 \x9C", "\xE2\x82\xAC \xC5\x93"},
        {"invalid UTF-8 is Windows-1252", "\xC3\x28", "\xC3\x83("},
        {"an overlong form is no UTF-8", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"an encoded surrogate is no UTF-8", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
    };
    for (const Case& c : cases) EXPECT_EQ(fileTextToUtf8(c.bytes, 1252), c.expected) << c.label;
}

TEST(FileText, TextThatIsNoUtf8IsReadInTheGivenCodePage) {
    EXPECT_EQ(fileTextToUtf8("\xCA\xE8\xED\xEE", 1251), "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE");  // Кино
    EXPECT_EQ(fileTextToUtf8("\xCA\xE8\xED\xEE", 1252), "\xC3\x8A\xC3\xA8\xC3\xAD\xC3\xAE");  // Êèíî
    // UTF-8 wins over the code page whenever the bytes are UTF-8.
    EXPECT_EQ(fileTextToUtf8("\xD0\x9A", 1251), "\xD0\x9A");
}

TEST(FileText, AnsiCodePageIsNeverUtf8) {
    // The manifest makes a Windows process's ANSI code page UTF-8; text that is
    // not UTF-8 must then still be read in a page that can hold any byte.
    const unsigned page = platform::ansiCodePage();
    EXPECT_NE(page, 65001u);
    if (page == 1252) {
        EXPECT_EQ(fileTextToUtf8("Bj\xF6rk"), "Bj\xC3\xB6rk");
    }
}
