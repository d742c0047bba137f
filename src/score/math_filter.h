// The math filter as a per-song score: the name tokens are classified once
// per run, then each row's values are put into the formula text, text
// comparisons are decided here, and fparser parses and evaluates the purely
// numeric rest. Tokenizing and the easy-notation expansion happen elsewhere.
#pragma once

#include <fparser.hh>

#include <string>
#include <vector>

#include "filter/song_row.h"
#include "filter/tokens.h"

namespace vantor {

// code and operandType mean something only for name tokens (flag 0).
struct ClassifiedToken {
    std::string text;
    int flag;
    int code;
    int operandType;
};

namespace operand {
inline constexpr int none = -1;  // not a name token: copied into the formula
inline constexpr int numeric = 0, text = 1, allText = 2, literal = 9;
inline constexpr int unknown = -2;  // a name that is no field: the run ends with code -1
}  // namespace operand

// One token's classification: a name token gets its field code and operand
// type (a literal loses its first and last characters); any other token is
// copied into the formula. Never throws: the run decides what unknown means.
ClassifiedToken classifyToken(const Token& token);

class MathFilter {
public:
    // Classifies every name token; a name that is no field throws RunError(-1).
    explicit MathFilter(const TokenList& list);

    const std::vector<ClassifiedToken>& tokens() const { return tokens_; }

    // The field codes whose columns a row's score reads, ascending; anyfield
    // stands for all of its columns.
    std::vector<int> columnsRead() const;

    // The row's formula text: numeric fields as their column text, text
    // comparisons as "1" or "0". Throws RunError(3) for a literal standing as
    // an operand of its own, or a comparison whose right operand is a numeric
    // field or a literal that spells a field label.
    void formulaText(const SongRow& row, std::string& out) const;

    // The row's formula parsed and evaluated; a text the parser rejects
    // throws RunError(3). Evaluation errors are not reported (fparser gives 0).
    double score(const SongRow& row);

private:
    std::string rightOperand(const SongRow& row, std::size_t at) const;
    void parse(const std::string& formula);

    std::vector<ClassifiedToken> tokens_;
    FunctionParser parser_;
    std::string formula_;  // reused for every row
};

}  // namespace vantor
