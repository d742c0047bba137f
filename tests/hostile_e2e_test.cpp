// Whatever a user types or a library holds, the built binary ends with exit
// status 0 and a result file holding either IDs or one of its messages; it
// never writes the library. Each test is one kind of hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "db/connection.h"
#include "e2e_library.h"
#include "harness.h"

using namespace vantor::testing;

namespace {

constexpr std::size_t kMiB = 1024 * 1024;


struct Outcome {
    int status = -1;
    std::string result;  // the result file's bytes; "<none>" when there is none
    std::string out, err;
};

// `args` are the command line without the result path: arguments 1 to 7 and
// optionally the window; the result file goes in as argument 8.
Outcome runVantor(const TempDir& dir, std::vector<std::string> args, std::size_t memoryLimit = 0) {
    const fs::path result = dir / "result.txt";
    fs::remove(result);
    args.insert(args.begin() + 7, result.string());
    RunOptions options;
    options.memoryLimitBytes = memoryLimit;
    const ProcessResult p = runBinary(args, dir.path(), options);
    return {p.status, fs::exists(result) ? slurp(result) : "<none>", p.out, p.err};
}

// The same, with the run driver in this process.
Outcome runInProcessFor(const TempDir& dir, std::vector<std::string> args) {
    const fs::path result = dir / "result.txt";
    fs::remove(result);
    args.insert(args.begin() + 7, result.string());
    const ProcessResult p = runInProcess(args, 7, dir.path());
    return {p.status, fs::exists(result) ? slurp(result) : "<none>", p.out, p.err};
}

// The only forms a result file may take: IDs joined by commas, or one message.
bool isWellFormedResult(const std::string& text) {
    static const std::regex ids("(-?[0-9]+(,-?[0-9]+)*)?");
    static const std::regex db("DATABASE OPENING ERROR: .* bug report -?[0-9]+");
    for (const char* m : {"ERROR: Field in Math Filter not recognized", "ERROR: Please edit Query Filter",
                          "ERROR: Please edit Math Filter", "ERROR: Please edit Sort Field Filter.",
                          "ERROR: A VNT playlist name you entered doesn't exist."}) {
        if (text == m) return true;
    }
    return std::regex_match(text, ids) || std::regex_match(text, db);
}

std::vector<int> idsOf(const std::string& csv) {
    std::vector<int> ids;
    std::size_t i = 0;
    while (i < csv.size()) {
        std::size_t end = csv.find(',', i);
        if (end == std::string::npos) end = csv.size();
        ids.push_back(std::stoi(csv.substr(i, end - i)));
        i = end + 1;
    }
    return ids;
}

std::string repeated(const std::string& piece, std::size_t bytes) {
    std::string out;
    out.reserve(bytes + piece.size());
    while (out.size() < bytes) out += piece;
    return out;
}

// execve refuses a single argument longer than 32 pages (128 KiB) on Linux; a
// Windows command line holds 32,767 characters in all, shared by two filters.
constexpr std::size_t kLargestArgument = kOnWindows ? 16000 - 1 : 128 * 1024 - 1;

}  // namespace

TEST(HostileInput, MegabyteFiltersEndInAMessageOrIds) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::string before = slurp(lib);

    // A filter of `bytes` made of a repeated piece and a tail.
    struct Filter {
        std::string piece, tail;
        std::string of(std::size_t bytes) const {
            return piece.empty() ? tail : repeated(piece, bytes - tail.size() - piece.size()) + tail;
        }
    };
    struct Case {
        const char* label;
        Filter query, math;
        std::string mode;
        std::string expected;
    };
    const std::vector<Case> cases = {
        // 10^5 conditions joined by "and" are deeper than SQLite parses.
        {"query", {"year>1990 ", ""}, {"", "1"}, "0", "ERROR: Please edit Query Filter"},
        {"math", {"", "id>0"}, {"playcounter+", "1"}, "2", "12,11,13"},
        {"nested math", {"", "id>0"}, {"(", "1"}, "2", "ERROR: Please edit Math Filter"},
    };
    // A command line cannot carry a megabyte, so the run driver takes it in
    // process; the binary gets the largest argument the system passes.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path result = dir / "in-process.txt";
        const ProcessResult p = runInProcess(
            {lib, c.query.of(kMiB), "", c.math.of(kMiB), c.mode, "3", "0", result.string()}, 7, dir.path());
        EXPECT_EQ(p.status, 0);
        EXPECT_EQ(slurp(result), c.expected);

        const Outcome o = runVantor(
            dir, {lib, c.query.of(kLargestArgument), "", c.math.of(kLargestArgument), c.mode, "3", "0"});
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, c.expected);
    }
    EXPECT_EQ(slurp(lib), before);
}

TEST(HostileInput, TenThousandTokens) {
    if (kOnWindows) GTEST_SKIP() << windows::kCommandLineLimit;
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    // Ten thousand words: ten thousand any-field searches, too deep for SQLite.
    Outcome o = runVantor(dir, {lib, repeated("rock ", 5 * 10000), "", "1", "0", "3", "0"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.result, "ERROR: Please edit Query Filter");
    EXPECT_NE(o.err.find("Expression tree is too large"), std::string::npos) << o.err.substr(0, 300);

    // Ten thousand math tokens, name and operator in turn: scored as usual.
    o = runVantor(dir, {lib, "id>0", "", repeated("playcounter+", 12 * 5000) + "1", "2", "3", "0"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.result, "12,11,13");
    EXPECT_NE(o.out.find("toki: 10000\n"), std::string::npos);
}

namespace {

std::string libraryWithBytesAbove127(const TempDir& dir) {
    const std::string lib = (dir / "lib.db").string();
    buildLibrary(lib, classicSongsTable(),
                 {"INSERT INTO songs(ID,Artist,PlayCounter) VALUES(21,'Beyonc\xC3\xA9',3),(22,'Bj\xC3\xB6rk',4),"
                  "(23,'bad \xFF\xFE bytes',5)"});
    return lib;
}

struct FilterCase {
    const char* label;
    std::string query, math;
    std::string expected;
};

void expectResults(const TempDir& dir, const std::string& lib, const std::vector<FilterCase>& cases) {
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.label);
        const Outcome o = runVantor(dir, {lib, c.query, "", c.math, "0", "3", "0"});
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, c.expected);
    }
}

}  // namespace

TEST(HostileInput, BytesAbove127) {
    TempDir dir;
    expectResults(dir, libraryWithBytesAbove127(dir),
                  {{"utf-8 word", "beyonc\xC3\xA9", "1", "21"},
                   {"utf-8 value", "artist='Bj\xC3\xB6rk'", "1", "22"}});
}

TEST(HostileInput, InvalidUtf8) {
    if (kOnWindows) GTEST_SKIP() << windows::kInvalidUtf8;
    TempDir dir;
    expectResults(dir, libraryWithBytesAbove127(dir),
                  {{"invalid utf-8 in the query", "artist~'\xFF\xFE'", "1", "23"},
                   {"lone continuation bytes", "\x80\x80 \xC3", "1", ""},
                   {"invalid utf-8 compared in the math filter", "id>0", "artist~'\xFF'", "23"},
                   // A bare word of other bytes is a name like any other, and no field.
                   {"bytes above 127 as a name", "id>0", "playcounter>\xE9t\xE9",
                    "ERROR: Field in Math Filter not recognized"}});
}

TEST(HostileInput, QuoteInsideAValueIsRefusedNotRun) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const Outcome o = runVantor(dir, {lib, "artist='don't stop'", "", "1", "0", "3", "0"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.result, "ERROR: Please edit Query Filter");
    // Standard error shows SQLite's reason and the statement it refused.
    EXPECT_NE(o.err.find("syntax error"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("SELECT ID FROM songs WHERE artist LIKE 'don't stop'"), std::string::npos) << o.err;
}

TEST(HostileInput, StatementsAfterTheSortFilterAreNeverRun) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::string before = slurp(lib);
    for (const std::string sort : {"; DELETE FROM songs", "ORDER BY Artist; DELETE FROM songs",
                                   "ORDER BY Artist; DROP TABLE songs", "; ATTACH DATABASE 'other.db' AS other",
                                   "; PRAGMA journal_mode=WAL", "ORDER BY Artist; CREATE TABLE t(a)"}) {
        for (const std::string mode : {"0", "1"}) {  // mode 1 also runs the sort query
            SCOPED_TRACE(sort + " in mode " + mode);
            const Outcome o = runVantor(dir, {lib, "id>0", sort, "1", mode, "2", "0"});
            EXPECT_EQ(o.status, 0);
            EXPECT_TRUE(o.result == "11,12,13" || mode == "1") << o.result;
            EXPECT_EQ(idsOf(o.result).size(), mode == "0" ? 3u : 2u) << o.result;
        }
    }
    EXPECT_EQ(slurp(lib), before);
    EXPECT_FALSE(fs::exists(dir / "other.db"));
    EXPECT_FALSE(fs::exists(lib + "-wal"));
    EXPECT_FALSE(fs::exists(lib + "-journal"));
}

TEST(HostileInput, ResultPathInAMissingFolder) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::string result = (dir / "missing" / "result.txt").string();
    for (const std::string query : {"id>0", "artist='don't'"}) {  // IDs and an error alike
        SCOPED_TRACE(query);
        const ProcessResult p = runBinary({lib, query, "", "1", "0", "3", "0", result}, dir.path());
        EXPECT_EQ(p.status, 0);
        EXPECT_TRUE(p.out.ends_with("Can't write file")) << p.out.substr(p.out.size() - 100);
        EXPECT_NE(p.err.find("cannot write the result file " + result), std::string::npos) << p.err;
        EXPECT_FALSE(fs::exists(dir / "missing"));
    }
}

TEST(HostileInput, ResultPathThatNamesTheLibraryLeavesItAlone) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::string before = slurp(lib);
    // The same file by another spelling, after a success and after an error.
    for (const std::string query : {"id>0", "artist='don't'"}) {
        SCOPED_TRACE(query);
        const ProcessResult p = runBinary({lib, query, "", "1", "0", "3", "0", "./lib.db"}, dir.path());
        EXPECT_EQ(p.status, 0);
        EXPECT_TRUE(p.out.ends_with("Can't write file")) << p.out.substr(p.out.size() - 100);
        EXPECT_NE(p.err.find("the result file ./lib.db is the library"), std::string::npos) << p.err;
        EXPECT_EQ(slurp(lib), before);
    }
}

TEST(HostileInput, EndlessQueryStopsAtTheTimeLimit) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::string endless = "(WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c) SELECT max(x) FROM c)";
    struct Case {
        const char* label;
        std::string sort;
    };
    const std::vector<Case> cases = {
        {"before the first row", "ORDER BY " + endless},
        // Two rows come back before the third never ends: they are no result.
        {"after two rows", "AND (ID<13 OR " + endless + ">0)"},
    };
    const auto limit = vantor::db::timeLimit();
    vantor::db::setTimeLimit(std::chrono::milliseconds(300));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path result = dir / "result.txt";
        const ProcessResult p = runInProcess({lib, "id>0", c.sort, "1", "0", "3", "0", result.string()}, 7, dir.path());
        EXPECT_EQ(p.status, 0);
        EXPECT_EQ(slurp(result), kDatabaseMessage + "6009");
        EXPECT_NE(p.err.find("interrupted after the time limit"), std::string::npos) << p.err;
    }
    vantor::db::setTimeLimit(limit);
}

// A step that fails after rows came back ends the run like a first step does,
// and a failure is blamed on what caused it. Over the three songs, rows 11
// and 12 pass before 13 meets the failure.
TEST(HostileInput, FailedStepsAreNeverPassedOffAsTheResult) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::string overflow = "abs(ID-ID-9223372036854775807-1)";  // SQLite's "integer overflow"
    const std::string longWord(50001, 'x');                             // one byte over SQLite's LIKE limit
    struct Case {
        const char* label;
        std::string query, sort, mode, count;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"the selection query, after two rows", "id>0", "AND (ID<13 OR " + overflow + ")", "0", "3",
         kDatabaseMessage + "6001"},
        {"with scoring, after two rows", "id>0", "AND (ID<13 OR " + overflow + ")", "2", "3",
         kDatabaseMessage + "6001"},
        {"a search word over the LIKE limit, at the first row", "artist='" + longWord + "'", "", "0", "3",
         "ERROR: Please edit Query Filter"},
        {"a search word over the LIKE limit, after two rows", "id<13 or artist='" + longWord + "'", "", "0", "3",
         "ERROR: Please edit Query Filter"},
        {"a LIKE pattern over the limit in the sort filter", "id<13", "OR artist LIKE '" + longWord + "'", "0", "3",
         "ERROR: Please edit Sort Field Filter."},
        // The selection query passes every row on its first condition; the
        // sort query meets the overflow on the two songs that were not drawn.
        {"the sort query", "id>0", "OR " + overflow + " ORDER BY Year", "1", "1", kDatabaseMessage + "8501"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<std::string> args = {lib, c.query, c.sort, c.mode == "2" ? "playcounter" : "1", c.mode,
                                               c.count, "0"};
        // Windows: command lines are limited to 32,767 characters, so a
        // filter past the LIKE limit goes to the run driver in-process there.
        const bool tooLong = kOnWindows && c.query.size() + c.sort.size() > 32000;
        const Outcome o = tooLong ? runInProcessFor(dir, args) : runVantor(dir, args);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, c.expected) << o.err.substr(0, 300);
    }
}

TEST(HostileInput, LibrariesThatCannotBeRead) {
    TempDir dir;
    fs::create_directories(dir / "folder.db");
    spit(dir / "empty.db", "");
    spit(dir / "text.db", repeated("this is no database\n", 4096));
    struct Case {
        const char* file;
        std::string code;
        const char* why;
    };
    const std::vector<Case> cases = {
        // SQLite's Windows layer cannot open a folder at all; its Unix layer
        // would open one and fail at the first read, so it is refused first.
        {"folder.db", "514", "unable to open database file (it is a folder, not a library file)"},
        {"absent.db", "514", "unable to open database file (there is no such file)"},
        {"empty.db", "1501", "no such table: songs"},
        {"text.db", "1526", "file is not a database"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = (dir / c.file).string();
        const std::string before = fs::is_regular_file(path) ? slurp(path) : "";
        const Outcome o = runVantor(dir, {path, "id>0", "", "1", "0", "3", "0"});
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, kDatabaseMessage + c.code);
        EXPECT_NE(o.err.find(c.why), std::string::npos) << o.err;
        if (fs::is_regular_file(path)) {
            EXPECT_EQ(slurp(path), before);
        }
    }
    EXPECT_FALSE(fs::exists(dir / "absent.db"));
}

TEST(HostileInput, NarrowSongsTableReadsMissingColumnsAsNull) {
    TempDir dir;
    const std::string lib = (dir / "narrow.db").string();
    // Three columns, none beyond Artist's position: every other field is NULL.
    buildLibrary(lib, "CREATE TABLE songs(ID INTEGER PRIMARY KEY, Artist TEXT, Rating INTEGER)",
                 {"INSERT INTO songs VALUES(1,'ABBA',100),(2,'Queen',40),(3,NULL,80)"});
    struct Case {
        const char* label;
        std::string query, math, mode;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"numbers read as 0", "rating>3", "playcounter+year+1", "2", "1,3"},
        {"text reads as empty", "id>0", "comment=EMPTY&artist~abba", "0", "1"},
        {"anyfield over the columns there are", "abba", "anyfield~abba", "0", "1"},
        {"a column the table lacks is refused by SQLite", "genre=rock", "1", "0",
         "ERROR: Please edit Query Filter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Outcome o = runVantor(dir, {lib, c.query, "", c.math, c.mode, "3", "0"});
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, c.expected);
    }
}

TEST(HostileInput, NegativeAndHugeSongCounts) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    struct Case {
        std::string mode, count, math;
        std::size_t ids;
    };
    const std::vector<Case> cases = {
        {"1", "-5", "1", 0},          {"2", "-5", "1", 0},          {"1", "-5", "playcounter", 0},
        {"2", "-5", "playcounter", 0}, {"0", "-5", "1", 3},          {"0", "2000000000", "1", 3},
        // Mode 2 lowers the count to the library size before anything is allocated.
        {"2", "2000000000", "playcounter", 3}, {"2", "2000000000", "1", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + c.mode + " count " + c.count + " math " + c.math);
        const Outcome o = runVantor(dir, {lib, "id>0", "", c.math, c.mode, c.count, "0"});
        EXPECT_EQ(o.status, 0);
        EXPECT_TRUE(isWellFormedResult(o.result)) << o.result;
        EXPECT_EQ(idsOf(o.result).size(), c.ids) << o.result;
    }
}

TEST(HostileInput, HugeCountsThatCannotBeHeldReportOutOfMemory) {
    if (kUnderAsan) GTEST_SKIP() << "an address-space limit does not fit AddressSanitizer";
    if (kOnWindows) GTEST_SKIP() << windows::kNoMemoryLimit;
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    spit(dir / "vantor.ini", "node1_name=Rock\r\n");
    spit(dir / "node1", "11,12,13");

    using Args = std::vector<std::string>;
    for (const Args& args : {Args{lib, "id>0", "", "1", "1", "2000000000", "0"},
                             Args{lib, "id>0", "", "playcounter", "1", "2000000000", "0"},
                             Args{lib, "rotate(rock)", "", "1", "0", "2000000000", "0"}}) {
        SCOPED_TRACE(args[1] + " mode " + args[4] + " math " + args[3]);
        const Outcome o = runVantor(dir, args, 512 * kMiB);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, kDatabaseMessage + "7");
        EXPECT_NE(o.err.find("out of memory"), std::string::npos) << o.err;
    }
}

TEST(HostileInput, RepeatWindowsBelowZeroAndBeyondTheList) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    for (const std::string window : {"-3", "1000000000", "0"}) {
        SCOPED_TRACE(window);
        const Outcome o = runVantor(dir, {lib, "id>0", "", "1", "1", "200", "1", window});
        EXPECT_EQ(o.status, 0);
        // Each ID at its first occurrence only: 200 draws of three songs leave them all, once.
        std::vector<int> ids = idsOf(o.result);
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(ids, (std::vector<int>{11, 12, 13})) << o.result;
    }
}

TEST(HostileInput, IdsAboveABillionKeepRepeatRemovalSmall) {
    TempDir dir;
    const std::string lib = (dir / "big-ids.db").string();
    buildLibrary(lib, classicSongsTable(),
                 {"INSERT INTO songs(ID,PlayCounter) VALUES(2147483647,1),(2000000000,1),(1000000001,1)"});
    spit(dir / "vantor.ini", "big_name=Big\r\n");
    spit(dir / "big", "2147483647,2000000000,2147483647,5,2000000000,1000000001");
    // A flag per possible ID would need 2 GiB; the removal needs memory for the
    // list only. Where no limit can be set, the IDs are still checked.
    const std::size_t limit = kUnderAsan || kOnWindows ? 0 : 256 * kMiB;

    Outcome o = runVantor(dir, {lib, "id>0", "", "1", "1", "300", "1"}, limit);
    EXPECT_EQ(o.status, 0);
    std::vector<int> ids = idsOf(o.result);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<int>{1000000001, 2000000000, 2147483647})) << o.result;

    o = runVantor(dir, {lib, "rotate(big)", "", "1", "0", "6", "1"}, limit);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.result, "2147483647,2000000000,5,1000000001");
}

// IDs are 64-bit from the library to the result file: none is clamped onto
// another, in any mode, through the sort query's two forms, repeat removal
// and the rotation's lists.
TEST(HostileInput, IdsBeyond32BitsAreKeptWhole) {
    TempDir dir;
    const std::string lib = (dir / "wide-ids.db").string();
    buildLibrary(lib, classicSongsTable(),
                 {"INSERT INTO songs(ID,PlayCounter,Artist) VALUES(2147483648,3,'e'),(2147483653,5,'d'),"
                  "(4294967297,1,'c'),(9007199254740993,4,'b'),(9223372036854775807,2,'a')"});
    spit(dir / "vantor.ini", "wide_name=Wide\r\n");
    spit(dir / "wide", "2147483648,9223372036854775807,2147483648,99999999999999999999,-3");
    const std::string byId = "2147483648,2147483653,4294967297,9007199254740993,9223372036854775807";
    const std::string byPlays = "2147483653,9007199254740993,2147483648,9223372036854775807,4294967297";
    struct Case {
        const char* label;
        std::vector<std::string> args;  // 1 to 7, then the window
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"every row", {lib, "id>0", "", "1", "0", "0", "0"}, byId},
        {"every row, scored", {lib, "id>0", "", "playcounter>0", "0", "0", "0"}, byId},
        {"a condition on a wide ID", {lib, "id>4294967296", "", "1", "0", "0", "0"},
         "4294967297,9007199254740993,9223372036854775807"},
        {"a top list", {lib, "id>0", "", "playcounter", "2", "5", "0"}, byPlays},
        // 400 draws of five songs draw each; sorted, repeats removed.
        {"draws sorted by key lookup", {lib, "id>0", "ORDER BY PlayCounter DESC", "1", "1", "400", "1"}, byPlays},
        {"draws sorted by LIKE", {lib, "id>0", "AND 1 ORDER BY Artist", "1", "1", "400", "1"},
         "9223372036854775807,9007199254740993,4294967297,2147483653,2147483648"},
        // Beyond 64 bits a list's ID saturates, as strtoll does.
        {"a rotation", {lib, "rotate(wide)", "", "1", "0", "5", "1"}, "2147483648,9223372036854775807,-3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Outcome o = runVantor(dir, c.args);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, c.expected) << o.err;
    }
}
