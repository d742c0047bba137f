// Whole-file reading without line-end translation, as the rotation mode needs.
// Only regular files are read: a FIFO, a device, a folder or a socket is
// refused at once, and so is a file past the bound, with a reason.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace vantor {

// The settings file and the ID lists are small text files the front end
// wrote; 256 MB holds some 30 million IDs. Anything larger is no such file.
inline constexpr std::uint64_t kLargestListFile = std::uint64_t{256} << 20;

// "a folder", "a FIFO", "a device", "a socket" or "an unusual file" for what
// a path names when it is not a regular file; empty for a regular file.
std::string kindName(std::filesystem::file_type kind);

// A file's bytes, or why not.
struct FileText {
    std::optional<std::string> text;
    std::string failure;  // for people, e.g. "it is a FIFO, not a regular file"
    bool absent = false;  // nothing by that name: a caller may look elsewhere
};

// The file's bytes when it is a regular file of at most maxBytes, else why not.
FileText readFileText(const std::string& path, std::uint64_t maxBytes = kLargestListFile);

// The file's bytes, of any size, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);

// The rotation mode's reader: the content, or the text "end" after printing
// "\n*** Can't open file: SHOWNAS ***\n" to `out` and the reason to `err`.
// `shownAs` is the name the user knows (a path relative to a working directory).
std::string readfile(FileText read, const std::string& shownAs, std::ostream& out, std::ostream& err);
// The same, reading `path` with readFileText first.
std::string readfile(const std::string& path, const std::string& shownAs, std::ostream& out, std::ostream& err);

}  // namespace vantor
