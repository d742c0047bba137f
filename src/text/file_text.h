// The settings file and the ID-list files as the front end's tools write
// them on Windows: UTF-8 with or without a byte-order mark, UTF-16 with one,
// or the ANSI code page. Everything inside works on UTF-8, so their bytes
// become UTF-8 as they are read; nothing else (line ends above all) changes.
#pragma once

#include <string>
#include <string_view>

namespace vantor {

// A byte-order mark decides (and is dropped): EF BB BF is UTF-8, FF FE is
// UTF-16LE, FE FF UTF-16BE. Without one, text that is UTF-8 stays as it is
// and anything else is read in the given code page. The bytes are taken, so
// text that is UTF-8 already (nearly every list) comes back in the same
// buffer: an ID list can be a few megabytes.
std::string fileTextToUtf8(std::string bytes, unsigned ansiCodePage);

// The same, in the system's ANSI code page (platform/encoding.h).
std::string fileTextToUtf8(std::string bytes);

}  // namespace vantor
