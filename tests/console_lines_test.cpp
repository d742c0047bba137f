// What a console gets of the standard streams: whole lines, never half a
// character, U+FFFD only for bytes that are no UTF-8, and both streams in the
// order they were written. The writer here records instead of showing.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/console_lines.h"
#include "platform/encoding.h"

using vantor::platform::ConsoleLines;
using Stream = ConsoleLines::Stream;

namespace {

struct Write {
    Stream stream;
    std::u16string text;
    bool operator==(const Write&) const = default;
};

void PrintTo(const Write& w, std::ostream* os) {
    *os << (w.stream == Stream::Output ? "out:" : "err:") << vantor::platform::utf8FromUtf16(w.text);
}

// Both streams in front of a recording writer.
struct Console {
    std::vector<Write> writes;
    bool failing = false;
    ConsoleLines lines{[this](Stream s, std::u16string_view text) {
        writes.push_back({s, std::u16string(text)});
        return !failing;
    }};
    std::ostream out{&lines.buffer(Stream::Output)};
    std::ostream err{&lines.buffer(Stream::Error)};
};

}  // namespace

TEST(ConsoleLines, WholeCharactersHoldBackOnlyASequenceCutOffAtTheEnd) {
    const std::vector<std::pair<std::string, std::size_t>> cases = {
        {"", 0},
        {"Bj\xC3\xB6rk", 6},
        {"Bj\xC3", 2},                            // ö cut after its lead byte
        {"\xE5\xAE", 0},                          // 宇 cut after two of three bytes
        {"\xE5\xAE\x87", 3},
        {"x\xF0\x9F\x8E", 1},                     // a four-byte character (U+1F3B5) cut after three
        {"x\xF0\x9F\x8E\xB5", 5},
        {"x\x80", 2},                             // a stray continuation byte waits for nothing
        {"x\xFF", 2},                             // nor does a byte that starts no sequence
        {"x\xC0", 2},
        {"\xC3\xB6\x80\x80\x80", 5},
    };
    for (const auto& [bytes, whole] : cases) {
        EXPECT_EQ(vantor::platform::wholeCharacters(bytes), whole) << ::testing::PrintToString(bytes);
    }
}

// The system's converter (ICU here, Windows' own there); a case where the two
// would replace differently is no case of this table.
TEST(ConsoleLines, TextBecomesUtf16WithEveryByteThatIsNoUtf8ShownAsReplacement) {
    const std::vector<std::pair<std::string, std::u16string>> cases = {
        {"AC/DC \xE2\x80\x93 Tell Me Tonight", u"AC/DC \u2013 Tell Me Tonight"},
        {"Bj\xC3\xB6rk \xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE", u"Björk Кино"},
        {"\xE5\xAE\x87\xE5\xA4\x9A\xE7\x94\xB0\xE3\x83\x92\xE3\x82\xAB\xE3\x83\xAB", u"宇多田ヒカル"},
        {"\xF0\x9F\x8E\xB5!", u"\U0001F3B5!"},
        {"Bj\xF6rk", u"Bj\uFFFDrk"},  // Latin-1, as an old tag may hold
        {"\x80x\xFF", u"\uFFFDx\uFFFD"},
        {"end\xC3", u"end\uFFFD"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& [bytes, units] : cases) {
        EXPECT_EQ(vantor::platform::utf16Replacing(bytes), units) << ::testing::PrintToString(bytes);
    }
}

TEST(ConsoleLines, ALineWrittenByteByByteReachesTheConsoleInOnePiece) {
    Console c;
    for (const char byte : std::string("Bj\xC3\xB6rk \xE2\x80\x93 J\xC3\xB3ga\n")) c.out << byte;
    c.out << "1\t2\n3\t";
    EXPECT_EQ(c.writes, (std::vector<Write>{{Stream::Output, u"Björk – Jóga\n"}, {Stream::Output, u"1\t2\n"}}));
    c.lines.flush();
    EXPECT_EQ(c.writes.back(), (Write{Stream::Output, u"3\t"}));
}

TEST(ConsoleLines, BothStreamsKeepTheOrderTheyWereWrittenIn) {
    // A failed run: its lines, a reason on stderr, then the message that ends
    // standard output without a line break.
    Console c;
    c.out << "arg1: x\n" << "Unlock: ";
    c.err << "vantor: the query filter is " << "rejected\n";
    c.out << "0\n";
    c.out << "ERROR: Please edit Query Filter";
    c.lines.flush();
    EXPECT_EQ(c.writes, (std::vector<Write>{{Stream::Output, u"arg1: x\n"},
                                            {Stream::Output, u"Unlock: "},
                                            {Stream::Error, u"vantor: the query filter is rejected\n"},
                                            {Stream::Output, u"0\n"},
                                            {Stream::Output, u"ERROR: Please edit Query Filter"}}));
}

TEST(ConsoleLines, AFlushWritesWholeCharactersAndTheEndWritesTheRest) {
    Console c;
    c.out << "Bj\xC3" << std::flush;
    c.out << "\xB6rk\n";
    c.err << "cut \xE5\xAE";
    c.lines.flush();
    EXPECT_EQ(c.writes, (std::vector<Write>{{Stream::Output, u"Bj"},
                                            {Stream::Output, u"örk\n"},
                                            {Stream::Error, u"cut \uFFFD"}}));
}

TEST(ConsoleLines, ALongLineGoesOutInPiecesCutBetweenCharacters) {
    Console c;
    std::string line;
    for (int i = 0; i < 20000; ++i) line += i % 3 == 0 ? "\xE5\xAE\x87" : "\xC3\xA9";  // 宇 and é, unaligned
    for (std::size_t at = 0; at < line.size(); at += 1000) c.out << line.substr(at, 1000);
    c.lines.flush();
    ASSERT_GT(c.writes.size(), 1u);
    std::u16string shown;
    for (const Write& w : c.writes) shown += w.text;
    EXPECT_EQ(shown, vantor::platform::utf16Replacing(line));
    EXPECT_EQ(shown.find(u'\uFFFD'), std::u16string::npos);
}

TEST(ConsoleLines, AConsoleThatCannotBeWrittenFailsTheStream) {
    Console c;
    c.failing = true;
    c.out << "lost\n";
    EXPECT_TRUE(c.out.bad());
}
