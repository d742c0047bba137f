// Character-level passes over filter text, shared by both filter languages.
// They know nothing of fields or values, and report nothing: quoting is
// tracked only as far as each pass needs it.
#include "filter/passes.h"

#include "text/ascii.h"
#include "text/quoted_text.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

// Operator characters lose the spaces next to them. "!" followed by "=" or
// "~" (or ending the text) is half of an operator; elsewhere it is a
// negation that may stand apart, so its spaces are kept.
bool isOperatorChar(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!isAsciiPunct(c)) return false;  // blanks, controls, letters, digits and UTF-8 bytes are plain
    switch (c) {
        case '\'': case '"': case '(': case ')':
            return false;
        case '!':
            return i + 1 == text.size() || text[i + 1] == '=' || text[i + 1] == '~';
        default:
            return true;
    }
}

}  // namespace

std::string& minusToNot(std::string& text) {
    bool inside = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\'') {
            const bool letterNext = i + 1 < text.size() && isLetterByte(static_cast<unsigned char>(text[i + 1]));
            inside = insideAfterApostrophe(inside, letterNext);
        } else if (text[i] == '-' && !inside) {
            text[i] = '!';
        }
    }
    return text;
}

void stripspacesAroundOperators2(std::string& text) {
    // Written in place: the write position never passes the read position,
    // so looking one character ahead still sees the original text.
    std::size_t out = 0;
    bool spacePending = false;
    bool prevPlain = false;  // the start counts as an operator, so leading spaces vanish
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ') {
            spacePending = true;
            continue;
        }
        const bool plain = !isOperatorChar(text, i);
        if (spacePending && plain && prevPlain) text[out++] = ' ';
        text[out++] = text[i];
        prevPlain = plain;
        spacePending = false;
    }
    text.resize(out);
}

std::vector<std::string> splitItUp(std::string_view text) {
    // Each two-character operator stands before its first character alone,
    // or "<=" would be cut into "<" and "=".
    static const std::vector<std::string_view> separators = {
        "|", "&", "'", " ", "(", ")", "#", "~", "=", "<=", ">=",
        "!=", "!~", "<", ">", "*", "/", "-", "+", "^", ",", "!",
    };
    return isplit(text, separators, true);
}

}  // namespace vantor
