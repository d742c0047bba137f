// A one-pass character scanner: the token being filled is cut wherever the
// text turns from a word into operator text or back. Joining the tokens gives
// the normalised input with each age label replaced by its expression.
#include "filter/tokenizer.h"

#include <array>
#include <optional>

#include "filter/field_catalogue.h"
#include "filter/passes.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

constexpr int kNoClass = -1;
constexpr int kWord = 0;
constexpr int kOperator = 1;
constexpr int kNumber = 2;

struct AgeLabel {
    std::string_view label;
    std::string_view column;
};

// Tried in this order at every position.
constexpr std::array kAgeLabels = {
    AgeLabel{"lastplayedage", "lasttimeplayed"},
    AgeLabel{"dateaddedage", "dateadded"},
    AgeLabel{"filemodifiedage", "filemodified"},
};

std::optional<AgeLabel> ageLabelAt(std::string_view text, std::size_t i) {
    for (const auto& age : kAgeLabels) {
        if (equalsIgnoreAsciiCase(text.substr(i, age.label.size()), age.label)) return age;
    }
    return std::nullopt;
}

// The class of the character at i, or kNoClass for spaces and control
// characters, which leave the current class as it is.
int classAt(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // Bytes above 127 count as letters so words in other scripts stay whole.
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
    // The digit of custom1..custom5 belongs to the word, not to a number.
    const bool afterCustom = i >= 6 && text.substr(i - 6, 6) == "custom";
    if (letter || c == '\'' || c == '"' || c == '#' || afterCustom) return kWord;
    if ((c >= '0' && c <= '9') || c == '.') return kNumber;
    if (c > ' ' && c < 0x7F) return kOperator;
    return kNoClass;
}

}  // namespace

TokenList exptokenize2(std::string& text, std::string_view today) {
    stripspacesAroundOperators2(text);
    const std::string_view in = text;

    TokenList list;
    std::string current;
    auto close = [&](int flag) {
        list.tokens.push_back(Token{std::move(current), flag});
        current.clear();
    };

    int prev2 = kNoClass, prev = kNoClass, cur = kNoClass;
    bool trySpecialWords = true;
    // The end of the text is visited like one more character: it is how the
    // ")" after a trailing age label takes the operator flag.
    std::size_t i = 0;
    while (i <= in.size()) {
        if (trySpecialWords && i < in.size()) {
            if (in.compare(i, 3, "if(") == 0) {
                // "if" joins the operator text around it and leaves the class memories alone.
                current += "if";
                i += 2;
                trySpecialWords = false;
                continue;
            }
            if (const auto age = ageLabelAt(in, i)) {
                current.push_back('(');
                current.append(today);
                current.push_back('-');
                close(kOperator);
                current.assign(age->column);
                close(kWord);
                current = ")";
                cur = kOperator;
                i += age->label.size();
                // Deliberate: the character after an age label is not tried as a
                // special word unless a cut comes first (lastplayedagelastplayedage
                // leaves the second label as a name).
                trySpecialWords = false;
                continue;
            }
        }
        trySpecialWords = true;

        if (i < in.size()) {
            const int cls = classAt(in, i);
            if (cls != kNoClass) cur = cls;
        }
        // A word ending in one digit before an operator (custom1>5) is still a name.
        const bool wordDigitOperator = prev2 == kWord && prev == kNumber && cur == kOperator;
        const bool cut = !current.empty() && ((prev == kWord && cur == kOperator) ||
                                              (prev == kOperator && cur == kWord) || wordDigitOperator);
        if (cut) {
            int flag = wordDigitOperator ? kWord : prev;
            if (isFunctionName(current)) flag = kOperator;
            close(flag);
            prev2 = prev;
            prev = cur;
            continue;  // the same character again, from the special words on
        }
        if (i < in.size()) current.push_back(in[i]);
        prev2 = prev;
        prev = cur;
        ++i;
    }
    // The last token is kept even when empty and is not compared with the function names.
    close(prev);

    for (const auto& token : list.tokens) {
        if (token.flag == tokenflag::name) ++list.nameCount;
    }
    return list;
}

}  // namespace vantor
