// The 26 worked examples of the easy notation, typed and expanded: a unit
// table of the expansion, and the "sqlfilter:" line of a whole run.
#pragma once

#include <string>
#include <vector>

namespace vantor::testing {

struct Expansion {
    std::string typed, expanded;
};

inline const std::vector<Expansion> kWorkedExpansions = {
    {"beatles", "anyfield~'beatles'"},
    {"rock pop", "anyfield~'rock'&anyfield~'pop'"},
    {"artist=beatles", "artist='beatles'"},
    {"Artist = ABBA", "artist='abba'"},
    {"artist='the beatles'", "artist='the beatles'"},
    {"artist=the beatles", "artist='the'&anyfield~'beatles'"},
    {"artist contains abba", "artist~'abba'"},
    {"songtitle!=love", "songtitle!='love'"},
    {"rating>3 and year<2000", "rating>3&year<2000"},
    {"rating>=4 playcounter<5", "rating>=4&playcounter<5"},
    {"(genre=rock or genre=pop) and rating>60", "(genre='rock'|genre='pop')&rating>60"},
    {"year>1990 and genre=rock pop", "year>1990&genre='rock'&anyfield~'pop'"},
    {"( rock pop )", "(anyfield~'rock'&anyfield~'pop')"},
    {"!rock", "!anyfield~'rock'"},
    {"year=1990", "year=1990"},
    {"artist=1990", "artist='1990'"},
    {"genre~80", "genre~'80'"},
    {"tracknumber=5", "tracknumber='5'"},
    {"idmedia=abc", "idmedia='abc'"},
    {"bpm>fast", "bpm>fast"},
    {"artist<m", "artist<anyfield~'m'"},
    {"'rock and roll'", "anyfield~'rock&roll'"},
    {"artist='don't stop'", "artist='don't stop'"},
    {"artist=''", "artist=''"},
    {"if(rating>3,1,0.5)", "if(rating>3,1,0.5)"},
    {"1", "1"},
};

}  // namespace vantor::testing
