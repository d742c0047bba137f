// The math filter as a score for one row: classification of the name tokens
// once, then per row the formula text (or the template's values) and
// fparser's value. It neither tokenizes nor expands the filter, and it reads
// rows only through SongRow: fetching them is the selection stage's.
#include "score/math_filter.h"

#include <algorithm>

#include "filter/field_catalogue.h"
#include "platform/encoding.h"
#include "report/run_error.h"
#include "text/toolkit.h"
#include "text/utf16.h"

namespace vantor {
namespace {

// fparser descends once per parenthesis and once per prefix "-", "!" or "^"
// operand, on the stack; a long enough chain in the filter or in a column's
// text would overflow it. Texts beyond these bounds are refused as
// unparsable instead. Both stay far below what the default stack survives.
constexpr int kMaxParenthesisDepth = 1000;
constexpr int kMaxPrefixOperators = 10000;

const std::string& textAt(const std::vector<ClassifiedToken>& tokens, std::size_t at) {
    // Positions past the last token read as empty texts.
    static const std::string empty;
    return at < tokens.size() ? tokens[at].text : empty;
}

}  // namespace

bool withinNestingLimits(std::string_view formula) {
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

MathFilter::MathFilter(const TokenList& list, YearReading years) {
    tokens_.reserve(list.tokens.size());
    for (const Token& t : list.tokens) {
        ClassifiedToken c = classifyToken(t);
        if (c.operandType == operand::unknown) {
            throw RunError(code::mathFieldUnknown, "math filter: '" + c.text + "' is no field");
        }
        tokens_.push_back(std::move(c));
    }
    buildPieces();
    if (years == YearReading::Calendar) {
        for (Piece& p : pieces_) p.calendar = p.kind == Piece::Numeric && p.code == fieldcode::year;
    }
    chooseTemplate();
    for (const int code : allTextFieldCodes()) allTextColumns_.emplace_back(code, isScorerNumeric(code));
}

// Walks the tokens once, as every row would, and keeps what each step puts
// into the formula; only column values and comparison outcomes vary by row.
void MathFilter::buildPieces() {
    std::size_t i = 0;
    while (i < tokens_.size()) {
        const ClassifiedToken& token = tokens_[i];
        switch (token.operandType) {
        case operand::none:
            pieces_.push_back(Piece{.kind = Piece::Text, .text = token.text});
            ++i;
            break;
        case operand::numeric:
            pieces_.push_back(Piece{.kind = Piece::Numeric, .code = token.code});
            ++i;
            break;
        case operand::text:
        case operand::allText:
            if (std::optional<Piece> comparison = comparisonAt(i)) pieces_.push_back(std::move(*comparison));
            i += 3;
            break;
        default:
            pieces_.push_back(Piece{.kind = Piece::Refuse,
                                    .text = "math filter: the text '" + token.text +
                                            "' stands where a number belongs; text follows a text field and =, ~, "
                                            "!= or !~"});
            ++i;
            break;
        }
    }
}

// Token i, a text field or anyfield, compared with token i + 2 by the
// operator at i + 1. Nothing when the operator is none of ~ = !~ !=: such a
// comparison decides nothing and leaves no text at all.
std::optional<MathFilter::Piece> MathFilter::comparisonAt(std::size_t i) const {
    const ClassifiedToken& left = tokens_[i];
    Piece piece{.kind = Piece::Comparison, .code = left.code, .leftAll = left.operandType == operand::allText};
    // The right operand: a text that is no label stands for itself
    // (lower-cased, as the lookup leaves it), a text or anyfield token for the
    // row's value; anything else (a numeric field, a literal that spells a
    // label) cannot be compared as text. An empty label is safe: past the last
    // token textAt gives "", and MMlabelToNumber("") is -1, so tokens_[i + 2]
    // is read below only when it exists.
    std::string label = textAt(tokens_, i + 2);
    if (MMlabelToNumber(label) == fieldcode::unknown) {
        piece.text = label;
        piece.needle16 = platform::utf16FromUtf8(piece.text);
        if (piece.needle16 && !wellFormedUtf16(*piece.needle16)) piece.needle16.reset();
    } else if (const ClassifiedToken& right = tokens_[i + 2];
               right.operandType == operand::text || right.operandType == operand::allText) {
        piece.rightField = true;
        piece.rightCode = right.code;
        piece.rightAll = right.operandType == operand::allText;
    } else {
        return Piece{.kind = Piece::Refuse, .text = "math filter: '" + right.text + "' cannot be compared as text"};
    }
    const std::string& op = textAt(tokens_, i + 1);
    if (op == "~") {
        piece.op = Piece::Contains;
    } else if (op == "=") {
        piece.op = Piece::Equals;
    } else if (op == "!~") {
        piece.op = Piece::NotContains;
    } else if (op == "!=") {
        piece.op = Piece::NotEquals;
    } else {
        return std::nullopt;
    }
    piece.searchColumns = piece.needle16 && (piece.op == Piece::Contains || piece.op == Piece::NotContains) &&
                          piece.needle16->find(u',') == std::u16string::npos;
    // SQLite writes an integer as digits after an optional "-", a real as
    // "%!.15g" does ("-1.5e+300", "Inf"); lower-casing adds "i" and "n".
    // Letters of "NaN" are counted in too, though no stored real is one.
    piece.passesNumbers = piece.searchColumns &&
                          piece.needle16->find_first_not_of(u"0123456789+-.eEiInNfFaA") != std::u16string::npos;
    return piece;
}

// A template parsed once, when the formula qualifies for one: its fixed text
// with a slot wherever a row puts a value in (FormulaTemplate decides).
void MathFilter::chooseTemplate() {
    FormulaShape shape;
    std::string fixed;
    for (const Piece& p : pieces_) {
        if (p.kind == Piece::Refuse) return;  // every row fails the same way: no template
        if (p.kind == Piece::Text) {
            shape.appendText(p.text);
            fixed += p.text;
        } else {
            shape.appendSlot();
        }
    }
    // Plain values add no parenthesis or prefix, so the fixed text decides the limits.
    if (!withinNestingLimits(fixed)) return;
    auto compiled = std::make_unique<FormulaTemplate>(shape);
    if (compiled->usable()) {
        template_ = std::move(compiled);
        slotValues_.assign(shape.slotCount(), 0.0);
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

// A text field's value, or the all-text-fields value for anyfield. NULL reads
// as the empty text.
std::string_view MathFilter::fieldText(const SongRow& row, int code, bool all, std::string& buffer) const {
    if (all) {
        BuildAllFields(row, buffer);
        return buffer;
    }
    return row.text(code).value_or(std::string_view{});
}

std::optional<std::string_view> MathFilter::numberText(const Piece& piece, const SongRow& row) const {
    // Only a stored number can be a date: a text compares as itself in SQL
    // too. Its type is asked first, while SQLite has converted nothing.
    const bool number = piece.calendar && row.holdsNumber(piece.code);
    const auto text = row.text(piece.code);
    if (number && text) {
        if (const auto year = calendarYearOf(*text, year_)) return year;
    }
    return text;
}

// A text comparison's outcome for the row: the left field lower-cased,
// the right side as it stands.
bool MathFilter::decide(const Piece& piece, const SongRow& row) const {
    const std::string_view left = fieldText(row, piece.code, piece.leftAll, left_);
    if (left.data() != left_.data()) left_.assign(left);
    lowercase(left_);
    // The right text is used as it stands: a literal is lower case already, a
    // right-hand field keeps its stored case.
    const std::string_view right =
        piece.rightField ? fieldText(row, piece.rightCode, piece.rightAll, right_) : std::string_view(piece.text);
    switch (piece.op) {
    case Piece::Contains: return contains(left_, right);
    case Piece::Equals: return equalsIgnoreAsciiCase(left_, right);
    case Piece::NotContains: return !contains(left_, right);
    case Piece::NotEquals: return !equalsIgnoreAsciiCase(left_, right);
    }
    return false;
}

// A text field's units, or the all-text-fields value's, ASCII lower-cased
// when `lower`; NULL reads as the empty text. `units` is set to the result:
// the row's own units when they need no change, else `buffer`. False when
// the units would not give what SQLite's UTF-8 gives: a value not readable
// in place, or a lone surrogate, which SQLite's conversion folds into a
// shape of its own.
bool MathFilter::fieldUnits(const SongRow& row, int code, bool all, bool lower, std::u16string& buffer,
                            std::u16string_view& units) const {
    if (all) {
        if (!BuildAllFields16(row, buffer, lower)) return false;
        units = buffer;
        return true;
    }
    const Utf16Text text = row.text16(code);
    if (text.kind == Utf16Text::Unfit) return false;
    if (!lower) {
        units = text.units;
        return wellFormedUtf16(units);
    }
    if (!assignUnits(buffer, text.units, true)) return false;
    units = buffer;
    return true;
}

// decide() over UTF-16 units. Well-formed UTF-16 and its UTF-8 are the same
// characters, ASCII lower-casing touches the same ones in both, and a
// well-formed needle matches at character boundaries in either: so the
// answer is decide()'s whenever both sides are well-formed. Otherwise Unsure,
// and the caller asks decide().
MathFilter::Decided MathFilter::decide16(const Piece& piece, const SongRow& row) const {
    if (piece.searchColumns) return searchColumns16(piece, row);
    if (!piece.rightField && !piece.needle16) return Decided::Unsure;
    std::u16string_view left, right;
    if (!fieldUnits(row, piece.code, piece.leftAll, true, left16_, left)) return Decided::Unsure;
    // The right text as it stands, as decide() takes it.
    if (!piece.rightField) {
        right = *piece.needle16;
    } else if (!fieldUnits(row, piece.rightCode, piece.rightAll, false, right16_, right)) {
        return Decided::Unsure;
    }
    bool holds = false;
    switch (piece.op) {
    case Piece::Contains: holds = contains(left, right); break;
    case Piece::Equals: holds = equalsIgnoreAsciiCase(left, right); break;
    case Piece::NotContains: holds = !contains(left, right); break;
    case Piece::NotEquals: holds = !equalsIgnoreAsciiCase(left, right); break;
    }
    return holds ? Decided::Yes : Decided::No;
}

// A literal without a comma searched in the field's units, or in each
// column of anyfield's in turn, with nothing copied. The first well-formed
// column that holds it decides: SQLite converts every column on its own, so
// the UTF-8 value holds that column's text unchanged, whatever the columns
// after it hold. A column without it must be well-formed too, or its UTF-8
// could hold what its units do not.
MathFilter::Decided MathFilter::searchColumns16(const Piece& piece, const SongRow& row) const {
    const auto search = [&](int code, bool numeric) {
        // Not formatting the number spares SQLite a printf per column and
        // row. Only the catalogue's number columns are asked: a text column
        // holding a number is merely read as text.
        if (numeric && piece.passesNumbers && row.holdsNumber(code)) return Search::Absent;
        const Utf16Text text = row.text16(code);
        return text.kind == Utf16Text::Unfit ? Search::IllFormed : findInLowercased(text.units, *piece.needle16);
    };
    Search result = Search::Absent;
    if (!piece.leftAll) {
        result = search(piece.code, isScorerNumeric(piece.code));
    } else {
        for (const auto& [code, numeric] : allTextColumns_) {
            result = search(code, numeric);
            if (result != Search::Absent) break;
        }
    }
    if (result == Search::IllFormed) return Decided::Unsure;
    return (result == Search::Found) == (piece.op == Piece::Contains) ? Decided::Yes : Decided::No;
}

void MathFilter::formulaText(const SongRow& row, std::string& out) const { appendFormula(row, out, nullptr); }

void MathFilter::appendFormula(const SongRow& row, std::string& out, const std::vector<char>* decided) const {
    out.clear();
    std::size_t comparison = 0;
    for (const Piece& piece : pieces_) {
        switch (piece.kind) {
        case Piece::Text:
            out += piece.text;
            break;
        case Piece::Numeric:
            // A NULL number reads as 0, so a song lacking a value still scores.
            out += numberText(piece, row).value_or("0");
            break;
        case Piece::Comparison: {
            const bool holds = decided != nullptr ? (*decided)[comparison] != 0 : decide(piece, row);
            ++comparison;
            out += holds ? '1' : '0';
            break;
        }
        case Piece::Refuse:
            throw RunError(code::mathFilter, piece.text);
        }
    }
}

// The literal way: the row's formula text parsed and evaluated anew. A text
// the parser refuses, or one nested past what it can take, ends the run.
double MathFilter::parseAndEval(const std::string& formula) {
    if (!withinNestingLimits(formula)) {
        throw RunError(code::mathFilter, "math filter: '" + formula + "' is nested too deeply to parse");
    }
    if (const int at = parser_.Parse(formula, "x", false); at != -1) {
        throw RunError(code::mathFilter, "math filter: the parser refused '" + formula + "' at position " +
                                             std::to_string(at) + " (" + parser_.ErrorMsg() + ")");
    }
    // x is declared only because the parser wants a variable list; a filter
    // cannot name it, so its value does not matter.
    const double unused[1] = {0.0};
    return parser_.Eval(unused);
}

double MathFilter::score(const SongRow& row) {
    // Comparisons are decided once per row, for the template and the text
    // alike. A UTF-16 library's texts are compared as the units it stores,
    // sparing SQLite a conversion of every column; a comparison the units
    // cannot decide reads UTF-8, as every row did before. That read converts
    // its columns in place: the units decide16 looked at are dead from then
    // on and must never be used again (no view of them outlives decide16;
    // left16_ and right16_ hold copies), and the row answers Unfit when such
    // a column is asked for as units again.
    decided_.clear();
    const bool units = row.holdsUtf16();
    for (const Piece& piece : pieces_) {
        if (piece.kind != Piece::Comparison) continue;
        Decided d = units ? decide16(piece, row) : Decided::Unsure;
        if (d == Decided::Unsure) d = decide(piece, row) ? Decided::Yes : Decided::No;
        decided_.push_back(d == Decided::Yes ? 1 : 0);
    }
    if (template_) {
        bool plain = true;
        std::size_t k = 0, comparison = 0;
        for (const Piece& piece : pieces_) {
            if (piece.kind == Piece::Numeric) {
                const auto text = numberText(piece, row);
                if (!text) {
                    slotValues_[k++] = 0.0;
                } else if (!readPlainNumber(*text, slotValues_[k++], true)) {
                    plain = false;
                    break;
                }
            } else if (piece.kind == Piece::Comparison) {
                slotValues_[k++] = decided_[comparison++] != 0 ? 1.0 : 0.0;
            }
        }
        if (plain) {
            const double value = template_->eval(slotValues_);
            // A zero may carry the other sign than folding gives it, and NaN
            // any payload: those rows take the literal way.
            if (value != 0.0 && value == value) return value;
        }
    }
    appendFormula(row, formula_, &decided_);
    if (const double* known = cache_.find(formula_)) return *known;
    const double value = parseAndEval(formula_);
    cache_.store(formula_, value);
    return value;
}

double MathFilter::scoreLiteral(const SongRow& row) {
    formulaText(row, formula_);
    return parseAndEval(formula_);
}

}  // namespace vantor
