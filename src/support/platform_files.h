// The operating system's file calls that the standard library does not
// offer: opening without blocking, exclusive creation, checked writes and an
// atomic replace. One implementation per platform, chosen by the build; the
// rules of what may be read or written live in the callers, not here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vantor::platform {

// A file read whole, or why not. `kind` is what the open found; anything but
// a regular file is refused unread.
struct FileRead {
    std::string content;
    std::filesystem::file_type kind = std::filesystem::file_type::none;
    int error = 0;          // the system's error number when an open or a read failed
    bool tooLarge = false;  // more than the bound the caller gave
};

// Opens without waiting on a FIFO or a device, and reads only a regular file
// of at most `maxBytes`, checking every read. At most `maxBytes` bytes are
// read when `prefixOnly` is set, whatever the size.
FileRead readRegularFile(const std::string& path, std::uint64_t maxBytes, bool prefixOnly = false);

// A file open for writing; closed unchecked when dropped (on failure paths).
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool isOpen() const noexcept { return handle_ >= 0; }
    // 0, or the system's error number; every byte is written or it fails.
    int write(std::string_view bytes);
    // Takes back whatever was written (in-place writes that failed).
    void truncate() noexcept;
    // 0, or the system's error number of the close (delayed write errors show here).
    int close();

private:
    friend int createNew(const std::string& path, OutputFile& file);
    friend int openExistingOrNew(const std::string& path, OutputFile& file, std::filesystem::file_type& kind);
    int handle_ = -1;
};

// Creates `path`, which must not exist (a link there counts as existing),
// with mode 0666 less the umask. 0 or the system's error number (EEXIST).
int createNew(const std::string& path, OutputFile& file);

// Opens `path` for writing in place, emptied, or creates it. Anything but a
// regular file is refused without blocking: `kind` then says what it is and
// the result is nonzero. 0 or the system's error number.
int openExistingOrNew(const std::string& path, OutputFile& file, std::filesystem::file_type& kind);

// May this process write to the existing file (its permission bits, for us)?
bool mayWrite(const std::string& path);

// Moves `from` over `to` in one step: a reader sees one or the other.
// 0 or the system's error number; `transient` when retrying can help (a
// reader holding `to` open on a system that forbids that).
int replaceFile(const std::string& from, const std::string& to, bool& transient);

// This process, for names no other run can choose.
std::uint64_t processId();

// The system's text for an error number.
std::string errorText(int error);

}  // namespace vantor::platform
