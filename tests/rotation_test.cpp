#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "report/run_error.h"
#include "rotate/rotation.h"

using namespace vantor;
using namespace std::string_literals;

namespace {

using Ids = std::vector<std::int64_t>;

// A scratch working directory holding "vantor.ini" and the ID-list files.
class Rotation : public ::testing::Test {
protected:
    vantor::testing::TempDir scratch;

    void file(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories((dir / name).parent_path());
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    // The settings file as the front end writes it: CR LF after every line.
    void ini(std::initializer_list<std::string> lines) {
        std::string text;
        for (const auto& line : lines) text += line + "\r\n";
        file("vantor.ini", text);
    }

    Ids run(const std::string& filter, int count, bool removeRepeats = false, int window = 0) {
        out.str("");
        RotationRequest request;
        request.queryFilter = filter;
        request.songCount = count;
        request.removeRepeats = removeRepeats;
        request.window = window;
        request.workDir = dir;
        return rotatePlaylists(request, out);
    }
    int errorCode(const std::string& filter, int count = 3) {
        try {
            run(filter, count);
        } catch (const RunError& e) {
            return e.code();
        }
        return 0;
    }

    std::filesystem::path dir = scratch.path();
    std::ostringstream out;
};

}  // namespace

TEST_F(Rotation, DealsListsInTurnAndRemovesRepeats) {
    ini({"[vnt]", "node1_name=rock", "node2_name=pop"});
    file("node1", "1,2,3");
    file("node2", "10,20");
    struct Case { int count; bool remove; int window; Ids expected; };
    const Case cases[] = {
        {7, false, 0, {1, 10, 2, 20, 3, 10, 1}},
        {7, true, 0, {1, 10, 2, 20, 3}},
        {7, true, 4, {1, 10, 2, 20, 3, 1}},
        {12, false, 0, {1, 10, 2, 20, 3, 10, 1, 20, 2, 10, 3, 20}},  // more than all lists: they repeat
        {1, false, 0, {1}},
        {0, false, 0, {}},
        {-4, false, 0, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run("rotate(rock,pop)", c.count, c.remove, c.window), c.expected)
            << "count " << c.count << " remove " << c.remove << " window " << c.window;
    }
    EXPECT_EQ(out.str(), "");
}

TEST_F(Rotation, NamesAreCutFromTheLastRotateUpToTheFirstParenthesis) {
    ini({"a_name=rock", "b_name=pop", "c_name= rock", "d_name=pop ", "e_name=hip!hop"});
    file("a", "1,2");
    file("b", "10");
    file("c", "100");
    file("d", "200");
    file("e", "7");
    struct Case { const char* filter; Ids expected; };
    const Case cases[] = {
        {"rotate(rock,pop)", {1, 10, 2, 10}},
        {"artist=abba rotate(rock,pop) & x)y", {1, 10, 2, 10}},
        {"rotate(rock,,pop)", {1, 10, 2, 10}},
        {"rotate(,rock,pop,)", {1, 10, 2, 10}},
        {"rotate(rock,pop", {1, 10, 2, 10}},
        {"rotate(pop) rotate(rock)", {1, 2, 1, 2}},
        {"rotate( rock,pop )", {100, 200, 100, 200}},  // blanks inside belong to the names
        {"rotate(hip!hop)", {7, 7, 7, 7}},              // the driver already turned '-' into '!'
    };
    for (const auto& c : cases) EXPECT_EQ(run(c.filter, 4), c.expected) << c.filter;
}

TEST_F(Rotation, SettingsEntriesAreMatchedWithoutCaseAndFirstOneWins) {
    ini({"Node1_NAME=Rock", "x_name=jazz", "y_name=jazz", "z_name=folk"});
    file("node1", "5");
    file("x", "1");
    file("y", "2");
    file("z", "3");
    EXPECT_EQ(run("rotate(rock)", 2), (Ids{5, 5}));       // file only in lower case: still found
    EXPECT_EQ(run("rotate(jazz,folk)", 2), (Ids{1, 3}));  // duplicate name: the first entry

    file("vantor.ini", "first_name=rock\r\nsecond_name=soul\n");
    file("first", "8");
    EXPECT_EQ(run("rotate(rock)", 1), (Ids{8}));  // first line: path from the start of the file

    // A bare LF or trailing blanks after the name hide the entry.
    EXPECT_EQ(errorCode("rotate(soul)"), code::playlistName);
    ini({"l_name=blues  "});
    EXPECT_EQ(errorCode("rotate(blues)"), code::playlistName);
    // Nothing after a zero byte is read.
    file("vantor.ini", "first_name=rock\r\n\0z_name=folk\r\n"s);
    EXPECT_EQ(run("rotate(rock)", 1), (Ids{8}));
    EXPECT_EQ(errorCode("rotate(folk)"), code::playlistName);
}

TEST_F(Rotation, MissingNameEndsWithErrorSixAfterEarlierListsWereRead) {
    ini({"gone_name=rock", "b_name=pop"});
    file("b", "10");
    EXPECT_EQ(errorCode("rotate(rock,jazz,pop)"), code::playlistName);
    EXPECT_EQ(out.str(), "\n*** Can't open file: gone ***\n");
    EXPECT_EQ(errorCode("rotate(jazz)", 0), code::playlistName);  // looked up even for no songs
}

TEST_F(Rotation, MissingSettingsFileIsReportedThenTheFirstNameFails) {
    EXPECT_EQ(errorCode("rotate(rock)"), code::playlistName);
    EXPECT_EQ(out.str(), "\n*** Can't open file: vantor.ini ***\n");

    EXPECT_EQ(run("rotate()", 3), Ids{});
    EXPECT_EQ(out.str(), "\n*** Can't open file: vantor.ini ***\n");
}

TEST_F(Rotation, UnopenableListIsTheSingleIdZeroReportedOnce) {
    ini({"Lists/Rock.txt_name=rock", "b_name=pop", "_name=soul"});
    file("b", "10");
    EXPECT_EQ(run("rotate(rock,pop)", 4), (Ids{0, 10, 0, 10}));
    EXPECT_EQ(out.str(), "\n*** Can't open file: Lists/Rock.txt ***\n");

    EXPECT_EQ(run("rotate(soul)", 2), (Ids{0, 0}));  // an empty path cannot be opened either
    EXPECT_EQ(out.str(), "\n*** Can't open file:  ***\n");
}

TEST_F(Rotation, ListPathsKeepTheirCapitals) {
    if (vantor::testing::kOnWindows) GTEST_SKIP() << vantor::testing::windows::kNamesIgnoreCase;
    ini({"Lists/Rock.txt_name=rock", "Lists/Pop.txt_name=pop", "Lists/Both.txt_name=both"});
    file("Lists/Rock.txt", "1,2");  // only as written
    file("lists/pop.txt", "10");    // only lower-cased
    file("Lists/Both.txt", "5");
    file("lists/both.txt", "6");  // the path as written is tried first
    EXPECT_EQ(run("rotate(rock,pop,both)", 6), (Ids{1, 10, 5, 2, 10, 5}));
    EXPECT_EQ(out.str(), "");
}

TEST_F(Rotation, ListFilesAreCommaFieldsReadLikeAtoi) {
    ini({"l_name=list"});
    struct Case { std::string bytes; Ids expected; };
    const Case cases[] = {
        {"12,7,301", {12, 7, 301}},
        {"12,7,301\r\n", {12, 7, 301}},
        {"12,7,\r\n", {12, 7, 0}},  // the line end after the last comma is a field
        {"12,7,", {12, 7}},
        {"1,,2", {1, 0, 2}},
        {",5", {0, 5}},
        {" -5,x9,+7z", {-5, 0, 7}},
        {",,,,,,,,", {0, 0, 0, 0, 0, 0, 0, 0}},
        {"1,2\0,3"s, {1, 2}},  // a zero byte ends the text
    };
    for (const auto& c : cases) {
        file("l", c.bytes);
        // Dealing the list twice over shows its exact length.
        Ids twice = c.expected;
        twice.insert(twice.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(run("rotate(list)", static_cast<int>(twice.size())), twice) << c.bytes;
    }
}

TEST_F(Rotation, ListsWithoutIdsGiveUpTheirTurns) {
    ini({"a_name=rock", "b_name=pop", "c_name=jazz", "d_name=none"});
    file("a", "");
    file("b", "10,20");
    file("c", "5");
    file("d", "");
    EXPECT_EQ(run("rotate(rock,pop,none,jazz)", 5), (Ids{10, 5, 20, 5, 10}));
    EXPECT_EQ(run("rotate(rock,none)", 3), Ids{});
    EXPECT_EQ(run("rotate()", 3), Ids{});
    EXPECT_EQ(run("rotate(,,)", 3), Ids{});
    EXPECT_EQ(run("rotate()", 0), Ids{});
}

TEST_F(Rotation, NegativeIdsSurviveRepeatRemoval) {
    ini({"a_name=odd"});
    file("a", "-1,-1,2,-1");
    EXPECT_EQ(run("rotate(odd)", 4, true, 0), (Ids{-1, 2}));
}

namespace {

std::string utf16le(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

}  // namespace

TEST_F(Rotation, SettingsAndListsWrittenByWindowsTools) {
    struct Case {
        const char* label;
        std::string ini, list;
    };
    const Case cases[] = {
        {"UTF-8", "node1_name=Bj\xC3\xB6rk Hits\r\n", "1,2,3"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBFnode1_name=Bj\xC3\xB6rk Hits\r\n", "\xEF\xBB\xBF" "1,2,3"},
        {"UTF-16LE", utf16le(u"[lists]\r\nnode1_name=Bj\u00F6rk Hits\r\n"), utf16le(u"1,2,3\r\n")},
        {"the ANSI code page", "node1_name=Bj\xF6rk Hits\r\n", "1,2,3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        file("vantor.ini", c.ini);
        file("node1", c.list);
        EXPECT_EQ(run("rotate(bj\xC3\xB6rk hits)", 4), (Ids{1, 2, 3, 1}));
        EXPECT_EQ(out.str(), "");
    }
    // A line must still end in CR, whatever the encoding.
    file("vantor.ini", utf16le(u"node1_name=Bj\u00F6rk Hits\n"));
    EXPECT_EQ(errorCode("rotate(bj\xC3\xB6rk hits)"), code::playlistName);
}
