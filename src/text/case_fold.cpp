// Case folding through the committed table: a binary search over runs of
// code points that fold by the same offset, and a UTF-8 walk around it.
#include "text/case_fold.h"

#include <algorithm>
#include <iterator>

namespace vantor {
namespace {

struct FoldRun {
    std::int32_t first, last, step, offset;
};

constexpr FoldRun kFoldRuns[] = {
#include "text/case_fold_table.inc"
};

// The length of the UTF-8 sequence at `s` and its code point, or 0 when the
// bytes there are no valid sequence (overlong forms and surrogates included).
std::size_t decode(std::string_view s, std::int32_t& c) {
    const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b0 = byte(0);
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    std::size_t n = 0;
    std::int32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) n = 2, c = b0 & 0x1F, min = 0x80;
    else if ((b0 & 0xF0) == 0xE0) n = 3, c = b0 & 0x0F, min = 0x800;
    else if ((b0 & 0xF8) == 0xF0) n = 4, c = b0 & 0x07, min = 0x10000;
    else return 0;
    if (s.size() < n) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return n;
}

// Appends the code point as UTF-8; decode() has let only valid ones through.
void encode(std::int32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::int32_t foldCodePoint(std::int32_t c) {
    // The last run starting at or before c.
    const auto after = std::upper_bound(std::begin(kFoldRuns), std::end(kFoldRuns), c,
                                        [](std::int32_t v, const FoldRun& run) { return v < run.first; });
    if (after == std::begin(kFoldRuns)) return c;
    const FoldRun& run = *std::prev(after);
    if (c > run.last || (c - run.first) % run.step != 0) return c;
    return c + run.offset;
}

std::string foldCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        std::int32_t c = 0;
        const std::size_t n = decode(utf8, c);
        if (n == 0) {
            out += utf8.front();
            utf8.remove_prefix(1);
            continue;
        }
        encode(foldCodePoint(c), out);
        utf8.remove_prefix(n);
    }
    return out;
}

}  // namespace vantor
