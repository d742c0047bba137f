// Behind each result-file message, standard error says why, for people:
// SQLite's own message and the SQL it refused, where the parser stopped, the
// name that is no field, the playlist that is missing. Standard output keeps
// exactly its documented lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_library.h"
#include "harness.h"

using namespace vantor::testing;

namespace {


}  // namespace

TEST(Diagnostics, StandardErrorSaysWhy) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::string noSongs = (dir / "nosongs.db").string();
    buildLibrary(noSongs, "CREATE TABLE other(x)", {});
    spit(dir / "vantor.ini", "rock_name=Rock\r\n");
    spit(dir / "rock", "1,2");

    struct Case {
        const char* label;
        std::vector<std::string> args;  // 1 to 7; the result file is added
        std::string result;
        std::string err;  // the whole of standard error
    };
    const std::vector<Case> cases = {
        {"query filter refused by SQLite",
         {lib, "artist='don't'", "", "1", "0", "3", "0"},
         "ERROR: Please edit Query Filter",
         "vantor: the query filter was refused: near \"t\": syntax error in: SELECT ID FROM songs WHERE artist LIKE "
         "'don't'\n"},
        {"sort filter refused by SQLite",
         {lib, "id>0", "ORDER BY BY", "1", "0", "3", "0"},
         "ERROR: Please edit Sort Field Filter.",
         "vantor: the sort filter was refused: no such column: BY in: SELECT ID FROM songs WHERE ID>0 ORDER BY BY\n"},
        {"a library without songs",
         {noSongs, "id>0", "", "1", "0", "3", "0"},
         kDatabaseMessage + "1501",
         "vantor: cannot count the songs: no such table: songs in: SELECT COUNT(*) from songs\n"},
        {"a library that is not there",
         {(dir / "absent.db").string(), "id>0", "", "1", "0", "3", "0"},
         kDatabaseMessage + "514",
         "vantor: cannot open the library " + (dir / "absent.db").string() +
             ": unable to open database file (there is no such file)\n"},
        {"a formula the parser refuses",
         {lib, "id>0", "", "max (rating,3)", "0", "3", "0"},
         "ERROR: Please edit Math Filter",
         "vantor: math filter: the parser refused 'max&((100.0/20.0),3)' at position 3 (Syntax error: Expecting ( "
         "after function)\n"},
        {"a formula nested too deeply",
         {lib, "id>0", "", std::string(1001, '(') + "1" + std::string(1001, ')'), "0", "3", "0"},
         "ERROR: Please edit Math Filter",
         "vantor: math filter: '" + std::string(1001, '(') + "1" + std::string(1001, ')') +
             "' is nested too deeply to parse\n"},
        {"a name that is no field",
         {lib, "id>0", "", "bpm>fast", "0", "3", "0"},
         "ERROR: Field in Math Filter not recognized",
         "vantor: math filter: 'fast' is no field\n"},
        {"a playlist that is not in the settings",
         {lib, "rotate(rock,jazz)", "", "1", "0", "3", "0"},
         "ERROR: A VNT playlist name you entered doesn't exist.",
         "vantor: playlist \"jazz\" is not in vantor.ini\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::string> args = c.args;
        args.push_back((dir / "result.txt").string());
        const ProcessResult p = runBinary(args, dir.path());
        EXPECT_EQ(p.status, 0);
        EXPECT_EQ(slurp(dir / "result.txt"), c.result);
        EXPECT_EQ(p.err, c.err);
        EXPECT_EQ(p.out.find("vantor:"), std::string::npos);  // reasons never reach standard output
    }
}

TEST(Diagnostics, ValueLongerThanSQLiteMatches) {
    if (kOnWindows) GTEST_SKIP() << windows::kCommandLineLimit;
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::string value(60000, 'x');
    const ProcessResult p = runBinary({lib, "songtitle='" + value + "'", "", "1", "0", "3", "0", "result.txt"},
                                      dir.path());
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(slurp(dir / "result.txt"), "ERROR: Please edit Query Filter");
    EXPECT_EQ(p.err, "vantor: the selection query failed: LIKE or GLOB pattern too complex in: SELECT ID FROM songs "
                     "WHERE songtitle LIKE '" + value + "'\n");
}

TEST(Diagnostics, StandardOutputKeepsItsDocumentedLines) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const ProcessResult p = runBinary({lib, "id>0", "", "year='1990'", "0", "3", "0", "result.txt"}, dir.path());
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.out, "arg1: " + lib +
                         "\narg2: id>0\narg3: \narg4: year='1990'\narg5: 0\narg6: 3\narg7: 0\n"
                         "arg8: _result.txt_\narg9: _(null)_\nUnlock: 0\n"
                         "initial sqlfilter: id>0\n"
                         "sqlfilter: id>0_\n"
                         "sortfilter: _\n"
                         "mathfilter: year='1990'_\n"
                         "**************SQL Query Out: id>0\n\n"
                         "toki: 3\n"
                         "ERROR: Please edit Math Filter");
    EXPECT_EQ(p.err,
              "vantor: math filter: the text '1990' stands where a number belongs; text follows a text field and =, "
              "~, != or !~\n");
}
