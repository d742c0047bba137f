// One pass over the bytes: the C0 controls and DEL are single bytes, the C1
// controls are C2 80 to C2 9F, and the two separators E2 80 A8 and E2 80 A9.
#include "text/one_line.h"

#include "text/ascii.h"

namespace vantor {

std::string oneLine(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = [&](std::size_t at) { return at < text.size() ? static_cast<unsigned char>(text[at]) : 0; };
        const unsigned char c = byte(i);
        if (isAsciiControl(c)) {
            line += ' ';
        } else if (c == 0xC2 && byte(i + 1) >= 0x80 && byte(i + 1) <= 0x9F) {
            line += ' ';
            i += 1;
        } else if (c == 0xE2 && byte(i + 1) == 0x80 && (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9)) {
            line += ' ';
            i += 2;
        } else {
            line += static_cast<char>(c);
        }
    }
    return line;
}

}  // namespace vantor
