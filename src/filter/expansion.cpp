// Four passes over the operator split of the filter, each with its own quote
// tracking, then two clean-ups of the "&" that blanks inside parentheses
// leave behind. Output is built by appending, so its length is not bounded.
// It rejects nothing: an odd word is quoted or left bare for later stages.
#include "filter/expansion.h"

#include <algorithm>
#include <vector>

#include "filter/field_catalogue.h"
#include "filter/passes.h"
#include "text/quoted_text.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

using Tokens = std::vector<std::string>;

bool isOneOf(std::string_view token, std::initializer_list<std::string_view> set) {
    return std::find(set.begin(), set.end(), token) != set.end();
}

// The quote state after token k: the apostrophe rule, with the next token's
// first byte as the character after the quote.
bool quoteStateAfter(const Tokens& tokens, std::size_t k, bool inside) {
    if (tokens[k] != "'") return inside;
    const bool letterNext = k + 1 < tokens.size() && !tokens[k + 1].empty() &&
                            isLetterByte(static_cast<unsigned char>(tokens[k + 1].front()));
    return insideAfterApostrophe(inside, letterNext);
}

int fieldCode(const std::string& token) {
    std::string label = token;  // MMlabelToNumber lower-cases its argument
    return MMlabelToNumber(label);
}

// Pass 1: keywords become operators. Quotes are not consulted, so a whole
// word "and" inside a quoted value becomes "&" too (rock and roll).
void replaceKeywords(Tokens& tokens) {
    for (auto& token : tokens) {
        lowercase(token);
        if (token == "and") token = "&";
        else if (token == "or") token = "|";
        else if (token == "contains") token = "~";
    }
}

// Pass 2: every bare word that is no field, function, number or operator is
// put between apostrophes, except right after a numeric field and its operator.
std::string quoteBareWords(const Tokens& tokens) {
    std::string out;
    bool inside = false;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const std::string& token = tokens[k];
        inside = quoteStateAfter(tokens, k, inside);
        if (inside) {
            out += token;
            continue;
        }
        const bool keep =
            fieldCode(token) >= 0 ||
            token == kIfFunction || isFunctionName(token) ||
            (isnumeric(token) && (k == 0 || (tokens[k - 1] != "=" && tokens[k - 1] != "~"))) ||
            isOneOf(token, {"=", "~", "<", ">", "&", "|", "(", ")", "!", " ", "'", ">=", "<=", "!=", "!~", "+",
                            "-", "*", "/", "^", ","}) ||
            // year=1990 and bpm>fast stay bare; idmedia is not in this numeric set.
            (k >= 2 && isExpansionNumeric(fieldCode(tokens[k - 2])));
        if (keep) {
            out += token;
        } else {
            out += '\'';
            out += token;
            out += '\'';
        }
    }
    return out;
}

// Pass 3: an opening quote not preceded by a comparison is a search in all text fields.
std::string prefixAnyfield(const Tokens& tokens) {
    std::string out;
    bool inside = false;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const std::string& token = tokens[k];
        const bool opening = token == "'" && !inside;
        if (opening && (k == 0 || !isOneOf(tokens[k - 1], {"=", "~", "!=", "!~"}))) {
            out.append(kAnyfieldLabel).append("~");
        }
        out += token;
        inside = quoteStateAfter(tokens, k, inside);
    }
    return out;
}

// Pass 4: a blank outside quoted text is an implicit and.
std::string writeImplicitAnds(const Tokens& tokens) {
    std::string out;
    bool inside = false;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        if (tokens[k] == " " && !inside) out += '&';
        else out += tokens[k];
        inside = quoteStateAfter(tokens, k, inside);
    }
    return out;
}

}  // namespace

std::string easyFormulaToFullRedone(std::string& text) {
    stripspacesAroundOperators2(text);
    Tokens tokens = splitItUp(text);
    replaceKeywords(tokens);

    std::string quoted = quoteBareWords(tokens);
    stripspacesAroundOperators2(quoted);
    std::string prefixed = prefixAnyfield(splitItUp(quoted));
    std::string expanded = writeImplicitAnds(splitItUp(prefixed));

    // Blanks just inside parentheses left an "&" there. Deliberate: quoted
    // values are not spared, so saved filters keep expanding as they always have.
    replace(expanded, "&)", ")");
    replace(expanded, "(&", "(");
    return expanded;
}

}  // namespace vantor
