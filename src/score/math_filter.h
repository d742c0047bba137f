// The math filter as a per-song score: the name tokens are classified once
// per run, then each row's values are put into the formula text, text
// comparisons are decided here, and fparser parses and evaluates the purely
// numeric rest. Tokenizing and the easy-notation expansion happen elsewhere.
//
// Parsing every row's text is the reference; score() reaches the same bits
// faster where that has been shown safe: a template parsed once for formulas
// of safe operations whose row values are plain numbers, else a cache of
// scores by formula text; and on a UTF-16 library, text comparisons over the
// stored units where they answer as the UTF-8 would. One instance per
// thread: it keeps its working buffers in itself.
//
// score/ is where a song gets its score: the math filter's tokenizer and
// token list (tokenizer.h, tokens.h), the classification and row score here,
// the template (formula_template.h) and the cache (score_cache.h). It reads
// the field catalogue and the song row from filter/, which owns them.
#pragma once

#include <fparser.hh>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "filter/calendar_years.h"
#include "filter/song_row.h"
#include "score/formula_template.h"
#include "score/score_cache.h"
#include "score/tokens.h"

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
    // With YearReading::Calendar, year is a stored date's calendar year.
    explicit MathFilter(const TokenList& list, YearReading years = YearReading::Stored);

    const std::vector<ClassifiedToken>& tokens() const { return tokens_; }

    // The field codes whose columns a row's score reads, ascending; anyfield
    // stands for all of its columns.
    std::vector<int> columnsRead() const;

    // The row's formula text: numeric fields as their column text, text
    // comparisons as "1" or "0". Throws RunError(3) for a literal standing as
    // an operand of its own, or a comparison whose right operand is a numeric
    // field or a literal that spells a field label.
    void formulaText(const SongRow& row, std::string& out) const;

    // The row's score, bit for bit what scoreLiteral gives. Throws as it does.
    double score(const SongRow& row);

    // The reference: the row's formula text parsed and evaluated, every time.
    // A text the parser rejects throws RunError(3). Evaluation errors are not
    // reported (fparser gives 0).
    double scoreLiteral(const SongRow& row);

    // Whether score() evaluates this filter through a template parsed once.
    bool usesTemplate() const { return template_ != nullptr; }

private:
    // The formula as the row loop builds it: fixed text, a numeric field's
    // column text, a decided comparison, or the error a row always meets.
    struct Piece {
        enum Kind { Text, Numeric, Comparison, Refuse } kind = Text;
        std::string text{};   // Text: the text; Refuse: the reason
        int code = 0;         // Numeric, Comparison: the left field
        bool calendar = false;  // Numeric: year, read as a stored date's calendar year
        bool leftAll = false; // Comparison: anyfield on the left
        enum Op { Contains, Equals, NotContains, NotEquals } op = Contains;
        bool rightField = false;  // Comparison: the right operand is a field, not `text`
        int rightCode = 0;
        bool rightAll = false;
        // Comparison with `text`: its UTF-16 units, made once; nothing when
        // the text is no well-formed UTF-8, which only the byte way compares right.
        std::optional<std::u16string> needle16{};
        // Comparison of ~ or !~ with a needle16 that holds no comma: searched
        // column by column, as it cannot span two columns of anyfield.
        bool searchColumns = false;
        // needle16 holds a unit no number's text has: numbers need no look.
        bool passesNumbers = false;
    };

    // Building the pieces from the tokens, then choosing the template.
    void buildPieces();
    std::optional<Piece> comparisonAt(std::size_t i) const;
    void chooseTemplate();
    bool decide(const Piece& piece, const SongRow& row) const;
    // The same over the row's UTF-16 units, when that gives decide's answer.
    enum class Decided { No, Yes, Unsure };
    Decided decide16(const Piece& piece, const SongRow& row) const;
    Decided searchColumns16(const Piece& piece, const SongRow& row) const;
    bool fieldUnits(const SongRow& row, int code, bool all, bool lower, std::u16string& buffer,
                    std::u16string_view& units) const;
    // With `decided`, comparisons take the outcomes already found for this row.
    void appendFormula(const SongRow& row, std::string& out, const std::vector<char>* decided) const;
    std::string_view fieldText(const SongRow& row, int code, bool all, std::string& buffer) const;
    // A numeric field's text as the formula reads it; nothing for NULL.
    std::optional<std::string_view> numberText(const Piece& piece, const SongRow& row) const;
    double parseAndEval(const std::string& formula);

    std::vector<ClassifiedToken> tokens_;
    std::vector<Piece> pieces_;
    FunctionParser parser_;
    std::string formula_;  // reused for every row
    mutable std::string left_, right_, year_;
    mutable std::u16string left16_, right16_;
    ScoreCache cache_;
    std::unique_ptr<FormulaTemplate> template_;
    std::vector<double> slotValues_;
    std::vector<char> decided_;  // this row's comparison outcomes, in order
    // anyfield's columns, each with whether the catalogue has it a number.
    std::vector<std::pair<int, bool>> allTextColumns_;
};

// Whether fparser can take the text without running out of stack: it
// descends once per parenthesis and per prefix operator.
bool withinNestingLimits(std::string_view formula);

}  // namespace vantor
