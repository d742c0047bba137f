// Character-level passes over filter text. They know nothing of fields or
// values: quoting is tracked only as far as each pass needs it.
#include "filter/passes.h"

#include "text/toolkit.h"

namespace vantor {
namespace {

// Bytes above 127 are UTF-8 pieces of words in other scripts, so they count
// as letters and an apostrophe before them stays inside the quoted text.
bool isLetterByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
}

bool isAsciiAlnum(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Operator characters lose the spaces next to them. "!" followed by "=" or
// "~" (or ending the text) is half of an operator; elsewhere it is a
// negation that may stand apart, so its spaces are kept.
bool isOperatorChar(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c <= ' ' || c >= 0x7F || isAsciiAlnum(c)) return false;  // controls and UTF-8 bytes are plain
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
            if (!inside) {
                inside = true;
            } else {
                // An apostrophe before a letter is part of a word (don't), not the end of the value.
                const bool letterNext = i + 1 < text.size() && isLetterByte(static_cast<unsigned char>(text[i + 1]));
                if (!letterNext) inside = false;
            }
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
