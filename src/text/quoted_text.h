// The two byte rules by which both filter languages tell where quoted text
// ends: what counts as a letter, and when an apostrophe closes a value. The
// passes that track quotes (minusToNot, the expansion) and the tokenizer's
// word class read them from here; nothing here walks a text.
#pragma once

#include "text/ascii.h"

namespace vantor {

// A letter to the filters: A-Z, a-z, and every byte from 0x80 up, so that a
// UTF-8 word in another script stays one word and inside its quotes.
constexpr bool isLetterByte(unsigned char c) {
    return isAsciiAlpha(c) || c >= 0x80;
}

// The quote state after an apostrophe: outside, it opens a value; inside, it
// closes the value unless a letter follows, so the apostrophe of don't stays
// inside. The end of the text counts as no letter.
constexpr bool insideAfterApostrophe(bool inside, bool letterNext) { return !inside || letterNext; }

}  // namespace vantor
