#include <gtest/gtest.h>

#include <chrono>

#include "filter/expansion.h"
#include "filter/field_catalogue.h"
#include "filter/passes.h"
#include "filter/query_sql.h"
#include "score/tokenizer.h"
#include "text/toolkit.h"

using namespace vantor;

namespace {

constexpr const char* kToday = "45000.500000";

// The anyfield expression of a library with every text column, written out in full.
const std::string kAnyfield =
    "Artist||','||Album||','||AlbumArtist||','||DiscNumber||','||TrackNumber||','||SongTitle||','||"
    "SongPath||','||Genre||','||Author||','||Custom1||','||Custom2||','||Custom3||','||Custom4||','||"
    "Custom5||','||Copyright||','||Publisher||','||Encoder||','||Lyricist||','||Conductor||','||"
    "InvolvedPeople||','||OrigTitle||','||OrigArtist||','||OrigLyricist||','||GroupDesc||','||"
    "MediaType||','||Tempo||','||Mood||','||Occasion||','||Quality||','||Lyrics||','||Comment ";

struct Case {
    std::string in, out;
};

std::string sql(std::string_view text) { return query2sql2(text, kToday, kAnyfield); }

// The run driver's preparation of a typed query filter, up to the text the
// translation is given (the sort filter appended last).
std::string prepareQueryFilter(std::string filter, const std::string& sortFilter = "") {
    minusToNot(filter);
    stripspacesAroundOperators2(filter);
    replace(filter, "EMPTY", "''");
    lowercase(filter);
    for (char n = '0'; n <= '5'; ++n) {
        replace(filter, std::string("rating=") + n,
                std::string("(rating>=") + n + " & rating<=" + n + ")");
    }
    return easyFormulaToFullRedone(filter) + sortFilter;
}

}  // namespace

TEST(QuerySql, AnyfieldExpressionIsTheFullColumnList) { EXPECT_EQ(kAnyfield.size(), 459u); }

TEST(QuerySql, WorkedExamples) {
    const std::string T = kToday;
    const Case cases[] = {
        {"artist~'beatles'", "artist LIKE '%beatles%'"},
        {"artist='abba'&(rating>=4&rating<=4)", "artist LIKE 'abba' AND ((Rating/20.0)>=4 AND (Rating/20.0)<=4)"},
        {"lastplayedage>30&songlength<300", "(" + T + "-LastTimePlayed)>30 AND (SongLength/1000.0)<300"},
        {"artist!~'abba'", "artist NOT  LIKE '%abba%'"},
        {"anyfield~'live'", kAnyfield + " LIKE '%live%'"},
        {"lasttimeplayed<currenttime", "lasttimeplayed<" + T},
        {"playcounter>5 order by Rating desc", "playcounter>5 order by (Rating/20.0) desc"},
        {"!genre~'rock'|year<1980", " NOT genre LIKE '%rock%' OR year<1980"},
        {"(year>=1990&year<=1999)&genre~\"jazz\"", "(year>=1990 AND year<=1999) AND genre LIKE \"%jazz%\""},
        {"dateaddedage<7|filemodifiedage<1", "(" + T + "-DateAdded)<7 OR (" + T + "-FileModified)<1"},
    };
    for (const auto& c : cases) EXPECT_EQ(sql(c.in), c.out) << c.in;
}

TEST(QuerySql, KeywordsAndOperatorsEverywhere) {
    const Case cases[] = {
        {"", ""},
        {"ratings>2", "(Rating/20.0)s>2"},
        {"songtitle~'rating'", "songtitle LIKE '%(Rating/20.0)%'"},
        {"songtitle~'rock&roll'", "songtitle LIKE '%rock AND roll%'"},
        {"songtitle~'don't'", "songtitle LIKE '%don%'t'"},
        {"year~2000&artist='abba'", "year LIKE 2000 AND artist LIKE '%abba%'"},
        {"year<=1&year>=2&a!=b", "year<=1 AND year>=2 AND a NOT  LIKE b"},
        {"(a)=b", "(a) LIKE b"},
        {"=x", " LIKE x"},
        {"x order by SongLength, RATING", "x order by (SongLength/1000.0), (Rating/20.0)"},
        {"ANYFIELD~'x'", kAnyfield + " LIKE '%x%'"},
        // A window running past the end is no keyword.
        {"ratin", "ratin"},
        {"artist='caf\xC3\xA9'", "artist LIKE 'caf\xC3\xA9'"},
    };
    for (const auto& c : cases) EXPECT_EQ(sql(c.in), c.out) << c.in;
}

TEST(QuerySql, AnyfieldFromTheCatalogue) {
    const std::string anyfield = anyfieldSql(ColumnMap::classic());
    EXPECT_EQ(query2sql2("anyfield~'live'&anyfield!~'demo'", kToday, anyfield),
              anyfield + " LIKE '%live%' AND " + anyfield + " NOT  LIKE '%demo%'");
}

TEST(QuerySql, TypedFilterToSql) {
    struct ChainCase { std::string typed, expanded, sql; };
    const ChainCase cases[] = {
        {"artist contains abba", "artist~'abba'", "artist LIKE '%abba%'"},
        {"(genre=rock or genre=pop) and rating>3", "(genre='rock'|genre='pop')&rating>3",
         "(genre LIKE 'rock' OR genre LIKE 'pop') AND (Rating/20.0)>3"},
        {"-genre=rock", "!genre='rock'", " NOT genre LIKE 'rock'"},
        {"rock pop", "anyfield~'rock'&anyfield~'pop'",
         kAnyfield + " LIKE '%rock%' AND " + kAnyfield + " LIKE '%pop%'"},
        {"Rating=5 & Artist~EMPTY", "(rating>=5&rating<=5)&artist~''",
         "((Rating/20.0)>=5 AND (Rating/20.0)<=5) AND artist LIKE '%%'"},
        {"RATING=3", "(rating>=3&rating<=3)", "((Rating/20.0)>=3 AND (Rating/20.0)<=3)"},
        {"artist=empty", "artist='empty'", "artist LIKE 'empty'"},
        {"songtitle~'a-b'", "songtitle~'a-b'", "songtitle LIKE '%a-b%'"},
    };
    for (const auto& c : cases) {
        const std::string prepared = prepareQueryFilter(c.typed);
        EXPECT_EQ(prepared, c.expanded) << c.typed;
        EXPECT_EQ(sql(prepared), c.sql) << c.typed;
    }
    EXPECT_EQ(sql(prepareQueryFilter("playcounter>5", " order by Rating desc")),
              "playcounter>5 order by (Rating/20.0) desc");
}

TEST(QuerySql, OneMegabyteFilterThroughEveryStage) {
    const auto start = std::chrono::steady_clock::now();
    const int repeats = 50000;
    std::string typed, expanded, translated;
    for (int i = 0; i < repeats; ++i) {
        typed += "genre=rock year>1990 ";
        if (i > 0) {
            expanded += '&';
            translated += " AND ";
        }
        expanded += "genre='rock'&year>1990";
        translated += "genre LIKE 'rock' AND year>1990";
    }
    ASSERT_GE(typed.size(), 1000000u);

    const std::string prepared = prepareQueryFilter(typed);
    ASSERT_EQ(prepared, expanded);
    EXPECT_EQ(sql(prepared), translated);

    std::string math = prepared;
    const TokenList list = exptokenize2(math, kToday);
    // Per condition pair: genre, =, 'rock', &, year, >1990& (the last without its &).
    ASSERT_EQ(list.tokens.size(), 6u * repeats);
    EXPECT_EQ(list.nameCount, 3 * repeats);
    std::string joined;
    for (const auto& t : list.tokens) joined += t.text;
    EXPECT_EQ(joined, expanded);

    // Linear passes finish in well under this even in a sanitizer build.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}
