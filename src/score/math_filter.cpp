#include "score/math_filter.h"

#include <algorithm>

#include "filter/field_catalogue.h"
#include "report/run_error.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

// fparser descends once per parenthesis and once per prefix "-", "!" or "^"
// operand, on the stack; a long enough chain in the filter or in a column's
// text would overflow it. Texts beyond these bounds are refused as
// unparsable instead. Both stay far below what the default stack survives.
constexpr int kMaxParenthesisDepth = 1000;
constexpr int kMaxPrefixOperators = 10000;

bool withinNestingLimits(const std::string& formula) {
    int depth = 0, deepest = 0, prefixes = 0;
    for (const char c : formula) {
        if (c == '(') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ')') {
            // Never below zero, so a stray ")" cannot hide the depth after it.
            depth = std::max(0, depth - 1);
        } else if (c == '-' || c == '!' || c == '^') {
            ++prefixes;
        }
    }
    return deepest <= kMaxParenthesisDepth && prefixes <= kMaxPrefixOperators;
}

const std::string& textAt(const std::vector<ClassifiedToken>& tokens, std::size_t at) {
    // Positions past the last token read as empty texts.
    static const std::string empty;
    return at < tokens.size() ? tokens[at].text : empty;
}

// A text field's value, or the all-text-fields value for anyfield. NULL reads
// as the empty text.
void fieldText(const SongRow& row, const ClassifiedToken& token, std::string& out) {
    if (token.operandType == operand::allText) {
        BuildAllFields(row, out);
    } else {
        out.assign(row.text(token.code).value_or(std::string_view{}));
    }
}

}  // namespace

ClassifiedToken classifyToken(const Token& t) {
    ClassifiedToken c{t.text, t.flag, fieldcode::unknown, operand::none};
    if (c.flag != tokenflag::name) return c;
    // The lookup lower-cases the token for the rest of the run.
    c.code = MMlabelToNumber(c.text);
    if (c.code == fieldcode::unknown) {
        c.operandType = operand::unknown;
    } else if (c.code == fieldcode::literal) {
        // The first and last characters go, whatever they are.
        c.text = c.text.size() >= 2 ? c.text.substr(1, c.text.size() - 2) : std::string{};
        c.operandType = operand::literal;
    } else if (isScorerNumeric(c.code)) {
        c.operandType = operand::numeric;
    } else if (c.code == fieldcode::anyfield) {
        c.operandType = operand::allText;
    } else {
        c.operandType = operand::text;
    }
    return c;
}

MathFilter::MathFilter(const TokenList& list) {
    tokens_.reserve(list.tokens.size());
    for (const Token& t : list.tokens) {
        ClassifiedToken c = classifyToken(t);
        if (c.operandType == operand::unknown) {
            throw RunError(code::mathFieldUnknown, "math filter: '" + c.text + "' is no field");
        }
        tokens_.push_back(std::move(c));
    }
}

std::vector<int> MathFilter::columnsRead() const {
    std::vector<int> codes;
    for (const ClassifiedToken& t : tokens_) {
        if (t.operandType == operand::allText) {
            const auto all = allTextFieldCodes();
            codes.insert(codes.end(), all.begin(), all.end());
        } else if ((t.operandType == operand::numeric || t.operandType == operand::text) &&
                   t.code <= fieldcode::maxColumnCode) {
            codes.push_back(t.code);
        }
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    return codes;
}

// The right operand of a comparison: a text that is no label stands for
// itself (lower-cased, as the lookup leaves it), a text or anyfield token for the row's value; anything else (a
// numeric field, a literal that spells a label) cannot be compared as text.
std::string MathFilter::rightOperand(const SongRow& row, std::size_t at) const {
    std::string label = textAt(tokens_, at);
    if (MMlabelToNumber(label) == fieldcode::unknown) return label;
    const ClassifiedToken& token = tokens_[at];
    if (token.operandType != operand::text && token.operandType != operand::allText) {
        throw RunError(code::mathFilter, "math filter: '" + token.text + "' cannot be compared as text");
    }
    std::string out;
    fieldText(row, token, out);
    return out;
}

void MathFilter::formulaText(const SongRow& row, std::string& out) const {
    out.clear();
    std::string left;
    std::size_t i = 0;
    while (i < tokens_.size()) {
        const ClassifiedToken& token = tokens_[i];
        switch (token.operandType) {
        case operand::none:
            out += token.text;
            ++i;
            break;
        case operand::numeric:
            // A NULL number reads as 0, so a song lacking a value still scores.
            out += row.text(token.code).value_or("0");
            ++i;
            break;
        case operand::text:
        case operand::allText: {
            fieldText(row, token, left);
            lowercase(left);
            const std::string right = rightOperand(row, i + 2);
            const std::string& op = textAt(tokens_, i + 1);
            // Any other operator decides nothing and leaves no text at all.
            if (op == "~") {
                out += contains(left, right) ? "1" : "0";
            } else if (op == "=") {
                out += equalsIgnoreAsciiCase(left, right) ? "1" : "0";
            } else if (op == "!~") {
                out += contains(left, right) ? "0" : "1";
            } else if (op == "!=") {
                out += equalsIgnoreAsciiCase(left, right) ? "0" : "1";
            }
            i += 3;
            break;
        }
        default:
            throw RunError(code::mathFilter, "math filter: the text '" + token.text +
                                                 "' stands where a number belongs; text follows a text field and "
                                                 "=, ~, != or !~");
        }
    }
}

void MathFilter::parse(const std::string& formula) {
    if (!withinNestingLimits(formula)) {
        throw RunError(code::mathFilter, "math filter: '" + formula + "' is nested too deeply to parse");
    }
    if (const int at = parser_.Parse(formula, "x", false); at != -1) {
        throw RunError(code::mathFilter, "math filter: the parser refused '" + formula + "' at position " +
                                             std::to_string(at) + " (" + parser_.ErrorMsg() + ")");
    }
}

double MathFilter::score(const SongRow& row) {
    formulaText(row, formula_);
    parse(formula_);
    // x is declared only because the parser wants a variable list; a filter
    // cannot name it, so its value does not matter.
    const double unused[1] = {0.0};
    return parser_.Eval(unused);
}

}  // namespace vantor
