// Which result paths would land on the library. The result file is replaced
// whole, so a result path naming the library, its journal, its log or its
// shared memory would destroy the host's data; those are refused, by any
// spelling. Writing the file is not done here.
#pragma once

#include <optional>
#include <string>

namespace vantor {

// What the result path names that must not be written, such as "the
// library" or "the library's write-ahead log"; nothing when it is free.
// Besides the files of `libraryPath` (as given, and where its links lead,
// since SQLite names its side files after that), any existing SQLite
// database, journal or log is refused: a result file is never one, and
// the library may have been named by a spelling SQLite reads otherwise.
std::optional<std::string> libraryFileNamed(const std::string& resultPath, const std::string& libraryPath);

}  // namespace vantor
