// Whole-file reading without line-end translation, as the rotation mode needs.
#pragma once

#include <optional>
#include <string>

namespace vantor {

// The file's bytes, or nothing when it cannot be opened. A directory or an
// unreadable path counts as "cannot be opened".
std::optional<std::string> readWholeFile(const std::string& path);

}  // namespace vantor

#include <ostream>

namespace vantor {

// The rotation mode's reader: the content, or the text "end" after printing
// "\n*** Can't open file: PATH ***\n" to `out`.
std::string readfile(const std::string& path, std::ostream& out);

// The same, for a file opened at `path` but known to the user as `shownAs`
// (a name relative to a working directory): the message names `shownAs`.
std::string readfile(const std::string& path, const std::string& shownAs, std::ostream& out);

}  // namespace vantor
