// The math filter's token list, as the tokenizer makes it and the scorer
// reads it. Flag 0 marks a name token (a field label, a quoted literal or any
// other word); every other flag marks text copied into the formula unchanged.
#pragma once

#include <string>
#include <vector>

namespace vantor {

namespace tokenflag {
inline constexpr int name = 0;
inline constexpr int op = 1;
inline constexpr int number = 2;
inline constexpr int empty = -1;
}  // namespace tokenflag

struct Token {
    std::string text;
    int flag = tokenflag::name;
};

struct TokenList {
    std::vector<Token> tokens;
    int nameCount = 0;  // tokens whose flag is 0
};

}  // namespace vantor
