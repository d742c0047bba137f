// Writing a file whole: the new content goes into a temporary file beside it,
// which then replaces it in one step, so a reader sees the old file or the
// new one, never a part. Only a regular file (or a path not there yet) is
// written. It does not know which files are off limits; its callers do.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vantor {

// The file a write to `path` lands in: symbolic links at its end followed,
// so the link stays and its target is replaced. UTF-8 in and out.
std::string writeTarget(const std::string& path);

struct FileWrite {
    bool written = false;
    std::string failure;  // why not, for people
};

// Replaces the file at writeTarget(path) with `content`:
// - normally a new temporary file "NAME.vantor-PID-N.tmp" in the same folder,
//   with the old file's permission bits, renamed over it;
// - when the folder allows no such file, or the rename fails (after retrying
//   for up to a second where a reader can block it), the file is written in
//   place instead, emptied first;
// - when a write or the close fails, nothing of the new content stays: the
//   temporary file goes, and so does the old file wherever the folder let us
//   make the temporary one (or an in-place write is emptied), so that an
//   earlier content cannot pass for this one.
FileWrite writeWholeFile(const std::string& path, std::string_view content);

// Receives one piece of the content: 0, or the system's error number.
using PutPiece = std::function<int(std::string_view piece)>;
// Content made a piece at a time, so that a large file never sits in memory
// whole: hands every piece to `put` in order and returns put's first error
// (0 when all went). It may be asked more than once (a retry in place) and
// must give the same bytes each time.
using ContentPieces = std::function<int(const PutPiece& put)>;

// The same replacement, with the content made in pieces.
FileWrite writeWholeFile(const std::string& path, const ContentPieces& content);

}  // namespace vantor
