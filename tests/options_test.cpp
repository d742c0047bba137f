// Options before the front end's arguments: how they are read, how a bad one
// is refused (one line, the usage, status 2, no result file), and --seed.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "demolib/demolib.h"
#include "e2e_library.h"
#include "harness.h"

using namespace vantor;
using namespace vantor::testing;

namespace {

std::vector<std::string> withProgram(std::vector<std::string> args) {
    args.insert(args.begin(), "vantor");
    return args;
}

const std::vector<std::string> kEight{"lib.db", "id>0", "", "1", "1", "5", "0", "out.txt"};

std::vector<std::string> then(std::vector<std::string> options, const std::vector<std::string>& positional = kEight) {
    options.insert(options.end(), positional.begin(), positional.end());
    return options;
}

}  // namespace

TEST(Options, ReadOffTheFrontUpToTheFirstArgument) {
    const ParsedOptions none = parseOptions(withProgram(kEight));
    EXPECT_EQ(none.error, "");
    EXPECT_EQ(none.firstPositional, 1u);
    EXPECT_FALSE(none.options.any());

    const ParsedOptions all = parseOptions(withProgram(then({"--seed", "4294967295", "--distinct", "--minutes", "60",
                                                            "--max-per-artist", "2", "--max-per-album", "3",
                                                            "--artist-gap", "0", "--m3u", "list.m3u", "--show"})));
    ASSERT_EQ(all.error, "");
    EXPECT_EQ(all.firstPositional, 15u);
    EXPECT_EQ(all.options.seed, 4294967295u);
    EXPECT_TRUE(all.options.distinct);
    EXPECT_EQ(all.options.minutes, 60);
    EXPECT_EQ(all.options.maxPerArtist, 2);
    EXPECT_EQ(all.options.maxPerAlbum, 3);
    EXPECT_EQ(all.options.artistGap, 0);
    EXPECT_EQ(all.options.m3u, "list.m3u");
    EXPECT_TRUE(all.options.show);
    EXPECT_TRUE(all.options.any());

    // --threads changes how fast a list comes, not which: such a run is the front end's.
    const ParsedOptions threads = parseOptions(withProgram(then({"--threads", "3"})));
    ASSERT_EQ(threads.error, "");
    EXPECT_EQ(threads.options.threads, 3);
    EXPECT_FALSE(threads.options.any());

    // Both playlist options at once (inside the one, outside the other), the names as typed.
    const ParsedOptions playlists =
        parseOptions(withProgram(then({"--in-playlist", "Rock Classics", "--not-in-playlist", "Bj\xC3\xB6rk"})));
    ASSERT_EQ(playlists.error, "");
    EXPECT_EQ(playlists.options.inPlaylist, "Rock Classics");
    EXPECT_EQ(playlists.options.notInPlaylist, "Bj\xC3\xB6rk");

    // A lone "--" ends the options, so a library whose name starts with "--" can follow.
    const ParsedOptions dashes = parseOptions(withProgram({"--show", "--", "--odd.db", "q"}));
    EXPECT_EQ(dashes.error, "");
    EXPECT_EQ(dashes.firstPositional, 3u);
}

// Every option that shapes the list makes the run tell its seed, alone too;
// --threads never does.
TEST(Options, AnyCountsEveryOptionThatShapesTheList) {
    const std::vector<std::string> shaping[] = {{"--seed", "1"}, {"--distinct"}, {"--minutes", "5"},
                                                {"--max-per-artist", "1"}, {"--max-per-album", "1"},
                                                {"--artist-gap", "0"},
                                                {"--m3u", "list.m3u"}, {"--show"}, {"--in-playlist", "Rock"},
                                                {"--not-in-playlist", "Rock"}};
    for (const std::vector<std::string>& option : shaping) {
        SCOPED_TRACE(option.front());
        const ParsedOptions parsed = parseOptions(withProgram(then(option)));
        ASSERT_EQ(parsed.error, "");
        EXPECT_TRUE(parsed.options.any());
    }
    EXPECT_FALSE(parseOptions(withProgram(then({"--threads", "64"}))).options.any());
}

// A command is one only with as many arguments as it takes; otherwise the
// options' reading says what is wrong.
TEST(Options, CommandsComeWithTheirNumberOfArguments) {
    struct Case {
        std::vector<std::string> args;
        Command command;
    };
    const Case cases[] = {
        {{"--help"}, Command::help},
        {{"--version"}, Command::version},
        {{"--explain", "rock"}, Command::explain},
        {{"--explain", "rock", "rating"}, Command::explain},
        {{"--help", "x"}, Command::none},
        {{"--version", "--seed", "1"}, Command::none},
        {{"--explain"}, Command::none},
        {{"--explain", "a", "b", "c"}, Command::none},
        {{"--seed", "1", "--help"}, Command::none},
        {{}, Command::none},
        {kEight, Command::none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(commandOf(withProgram(c.args)), c.command);
    }
}

// The usage is made from the options' table: every line, column and range
// as people have read it.
TEST(Options, HelpTextByteForByte) {
    TempDir dir;
    const ProcessResult help = runBinary({"--help"}, dir.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out,
              "usage: vantor [OPTIONS] DATABASE QUERY SORT MATH MODE COUNT NOREPEAT RESULT [WINDOW]\n"
              "       vantor --explain QUERY [MATH]   how the filters are read (opens no database)\n"
              "  DATABASE  MediaMonkey library file (opened read-only)\n"
              "  QUERY     query filter, e.g. \"genre=rock rating>3\" or \"rotate(Rock,Pop)\"\n"
              "  SORT      SQL ordering clause, e.g. \"ORDER BY Year\", or \"\"\n"
              "  MATH      math filter giving each song a score, \"1\" for none\n"
              "  MODE      0 keep with probability = score, 1 weighted draws, 2 top list\n"
              "  COUNT     how many songs modes 1 and 2 (and rotation) produce\n"
              "  NOREPEAT  1 removes repeats\n"
              "  RESULT    file that receives the IDs or one error message\n"
              "  WINDOW    repeats allowed after this many other songs (default 0)\n"
              "options, before the arguments (a lone -- ends them):\n"
              "  --seed N                the same library, arguments and N give the same list (N: 0 to 4294967295)\n"
              "  --distinct              modes 1 and 2 and rotation fill COUNT with different songs\n"
              "  --minutes M             the list lasts at most M minutes (1 to 1000000); COUNT 0: no count limit\n"
              "  --max-per-artist N      at most N songs by one artist\n"
              "  --max-per-album N       at most N songs from one album\n"
              "  --artist-gap N          at least N other songs between two songs by one artist\n"
              "  --m3u FILE              also write the list as an M3U playlist\n"
              "  --show                  list the chosen songs on standard output\n"
              "  --threads N             read the library in N parts at once (1 to 64; 1: in one); the list is the same\n"
              "  --in-playlist NAME      only songs of the library's playlist NAME and the playlists within it\n"
              "  --not-in-playlist NAME  no songs of the library's playlist NAME nor of the playlists within it\n");
}

TEST(Options, BadOnesSayWhatIsWrong) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--colour", "lib.db"}, "unknown option --colour"},
        {{"--minutes"}, "--minutes needs a value"},
        {{"--minutes", "abc"}, "--minutes: \"abc\" is not a whole number"},
        {{"--minutes", ""}, "--minutes: \"\" is not a whole number"},
        {{"--minutes", "+5"}, "--minutes: \"+5\" is not a whole number"},
        {{"--minutes", "5x"}, "--minutes: \"5x\" is not a whole number"},
        {{"--minutes", "1.5"}, "--minutes: \"1.5\" is not a whole number"},
        {{"--minutes", "-"}, "--minutes: \"-\" is not a whole number"},
        {{"--minutes", "0"}, "--minutes: 0 is not between 1 and 1000000"},
        {{"--artist-gap", "-1"}, "--artist-gap: -1 is not between 0 and 2147483647"},
        {{"--max-per-artist", "0"}, "--max-per-artist: 0 is not between 1 and 2147483647"},
        {{"--max-per-album", "0"}, "--max-per-album: 0 is not between 1 and 2147483647"},
        {{"--max-per-album", "2147483648"}, "--max-per-album: 2147483648 is not between 1 and 2147483647"},
        {{"--max-per-album", "two"}, "--max-per-album: \"two\" is not a whole number"},
        {{"--max-per-album"}, "--max-per-album needs a value"},
        {{"--seed", "4294967296"}, "--seed: 4294967296 is not between 0 and 4294967295"},
        {{"--threads", "0"}, "--threads: 0 is not between 1 and 64"},
        {{"--threads", "65"}, "--threads: 65 is not between 1 and 64"},
        {{"--seed", "99999999999999999999999"}, "--seed: 99999999999999999999999 is not between 0 and 4294967295"},
        {{"--m3u", ""}, "--m3u needs a file name"},
        {{"--in-playlist"}, "--in-playlist needs a value"},
        {{"--not-in-playlist", ""}, "--not-in-playlist needs a playlist name"},
        {{"--in-playlist", "Rock", "--in-playlist", "Pop"}, "--in-playlist is given twice"},
        {{"--show", "--show"}, "--show is given twice"},
        {{"--seed", "1", "--seed", "2"}, "--seed is given twice"},
        {{"--show", "--explain", "rock"}, "--explain stands alone: it takes no options"},
        {{"--seed", "1", "--help"}, "--help stands alone: it takes no options"},
        // First, a command given the wrong arguments is told so, with what arrived.
        {{"--explain"}, "--explain takes a query filter and at most a math filter, and none arrived"},
        {{"--explain", "a", "b", "c"},
         "--explain takes a query filter and at most a math filter, and 3 arrived:\n  \"a\"\n  \"b\"\n  \"c\""},
        {{"--help", "x"}, "--help takes no arguments, and 1 arrived:\n  \"x\""},
        {{"--version", "--seed", "1"}, "--version takes no arguments, and 2 arrived:\n  \"--seed\"\n  \"1\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(parseOptions(withProgram(c.args)).error, c.error);
    }
}

// Eight or nine arguments, whatever options come first; any other count is
// told with what arrived, one a line between quotes.
TEST(Options, WrongArgumentCountSaysWhatArrived) {
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> error;
    };
    const std::vector<std::string> seven(kEight.begin(), kEight.end() - 1);
    const std::string sevenArrived =
        "7 arrived:\n  \"lib.db\"\n  \"id>0\"\n  \"\"\n  \"1\"\n  \"1\"\n  \"5\"\n  \"0\"";
    std::vector<std::string> ten = kEight;
    ten.insert(ten.end(), {"0", "extra"});
    const Case cases[] = {
        {kEight, std::nullopt},
        {then({}, then(kEight, {"3"})), std::nullopt},
        {then({"--threads", "2"}), std::nullopt},
        {{}, ""},  // a bare "vantor": the usage alone
        {seven, "eight or nine arguments are needed, and " + sevenArrived},
        {then({"--threads", "2"}, seven), "eight or nine arguments follow the options, and " + sevenArrived},
        {then({"--seed", "1", "--"}, seven), "eight or nine arguments follow the options, and " + sevenArrived},
        {then({"--show"}, {}), "eight or nine arguments follow the options, and none arrived"},
        {ten, "eight or nine arguments are needed, and 10 arrived:\n  \"lib.db\"\n  \"id>0\"\n  \"\"\n  \"1\"\n"
              "  \"1\"\n  \"5\"\n  \"0\"\n  \"out.txt\"\n  \"0\"\n  \"extra\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const std::vector<std::string> args = withProgram(c.args);
        const ParsedOptions parsed = parseOptions(args);
        ASSERT_EQ(parsed.error, "");
        EXPECT_EQ(argumentCountError(args, parsed.firstPositional), c.error);
    }
}

// Through the binary: one line naming the option and the problem, then the
// usage, on standard error; status 2; no result file; nothing on stdout.
TEST(Options, RefusedRunsWriteNoResultFile) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    std::vector<std::string> eight = kEight;
    eight[0] = lib;
    struct Case {
        std::vector<std::string> args;
        std::string firstLine;
    };
    const Case cases[] = {
        {then({"--minutes", "abc"}, eight), "vantor: --minutes: \"abc\" is not a whole number\n"},
        {then({"--artist-gap", "-1"}, eight), "vantor: --artist-gap: -1 is not between 0 and 2147483647\n"},
        {then({"--frobnicate"}, eight), "vantor: unknown option --frobnicate\n"},
        {{"--seed"}, "vantor: --seed needs a value\n"},
        {then({"--m3u", "out.txt"}, eight), "vantor: --m3u names the result file\n"},
        {then({"--m3u", "./sub/../out.txt"}, eight), "vantor: --m3u names the result file\n"},
        {then({"--show"}, {lib, "id>0", "", "1"}),
         "vantor: eight or nine arguments follow the options, and 4 arrived:\n"},
        // Without the options that shape the list, too.
        {then({"--threads", "2"}, {lib, "a", "b", "c", "d", "e", "f"}),
         "vantor: eight or nine arguments follow the options, and 7 arrived:\n"},
        // What Windows makes of: lib.db "songpath~\Blues\" "ORDER BY Year" 1 1 5 0 out.txt
        {{lib, "songpath~\\Blues\" ORDER", "BY", "Year 1 1 5 0 out.txt"},
         "vantor: eight or nine arguments are needed, and 4 arrived:\n"},
        {then(eight, {"0", "extra"}), "vantor: eight or nine arguments are needed, and 10 arrived:\n"},
        {{"--explain"}, "vantor: --explain takes a query filter and at most a math filter, and none arrived\n"},
        {{"--help", "x"}, "vantor: --help takes no arguments, and 1 arrived:\n"},
    };
    std::filesystem::create_directories(dir / "sub");
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const ProcessResult p = runBinary(c.args, dir.path());
        EXPECT_EQ(p.status, 2);
        EXPECT_EQ(p.out, "");
        EXPECT_EQ(p.err.substr(0, p.err.find('\n') + 1), c.firstLine);
        // What arrived, one a line between quotes, before the usage.
        const std::string listed = p.err.substr(0, p.err.find("usage:"));
        if (c.firstLine.ends_with(" arrived:\n")) {
            EXPECT_NE(listed.find("\n  \"" + c.args.back() + "\"\n"), std::string::npos) << listed;
        }
        EXPECT_NE(p.err.find("usage: vantor [OPTIONS] DATABASE"), std::string::npos) << p.err;
        EXPECT_NE(p.err.find("--max-per-artist N"), std::string::npos) << p.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
    }
}

// The same seed makes the same list; the seed is told, unmixed, on stderr;
// stdout keeps the front end's lines, and a run without options tells nothing.
TEST(Options, SeedMakesTheListAgain) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::vector<std::string> eight{lib, "id>0", "", "1", "1", "40", "0", "out.txt"};
    const ProcessResult first = runBinary(then({"--seed", "12345"}, eight), dir.path());
    const std::string list = slurp(dir / "out.txt");
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.err, "vantor: seed 12345 (--seed 12345 makes this list again)\n");
    const ProcessResult second = runBinary(then({"--seed", "12345"}, eight), dir.path());
    EXPECT_EQ(slurp(dir / "out.txt"), list);
    EXPECT_EQ(second.out, first.out);
    EXPECT_EQ(runBinary(then({"--seed", "12346"}, eight), dir.path()).status, 0);
    EXPECT_NE(slurp(dir / "out.txt"), list) << "seeds 12345 and 12346 began alike";

    const ProcessResult plain = runBinary(eight, dir.path());
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(plain.out, first.out);  // the options never reach the argN lines

    // Without --seed, the clock read once is what the run tells.
    const ProcessResult told = runBinary(then({"--show"}, eight), dir.path());
    ASSERT_EQ(told.err.rfind("vantor: seed ", 0), 0u) << told.err;
    const std::string seed = told.err.substr(13, told.err.find(' ', 13) - 13);
    const std::string clocked = slurp(dir / "out.txt");
    runBinary(then({"--seed", seed}, eight), dir.path());
    EXPECT_EQ(slurp(dir / "out.txt"), clocked);
}

// In-process, the seed takes the clock's place at both seedings.
TEST(Options, SeedStandsInForTheClock) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::string out = (dir / "out.txt").string();
    const std::vector<std::string> eight{lib, "id>0", "ORDER BY ID DESC", "1", "1", "40", "0", out};
    Options seeded;
    seeded.seed = 99;
    runInProcess(eight, 1, dir.path(), seeded);
    const std::string withSeed = slurp(out);
    runInProcess(eight, 99, dir.path());
    EXPECT_EQ(slurp(out), withSeed) << "--seed 99 and a clock at 99 drew differently";
    runInProcess(eight, 5000, dir.path(), seeded);
    EXPECT_EQ(slurp(out), withSeed) << "the clock still counted";
}

// The library read in parts gives the list, the stdout lines and the song
// outputs of the library read whole, with and without the options' rules.
TEST(Options, ThreadsChangeHowFastNeverWhat) {
    TempDir dir;
    const std::string lib = (dir / "library.db").string();
    demo::GenerateOptions generate;
    generate.songs = 3000;
    demo::generateLibrary(lib, generate);
    const std::string out = (dir / "out.txt").string();
    struct Case {
        std::vector<std::string> eight;
        Options options;
    };
    Options rules;
    rules.seed = 7;
    rules.distinct = true;
    rules.minutes = 90;
    rules.artistGap = 2;
    Options shown;
    shown.show = true;
    const Case cases[] = {
        {{lib, "year>0", "", "(rating*2+playcounter)/(lastplayedage+1)", "0", "0", "0", out}, {}},
        {{lib, "genre like rock", "", "if(playcounter>3,1,0.5)", "1", "200", "1", out, "20"}, {}},
        {{lib, "year>0", "", "anyfield contains love", "2", "100", "0", out}, shown},
        {{lib, "rating>=0", "", "rating", "1", "50", "0", out}, rules},
        {{lib, "year>0", "", "playcounter(", "2", "10", "0", out}, {}},  // every part meets the same error
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.eight));
        const ProcessResult whole = runInProcess(c.eight, 1234, dir.path(), c.options);
        const std::string wholeList = slurp(out);
        Options inParts = c.options;
        inParts.threads = 4;
        const ProcessResult parts = runInProcess(c.eight, 1234, dir.path(), inParts);
        EXPECT_EQ(slurp(out), wholeList);
        EXPECT_EQ(parts.out, whole.out);
        EXPECT_EQ(parts.err, whole.err);
    }
}
