// The checks that decide whether a formula may be parsed once with variables
// (its values then match parsing each row's literal text bit for bit), and
// the template itself. It knows no fields or rows: the scorer hands it the
// formula's shape and each row's values, and keeps the literal way for the rest.
#include "score/formula_template.h"

#include <array>
#include <charconv>

#include "text/ascii.h"

namespace vantor {
namespace {

// Longer digit runs are no song's value; they take the literal way, which
// reads them however the parser reads them.
constexpr std::size_t kMaxPlainLength = 24;

bool isWordChar(char c) { return isAsciiAlnum(c) || c == '_' || c == '.'; }

bool isLetter(char c) { return isAsciiAlpha(c) || c == '_'; }

// Operations whose run-time result equals what the parser computes when it
// folds the same operation on literal numbers. Division counts among them
// because the template spells it as folding computes it (see
// spellDivisionAsFolded); remainder, power, the rounding and the
// trigonometric functions are left out.
constexpr std::array<std::string_view, 4> kSafeFunctions = {"if", "min", "max", "abs"};
constexpr std::string_view kSafeOperatorChars = "+-*/<>=!&|(), ";

// Whether the formula holds only numbers, the safe operators and the safe
// functions above, so that a template computes what its literal text would.
bool onlySafeOperations(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (isLetter(c)) {
            // A name glued to a number (1e5, 0x1f) reads differently as a literal.
            if (i > 0 && (isAsciiDigit(text[i - 1]) || text[i - 1] == '.')) return false;
            std::size_t end = i;
            while (end < text.size() && isWordChar(text[end]) && text[end] != '.') ++end;
            const std::string_view name = text.substr(i, end - i);
            bool known = false;
            for (const auto safe : kSafeFunctions) known = known || name == safe;
            if (!known) return false;
            i = end;
        } else if (isAsciiDigit(c) || c == '.' || kSafeOperatorChars.find(c) != std::string_view::npos) {
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

// fparser leaves an if(...) unfolded while it parses on, and then regroups
// the sums and products around it (if(...)-a-b as if(...)-(a+b)), which a
// template evaluates as written. An if that makes the whole formula has
// nothing around it; any other if keeps the literal way.
bool ifOnlyOutermost(std::string_view text) {
    const std::size_t first = text.find("if");
    if (first == std::string_view::npos) return true;
    if (first != 0 || text.find("if", 2) != std::string_view::npos || text.substr(0, 3) != "if(") return false;
    int depth = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if (text[i] == ')' && --depth == 0) return i + 1 == text.size();
    }
    return false;
}

// A prefix minus makes fparser regroup the sum it stands in (-a+b-c as
// -a+(b-c)); literals are folded before that can happen, so the two ways
// round differently.
bool hasPrefixMinus(std::string_view text) {
    char before = '(';
    for (const char c : text) {
        if (c == ' ') continue;
        if (c == '-' && std::string_view("(,+-*/%^<>=!&|").find(before) != std::string_view::npos) return true;
        before = c;
    }
    return false;
}

// The end of the operand that starts at `from` (blanks skipped): a name, a
// function call or a parenthesised group; npos for anything else.
std::size_t operandEnd(std::string_view text, std::size_t from) {
    std::size_t i = text.find_first_not_of(' ', from);
    if (i == std::string_view::npos) return i;
    if (isLetter(text[i])) {
        while (i < text.size() && isWordChar(text[i]) && text[i] != '.') ++i;
        const std::size_t call = text.find_first_not_of(' ', i);
        if (call == std::string_view::npos || text[call] != '(') return i;
        i = call;
    }
    if (text[i] != '(') return std::string_view::npos;
    int depth = 0;
    for (; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if (text[i] == ')' && --depth == 0) return i + 1;
    }
    return std::string_view::npos;
}

// When it parses a/b with b a literal, the parser turns it into a times the
// reciprocal of b and folds that: two roundings where a division at run time
// makes one. Written as a*(1/b), the template rounds twice the same way.
// `one` names a variable holding 1. False when an operand is not plain.
bool spellDivisionAsFolded(std::string_view text, const std::string& one, std::string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '/') {
            out += text[i++];
            continue;
        }
        const std::size_t end = operandEnd(text, i + 1);
        if (end == std::string_view::npos) return false;
        out += "*(" + one + "/";
        if (!spellDivisionAsFolded(text.substr(i + 1, end - i - 1), one, out)) return false;
        out += ')';
        i = end;
    }
    return true;
}

// A value put next to a letter, digit, point or another value would merge
// with it into a different token than a variable does.
bool slotsStandApart(const FormulaShape& shape) {
    const std::size_t n = shape.slotCount();
    for (std::size_t k = 0; k < n; ++k) {
        const std::string& before = shape.texts[k];
        const std::string& after = shape.texts[k + 1];
        if (before.empty() ? k > 0 : isWordChar(before.back())) return false;
        if (after.empty() ? k + 1 < n : isWordChar(after.front())) return false;
    }
    return true;
}

}  // namespace

FormulaTemplate::FormulaTemplate(const FormulaShape& shape) {
    std::string whole;
    for (const std::string& t : shape.texts) whole += t;
    if (!onlySafeOperations(whole) || !ifOnlyOutermost(whole) || !slotsStandApart(shape)) return;

    // The filter's own numbers become variables too: with no literal left,
    // the parser has nothing to fold, and every operation runs as written,
    // exactly as folding computes it on the literal text.
    const std::size_t slots = shape.slotCount();
    std::vector<double> constants;
    std::string text;
    for (std::size_t k = 0; k <= slots; ++k) {
        const std::string& piece = shape.texts[k];
        std::size_t i = 0;
        while (i < piece.size()) {
            if (!isAsciiDigit(piece[i]) && piece[i] != '.') {
                text += piece[i++];
                continue;
            }
            std::size_t end = i;
            while (end < piece.size() && (isAsciiDigit(piece[end]) || piece[end] == '.')) ++end;
            double value = 0.0;
            // A number the parser might read otherwise (3., .5, 1.2.3) keeps the literal way.
            if (!readPlainDecimal(std::string_view(piece).substr(i, end - i), value)) return;
            const std::string name = "c" + std::to_string(constants.size());
            text += name;
            constants.push_back(value);
            i = end;
        }
        if (k < slots) text += "s" + std::to_string(k);
    }
    if (text.find('/') != std::string::npos) {
        std::string spelled;
        const std::string one = "c" + std::to_string(constants.size());
        constants.push_back(1.0);
        if (!spellDivisionAsFolded(text, one, spelled)) return;
        text = std::move(spelled);
    }
    // x first, then the row's values, then the filter's numbers.
    std::string variables = "x";
    for (std::size_t k = 0; k < slots; ++k) variables += ",s" + std::to_string(k);
    for (std::size_t k = 0; k < constants.size(); ++k) variables += ",c" + std::to_string(k);
    if (hasPrefixMinus(text) || parser_.Parse(text, variables, false) != -1) return;
    usable_ = true;
    vars_.assign(1 + slots + constants.size(), 0.0);
    std::copy(constants.begin(), constants.end(), vars_.begin() + 1 + static_cast<std::ptrdiff_t>(slots));
}

double FormulaTemplate::eval(const std::vector<double>& values) {
    std::copy(values.begin(), values.end(), vars_.begin() + 1);
    return parser_.Eval(vars_.data());
}

bool readPlainDecimal(std::string_view text, double& value) {
    return readPlainNumber(text, value, false);
}

bool readPlainNumber(std::string_view text, double& value, bool signAllowed) {
    std::string_view digits = text;
    if (signAllowed && !digits.empty() && digits.front() == '-') digits.remove_prefix(1);
    if (digits.empty() || text.size() > kMaxPlainLength || !isAsciiDigit(digits.front()) ||
        !isAsciiDigit(digits.back())) {
        return false;
    }
    bool point = false;
    for (const char c : digits) {
        if (c == '.') {
            if (point) return false;
            point = true;
        } else if (!isAsciiDigit(c)) {
            return false;
        }
    }
    // from_chars rounds correctly, as the parser's reading of a literal does.
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size();
}

}  // namespace vantor
