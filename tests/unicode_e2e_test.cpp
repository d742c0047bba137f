// Text beyond ASCII through the built binary. Filters in other scripts select
// the same songs on every system (on Windows they cross a UTF-16 command
// line), standard output carries them as UTF-8 in lines that end in "\n"
// alone, and files with such names are found. Arguments that Windows' quoting
// rules make hard arrive as given.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "db_test_support.h"
#include "fixture_library.h"
#include "harness.h"
#include "platform/paths.h"

using namespace vantor::testing;
using vantor::demo::Layout;

namespace {

const std::string kBjork = "Bj\xC3\xB6rk";                                  // Björk
const std::string kKino = "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE";                  // Кино
const std::string kSakamoto = "\xE5\x9D\x82\xE6\x9C\xAC\xE9\xBE\x8D\xE4\xB8\x80";  // 坂本龍一
const std::string kRyu = "\xE9\xBE\x8D";                                       // 龍
const std::string kSigurRos = "Sigur R\xC3\xB3s";                              // Sigur Rós

std::string library(const TempDir& dir, Layout layout) {
    using vantor::demo::Value;
    const auto song = [](std::int64_t id, const std::string& artist, std::int64_t plays) {
        vantor::demo::FixtureSong s;
        s.id = id;
        s.values = {{"Artist", Value(artist)}, {"SongTitle", Value("Song " + std::to_string(id))},
                    {"PlayCounter", Value(plays)}};
        return s;
    };
    const std::string path = (dir / (layout == Layout::Classic ? "classic.db" : "current.db")).string();
    vantor::demo::LibraryOptions options;
    options.layout = layout;
    vantor::demo::createLibrary(path, options,
                                {song(31, kBjork, 5), song(32, "Bjork", 1), song(33, kKino, 9),
                                 song(34, kSakamoto, 3), song(35, kSigurRos, 7)});
    return path;
}

}  // namespace

class UnicodeRuns : public ::testing::TestWithParam<Layout> {};

TEST_P(UnicodeRuns, FiltersInOtherScriptsSelectTheSameSongs) {
    TempDir dir;
    const std::string lib = library(dir, GetParam());
    struct Case {
        const char* label;
        std::string query, sort, math, mode;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"Latin with an accent", "artist=" + kBjork, "", "1", "0", "31"},
        {"the same without it is another artist", "artist=Bjork", "", "1", "0", "32"},
        {"Cyrillic", "artist=" + kKino, "", "1", "0", "33"},
        {"CJK", "artist=" + kSakamoto, "", "1", "0", "34"},
        {"CJK contained", "artist contains " + kRyu, "", "1", "0", "34"},
        {"a bare word with an accent", "r\xC3\xB3s", "", "1", "0", "35"},
        {"a text comparison in the math filter", "id>0", "", "artist=" + kKino, "0", "33"},
        {"a top list over other scripts", "id>0", "", "playcounter", "2", "33,35,31"},
        // Latin before Cyrillic before CJK, an accent after its plain letter:
        // rules the host's collation and its stand-ins share on every system.
        {"sorted by artist", "id>0", "ORDER BY Artist", "1", "0", "32,31,35,33,34"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ProcessResult p =
            runBinary({lib, c.query, c.sort, c.math, c.mode, "3", "0", "result.txt"}, dir.path());
        EXPECT_EQ(p.status, 0);
        EXPECT_EQ(slurp(dir / "result.txt"), c.expected) << p.err;
        // The filter reaches standard output as the same UTF-8 bytes it was given.
        EXPECT_NE(p.out.find("\narg2: " + c.query + "\n"), std::string::npos) << p.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, UnicodeRuns, ::testing::Values(Layout::Classic, Layout::Current),
                         [](const auto& info) { return std::string(layoutName(info.param)); });

TEST(UnicodeRuns, StandardOutputLinesEndInLineFeedAlone) {
    TempDir dir;
    const std::string lib = library(dir, Layout::Current);
    struct Case {
        const char* label;
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"a run", {lib, "artist=" + kKino, "ORDER BY Artist", "playcounter", "2", "3", "0", "result.txt"}},
        {"a run that fails", {lib, "artist=" + kKino, "", "bpm>fast", "0", "3", "0", "result.txt"}},
        {"--explain", {"--explain", "artist=" + kKino, "if(artist=" + kBjork + ",1,0)"}},
        {"--version", {"--version"}},
        {"--help", {"--help"}},
        {"too few arguments", {lib, "id>0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ProcessResult p = runBinary(c.args, dir.path());
        EXPECT_FALSE(p.out.empty() && p.err.empty());
        EXPECT_EQ(p.out.find('\r'), std::string::npos) << p.out;
        EXPECT_EQ(p.err.find('\r'), std::string::npos) << p.err;
    }
    const ProcessResult explained = runBinary({"--explain", "artist=" + kKino}, dir.path());
    EXPECT_EQ(explained.out.rfind("query filter: artist=" + kKino + "\n", 0), 0u) << explained.out;
}

// Every file a run names, beyond ASCII: the library (and its private copy,
// when a hot journal lies beside it), the result file, the working folder
// with vantor.ini and a list file, and a result path that is the library's
// journal. On Windows also through the program built without its manifest,
// which runs in the system's ANSI code page: a name that went through a
// narrow call there would lose its Cyrillic and CJK letters.
TEST(UnicodeFiles, EveryFileOfARunWithANonAsciiName) {
    using vantor::platform::nativePath;
    TempDir dir;
    const std::string folder = vantor::platform::utf8Path(dir.path()) + "/Musik " + kBjork + " " + kKino;
    std::filesystem::create_directories(nativePath(folder + "/tmp " + kSakamoto));
    const std::string lib = folder + "/" + kSakamoto + ".db";
    vantor::demo::createLibrary(lib, {}, eightSongs());
    const std::string crashed = folder + "/" + kKino + " crashed.db";
    vantor::demo::createLibrary(crashed, {}, eightSongs());
    leaveHotJournal(crashed, "DELETE FROM Songs; CREATE TABLE junk(x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL"
                             " SELECT i+1 FROM n WHERE i<2000) INSERT INTO junk SELECT randomblob(600) FROM n;");
    const std::string crashedBefore = slurp(nativePath(crashed));
    spit(nativePath(folder + "/vantor.ini"), "node1_name=Rock\r\n" + kKino + "_name=" + kBjork + "\r\n");
    spit(nativePath(folder + "/node1"), "5,6");
    spit(nativePath(folder + "/" + kKino), "7,8");
    // The private copy goes into a temporary folder of such a name too.
    const ScopedTmpdir tmpdir(folder + "/tmp " + kSakamoto);

    struct Binary {
        std::string label, path;
    };
    std::vector<Binary> binaries = {{"vantor", vantorBinary()}};
    if (kOnWindows) {
        ASSERT_NE(systemAnsiCodePage(), 65001u) << "the system's ANSI code page is UTF-8: this test could not tell";
        binaries.push_back({"without its manifest, in code page " + std::to_string(systemAnsiCodePage()),
                            builtBeside("vantor-no-manifest")});
    }
    for (const Binary& binary : binaries) {
        SCOPED_TRACE(binary.label);
        RunOptions options;
        options.binary = binary.path;
        const std::string result = folder + "/" + kKino + ".txt";
        ProcessResult p =
            runBinary({lib, "genre=rock", "ORDER BY ID", "1", "0", "3", "0", result}, nativePath(folder), options);
        EXPECT_EQ(p.status, 0);
        EXPECT_EQ(slurp(nativePath(result)), "12,13,16,17") << p.err;
        EXPECT_EQ(p.out.rfind("arg1: " + lib + "\n", 0), 0u) << p.out;

        // A relative result path, and the settings file and lists in the working folder.
        p = runBinary({lib, "rotate(rock," + kBjork + ")", "", "1", "0", "3", "0", kBjork + ".txt"},
                      nativePath(folder), options);
        EXPECT_EQ(p.status, 0);
        EXPECT_EQ(slurp(nativePath(folder + "/" + kBjork + ".txt")), "5,7,6") << p.err << p.out;

        p = runBinary({crashed, "id>0", "ORDER BY ID", "1", "0", "0", "0", result}, nativePath(folder), options);
        EXPECT_EQ(p.status, 0);
        EXPECT_EQ(slurp(nativePath(result)), "11,12,13,14,15,16,17,18") << p.err;

        p = runBinary({crashed, "id>0", "", "1", "0", "0", "0", crashed + "-journal"}, nativePath(folder), options);
        EXPECT_TRUE(p.out.ends_with("Can't write file")) << p.out;
        EXPECT_NE(p.err.find("is the library's rollback journal"), std::string::npos) << p.err;
        EXPECT_TRUE(slurp(nativePath(crashed)) == crashedBefore) << "the library changed";
        EXPECT_TRUE(std::filesystem::is_empty(nativePath(folder + "/tmp " + kSakamoto)));
    }
}

TEST(CommandLine, ArgumentsArriveAsGiven) {
    // What Windows' quoting rules make hard: quotes, backslashes before quotes
    // and at the end, blanks, tabs, empty arguments. The argument lines show
    // each exactly as it arrived.
    TempDir dir;
    const std::vector<std::string> args = {"no such \\ folder\\",
                                           "artist=\"quoted\" and 'single'",
                                           "",
                                           "\\\\server\\share\\\"x\\\"\\\\",
                                           "\t",
                                           "0",
                                           "a b\\\\",
                                           "result \"" + kKino + "\".txt",
                                           kSakamoto + "\\"};
    const ProcessResult p = runBinary(args, dir.path());
    EXPECT_EQ(p.status, 0);
    std::string expected;
    for (std::size_t i = 0; i < 7; ++i) expected += "arg" + std::to_string(i + 1) + ": " + args[i] + "\n";
    expected += "arg8: _" + args[7] + "_\narg9: _" + args[8] + "_\n";
    EXPECT_EQ(p.out.substr(0, expected.size()), expected);
}
