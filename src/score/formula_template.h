// The math filter parsed once, with a variable in every place a row's value
// goes, for the formulas whose evaluation has been shown to match parsing
// each row's literal text bit for bit. It decides only whether a formula
// qualifies and evaluates it; the row's values and the fallback to the
// literal text belong to the scorer.
#pragma once

#include <fparser.hh>

#include <string>
#include <string_view>
#include <vector>

namespace vantor {

// A formula as fixed text with value places between: text[0] slot text[1]
// slot ... text[n]. There is one more text than there are slots.
struct FormulaShape {
    std::vector<std::string> texts{std::string{}};

    void appendText(std::string_view text) { texts.back() += text; }
    void appendSlot() { texts.emplace_back(); }
    std::size_t slotCount() const { return texts.size() - 1; }
};

class FormulaTemplate {
public:
    // Parses the shape with a variable per slot (and per number of its own)
    // when it qualifies: only the operations whose run-time results were
    // shown identical to fparser's folding of literals (+ - * and / spelled
    // as folded, comparisons, & | !, min, max, abs, and if around the whole
    // formula), no prefix minus, and every slot set off from its neighbours
    // so a number put there stays one number. Otherwise usable() is false.
    explicit FormulaTemplate(const FormulaShape& shape);

    bool usable() const { return usable_; }

    // The formula's value for these slot values (one per slot).
    double eval(const std::vector<double>& values);

private:
    bool usable_ = false;
    FunctionParser parser_;
    std::vector<double> vars_;  // x first, then the slots
};

// A number of the filter's own text that reads the same as a literal and
// through a variable: one or more digits, optionally a point and more
// digits, nothing else, not absurdly long.
bool readPlainDecimal(std::string_view text, double& value);

// A row's column text that reads as the same number in the literal formula
// as through a variable: a plain decimal, with a leading minus when
// `signAllowed`. The minus is safe in a template because the only operator
// that binds tighter than it, "^" (-3^2 is -(3^2)), never qualifies for one,
// and the parser folds a negated literal on the spot. Exponents, blanks, a
// plus sign and the empty text go the literal way, where they change the
// formula's shape.
bool readPlainNumber(std::string_view text, double& value, bool signAllowed);

}  // namespace vantor
