// The process's own edge: the arguments as UTF-8, and standard streams that
// carry the bytes written to them, so a documented line ends in "\n" alone,
// and that a person at a console can read.
#pragma once

#include <string>
#include <vector>

namespace vantor::platform {

// The command line as UTF-8 texts, argv[0] first. On Windows the narrow argv
// went through the ANSI code page (a "Björk" filter arrives as one byte for
// the ö, "Кино" as "????"); the UTF-16 command line is read again instead.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Standard output and standard error without line-end translation: a file
// or a pipe gets exactly the bytes written. On Windows a stream that is a
// console gets them as whole lines of UTF-16 instead (console_lines.h), so
// every character shows whatever the console's code page.
void binaryStandardStreams();

}  // namespace vantor::platform
