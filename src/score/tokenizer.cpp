// A one-pass character scanner: the token being filled is cut wherever the
// text turns from a word into operator text or back. Joining the tokens gives
// the normalised input with each age label replaced by its expression. It
// does not look names up: the classification (math_filter.cpp) does.
#include "score/tokenizer.h"

#include "filter/field_catalogue.h"
#include "filter/passes.h"
#include "text/ascii.h"
#include "text/quoted_text.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

constexpr int kNoClass = -1;
constexpr int kWord = 0;
constexpr int kOperator = 1;
constexpr int kNumber = 2;

// The class of the character at i, or kNoClass for spaces and control
// characters, which leave the current class as it is.
int classAt(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // The digit of custom1..custom5 belongs to the word, not to a number.
    const bool afterCustom = i >= 6 && text.substr(i - 6, 6) == "custom";
    if (isLetterByte(c) || c == '\'' || c == '"' || c == '#' || afterCustom) return kWord;
    if (isAsciiDigit(c) || c == '.') return kNumber;
    if (isAsciiPunct(c)) return kOperator;
    return kNoClass;
}

// One scan's memories, named as the rules name them: the token being
// filled, and the classes of the current character and the two before it.
struct Scan {
    TokenList list;
    std::string current;
    int prev2 = kNoClass, prev = kNoClass, cur = kNoClass;

    void close(int flag) {
        list.tokens.push_back(Token{std::move(current), flag});
        current.clear();
    }
    void shift() {
        prev2 = prev;
        prev = cur;
    }
};

// A special word at i, "if(" first, then the ages in catalogue order; tried
// before the character's class is looked at. Returns how many characters it took, 0 when none starts here. "if" glued to
// its "(" is matched exactly (lower case), and only the word is taken: the
// "(" is then scanned like any character.
std::size_t takeSpecialWord(Scan& s, std::string_view in, std::size_t i, std::string_view today) {
    if (in.substr(i).starts_with(kIfFunction) && in.substr(i + kIfFunction.size()).starts_with('(')) {
        // "if" joins the operator text around it and leaves the class memories alone.
        s.current += kIfFunction;
        return kIfFunction.size();
    }
    for (const AgeField& age : ageFields()) {
        if (!startsWithIgnoreAsciiCase(in.substr(i), age.label)) continue;
        // "(" today "-", then the date field as a name, then ")" opens the next token.
        s.current.append("(").append(today).append("-");
        s.close(kOperator);
        s.current.assign(age.date->label);
        s.close(kWord);
        s.current = ")";
        s.cur = kOperator;
        return age.label.size();
    }
    return 0;
}

// Whether the token being filled ends in front of this character, and with
// which flag: kNoCut when it goes on.
constexpr int kNoCut = -2;
int cutFlag(const Scan& s) {
    if (s.current.empty()) return kNoCut;
    // A word ending in one digit before an operator (custom1>5) is still a name.
    const bool wordDigitOperator = s.prev2 == kWord && s.prev == kNumber && s.cur == kOperator;
    const bool cut = (s.prev == kWord && s.cur == kOperator) || (s.prev == kOperator && s.cur == kWord) ||
                     wordDigitOperator;
    if (!cut) return kNoCut;
    if (isFunctionName(s.current)) return kOperator;
    return wordDigitOperator ? kWord : s.prev;
}

}  // namespace

TokenList exptokenize2(std::string& text, std::string_view today) {
    stripspacesAroundOperators2(text);
    const std::string_view in = text;
    Scan s;
    bool trySpecialWords = true;
    // The end of the text is visited like one more character: it is how the
    // ")" after a trailing age label takes the operator flag.
    std::size_t i = 0;
    while (i <= in.size()) {
        if (trySpecialWords && i < in.size()) {
            if (const std::size_t taken = takeSpecialWord(s, in, i, today)) {
                i += taken;
                // Deliberate: the character after a special word is not tried as
                // one unless a cut comes first (lastplayedagelastplayedage leaves
                // the second label as a name).
                trySpecialWords = false;
                continue;
            }
        }
        trySpecialWords = true;
        if (i < in.size()) {
            const int cls = classAt(in, i);
            if (cls != kNoClass) s.cur = cls;
        }
        if (const int flag = cutFlag(s); flag != kNoCut) {
            s.close(flag);
            s.shift();
            continue;  // the same character again, from the special words on
        }
        if (i < in.size()) s.current.push_back(in[i]);
        s.shift();
        ++i;
    }
    // The last token is kept even when empty and is not compared with the function names.
    s.close(s.prev);

    for (const auto& token : s.list.tokens) {
        if (token.flag == tokenflag::name) ++s.list.nameCount;
    }
    return std::move(s.list);
}

}  // namespace vantor
