// The result file, the front end's only view of a run: one line of IDs, or
// one error message. Both writers replace the file whole, so a reader sees
// the earlier file or this run's, never a part (see writeWholeFile); when it
// cannot be written they print unwritableNotice and the run still ends
// with status 0. Which paths must never be written is the caller's business.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace vantor {

// What standard output says, instead of the message, when the result file
// cannot be written (or must not be: see the run driver).
inline constexpr std::string_view unwritableNotice = "Can't write file";

// The text written for an error code: the plain codes' own messages
// (code::queryFilter and the others that have one), and for every other code
// the database message followed by the code.
std::string errorFileText(int code);

// Why the last write of the result file failed, for people (as errno is for a call).
const std::string& resultWriteFailure();

// Writes the error message for `code` to `path` and prints it to `out`.
// Returns false when the file could not be written (unwritableNotice printed).
bool programerror(int code, const std::string& path, std::ostream& out);

// Writes the IDs as "%i" joined by "," with no line break; none gives an empty file.
bool intArrayToCSV(std::span<const std::int64_t> ids, const std::string& path, std::ostream& out);

}  // namespace vantor
