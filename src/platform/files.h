// The operating system's file calls that the standard library does not
// offer, or offers with the wrong sharing: looking at a file without opening
// it, opening without blocking, exclusive creation, checked writes, an atomic
// replace, a copy, and telling names and files apart. Every path is UTF-8 and
// reaches the system through nativePath. One implementation per system; the
// rules of what may be read or written live in the callers, not here.
//
// Error numbers are the system's own (errno on Linux, GetLastError on
// Windows); errorText turns one into words, alreadyExists recognises one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vantor::platform {

// What a path names, looked at without opening it: opening a device can
// already do something. On Windows a device name (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9, in any case, with or without an extension, in any
// folder) is a device, and a named pipe is a FIFO, whatever the disk holds.
// `error` is set when the kind could not be told (`type` is then none) and
// for a path that is not there (not_found).
struct FileStatus {
    std::filesystem::file_type type = std::filesystem::file_type::none;
    std::filesystem::perms permissions = std::filesystem::perms::unknown;  // unknown on Windows
    int error = 0;
};
// The status of what the path names, links followed (see above).
FileStatus fileStatus(const std::string& path);

// A file read whole, or why not. `kind` is what the open found; anything but
// a regular file is refused unread.
struct FileRead {
    std::string content;
    std::filesystem::file_type kind = std::filesystem::file_type::none;
    int error = 0;          // the system's error number when an open or a read failed
    bool tooLarge = false;  // more than the bound the caller gave
};

// Opens without waiting on a FIFO or a device, sharing the file so that its
// owner may go on writing, renaming or deleting it, and reads only a regular
// file of at most `maxBytes`, checking every read. At most `maxBytes` bytes
// are read when `prefixOnly` is set, whatever the size.
FileRead readRegularFile(const std::string& path, std::uint64_t maxBytes, bool prefixOnly = false);

// A file open for writing; closed unchecked when dropped (on failure paths).
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool isOpen() const noexcept { return handle_ != kClosed; }
    // 0, or the system's error number; every byte is written or it fails.
    int write(std::string_view bytes);
    // Takes back whatever was written (in-place writes that failed).
    void truncate() noexcept;
    // 0, or the system's error number of the close (delayed write errors show here).
    int close();

private:
    friend int createNew(const std::string& path, OutputFile& file);
    friend int openExistingOrNew(const std::string& path, OutputFile& file, std::filesystem::file_type& kind);
    friend int copyFile(const std::string& from, const std::string& to);
    // A descriptor on Linux, a HANDLE on Windows; both systems' "none" is -1.
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;
};

// Creates `path`, which must not exist (a link there counts as existing),
// with mode 0666 less the umask. 0 or the system's error number.
int createNew(const std::string& path, OutputFile& file);

// True for the error createNew gives when the name is taken.
bool alreadyExists(int error);

// Opens `path` for writing in place, emptied, or creates it. Anything but a
// regular file is refused without blocking: `kind` then says what it is and
// the result is nonzero. 0 or the system's error number.
int openExistingOrNew(const std::string& path, OutputFile& file, std::filesystem::file_type& kind);

// May this process write to the existing file (its permission bits or its
// read-only attribute, for us)?
bool mayWrite(const std::string& path);

// Moves `from` over `to` in one step: a reader sees one or the other.
// 0 or the system's error number; `transient` when retrying can help (a
// reader holding `to` open without letting it be replaced, on Windows).
int replaceFile(const std::string& from, const std::string& to, bool& transient);

// Copies the regular file `from` over `to`, which only this user may then
// read and write; `from` is read with sharing, so its owner may go on
// writing it. 0 or the system's error number.
int copyFile(const std::string& from, const std::string& to);

// One spelling for each place, whether or not the file is there yet:
// absolute, "." and ".." resolved, links in the folders followed; on
// Windows also short names, a stream suffix (":name") and trailing dots
// and blanks, which all name the same file.
std::string settledPath(const std::string& path);

// Whether two settled paths name the same place, as the file system compares
// names: byte for byte on Linux, without regard to case on Windows.
bool sameName(const std::string& a, const std::string& b);

// Whether both paths exist and are one file: the same device and inode on
// Linux, the same volume serial number and file index on Windows.
bool sameFile(const std::string& a, const std::string& b);

// This process, for names no other run can choose.
std::uint64_t processId();

// The system's text for an error number.
std::string errorText(int error);

}  // namespace vantor::platform
