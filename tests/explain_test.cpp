// `vantor --explain QUERY [MATH]`: the stages a run would see, the reasons a
// name is not recognized, and no database touched.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/explain.h"
#include "e2e_library.h"
#include "harness.h"

using namespace vantor::testing;

namespace {

std::string explained(const std::string& query, const std::optional<std::string>& math) {
    std::ostringstream out;
    vantor::explainFilters(query, math, out);
    return out.str();
}

// The text after `label` up to the end of its line.
std::string lineAfter(const std::string& text, const std::string& label) {
    const std::size_t at = text.find(label);
    if (at == std::string::npos) return "<no " + label + ">";
    const std::size_t from = at + label.size();
    return text.substr(from, text.find('\n', from) - from);
}

}  // namespace

TEST(Explain, ShowsEachStageAndWhyANameIsNotRecognized) {
    struct Case {
        const char* label;
        std::string query;
        std::optional<std::string> math;
        std::vector<std::string> lines;  // each must appear, whole, in order
    };
    const std::vector<Case> cases = {
        {"a blank ends a value",
         "artist=the beatles",
         std::nullopt,
         {"query filter: artist=the beatles\n", "  after the rewrites:  artist=the beatles\n",
          "  after the expansion: artist='the'&anyfield~'beatles'\n",
          "  note: a blank ends a value, so a word after it searches every text field; write a value\n",
          "math filter: 1 (none given)\n", "    \"1\"  copied into the formula\n",
          "  the math filter is 1: no scoring, every candidate alike\n"}},
        {"a function name with a blank before its parenthesis",
         "rock",
         "if (x>1,1,0)",
         {"  after the expansion: if&(anyfield~'x'>1,1,0)\n", "  tokens (6):\n",
          "    \"if\"  NOT RECOGNIZED: a blank before \"(\" makes \"if\" a word of its own, not a function; write "
          "if( with no blank\n",
          "    \"anyfield\"  anyfield, text: all text fields joined by commas, compared with the token two places on\n",
          "    \"'x'\"  text literal \"x\": only the right side of a text comparison\n",
          "  a run stops here: ERROR: Field in Math Filter not recognized\n"}},
        {"fields, operand types and the formula of an empty song",
         "Rating=5 & Artist~EMPTY",
         "rating>3 and artist=abba",
         {"  after the rewrites:  (rating>=5 & rating<=5)&artist~''\n",
          "  SQL condition:       ((Rating/20.0)>=5 AND (Rating/20.0)<=5) AND artist LIKE '%%'\n",
          "  after the expansion: (rating/20.0)>3&artist='abba'\n",
          "    \"rating\"  field, number: the song's Rating goes here\n",
          "    \"artist\"  field, text: the song's Artist is compared as text with the token two places on (=, ~, "
          "!= or !~)\n",
          "  formula for a song whose fields are all empty: (0/20.0)>3&0\n", "  its score: 0\n"}},
        {"the parser's position and reason",
         "rock",
         "max (rating,3)",
         {"  formula for a song whose fields are all empty: max&((0/20.0),3)\n",
          "  a run stops at its first song: ERROR: Please edit Math Filter\n",
          "  why: math filter: the parser refused 'max&((0/20.0),3)' at position 3 (Syntax error: Expecting ( "
          "after function)\n"}},
        {"a word after a number field",
         "lastplayedage>30",
         "bpm>fast",
         {"  SQL condition:       (45658.000000-LastTimePlayed)>30\n",
          "    \"fast\"  NOT RECOGNIZED: after a number field and its operator a word is read as a field name; "
          "compare with a number\n"}},
        {"a quoted value cut apart by an operator character",
         "rock",
         "songtitle='rock and roll'",
         {"  after the expansion: songtitle='rock&roll'\n",
          "    \"'rock\"  text literal \"roc\": only the right side of a text comparison\n",
          "    \"roll'\"  NOT RECOGNIZED: the end of a quoted value that an operator character (& / + - * ^ < > = ! "
          ", and the word and) cut apart; compare with a part that holds none, e.g. artist~'ac' for ac/dc\n"}},
        {"year on a library that stores dates",
         "year>=1990 and year<2000",
         "(year-1950)/10",
         {"  SQL condition:       year>=1990 AND year<2000\n",
          "  on a library that stores dates (Year 19971231 for 1997-12-31), year compared with a whole\n"
          "  number from 0 to 9999 is the song's calendar year:\n"
          "  SQL condition there: (Year>=1990 AND NOT (Year>=10000 AND Year<19900000)) AND (Year<20000000 AND NOT "
          "(Year>=2000 AND Year<10000))\n",
          "    \"year\"  field, number: the song's Year goes here\n",
          "  on a library that stores dates (Year 19971231 for 1997-12-31): year is the song's calendar year "
          "(1997)\n"}},
        {"year that reads alike, and a math filter written for the stored dates",
         "year>0",
         "if(year>=19900000,1,0)",
         {"  SQL condition:       year>0\n",
          "  on a library that stores dates (Year 19971231 for 1997-12-31): the same SQL condition, year "
          "compared as stored\n",
          "  on a library that stores dates (Year 19971231 for 1997-12-31): year is the stored value, as the filter "
          "holds a number of 10000 or more\n"}},
        {"a rotation",
         "ROTATE(Rock Classics,Pop)",
         "bpm>fast",
         {"  after the rewrites:  rotate(rock classics,pop)\n",
          "  and the math and sort filters are not used. Playlists: \"rock classics\" \"pop\"\n",
          "math filter: bpm>fast\n  not used by a rotation\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string text = explained(c.query, c.math);
        std::size_t from = 0;
        for (const std::string& line : c.lines) {
            const std::size_t at = text.find(line, from);
            EXPECT_NE(at, std::string::npos) << "missing: " << line << "in:\n" << text;
            if (at != std::string::npos) from = at + line.size();
        }
    }
}

TEST(Explain, StagesAreTheRunsOwn) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::string query = "(genre=rock or genre=pop) and -artist=queen rating>3", math = "if(playcounter>3,1,0.5)";

    const ProcessResult run = runBinary({lib, query, "", math, "0", "3", "0", "result.txt"}, dir.path());
    const ProcessResult shown = runBinary({"--explain", query, math}, dir.path());
    ASSERT_EQ(run.status, 0);
    ASSERT_EQ(shown.status, 0);
    EXPECT_EQ(lineAfter(shown.out, "  after the rewrites:  "), lineAfter(run.out, "initial sqlfilter: "));
    EXPECT_EQ(lineAfter(shown.out, "  after the expansion: ") + "_", lineAfter(run.out, "\nsqlfilter: "));
    EXPECT_EQ(lineAfter(shown.out, "  SQL condition:       "), lineAfter(run.out, "SQL Query Out: "));
    const std::size_t mathPart = shown.out.find("math filter:");
    EXPECT_EQ(lineAfter(shown.out.substr(mathPart), "  after the expansion: ") + "_",
              lineAfter(run.out, "mathfilter: "));
    EXPECT_EQ(lineAfter(shown.out, "  tokens ("), lineAfter(run.out, "toki: ") + "):");
}

TEST(Explain, OpensNoDatabaseAndWritesNoFile) {
    TempDir dir;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--explain", "rock"},
                                                 std::vector<std::string>{"--explain", "rock", "1"}}) {
        const ProcessResult r = runBinary(args, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.out.starts_with("query filter: rock\n")) << r.out;
        EXPECT_TRUE(r.err.empty()) << r.err;
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}
