// Reading small regular files whole, with a reason for every refusal, and
// the rotation's reader that prints its notice.
#include "support/read_file.h"

#include <limits>

#include "platform/files.h"

namespace vantor {

namespace fs = std::filesystem;

std::string kindName(fs::file_type kind) {
    switch (kind) {
        case fs::file_type::regular: return "";
        case fs::file_type::directory: return "a folder";
        case fs::file_type::fifo: return "a FIFO";
        case fs::file_type::character:
        case fs::file_type::block: return "a device";
        case fs::file_type::socket: return "a socket";
        default: return "an unusual file";
    }
}

FileText readFileText(const std::string& path, std::uint64_t maxBytes) {
    FileText read;
    // Looked at before it is opened: opening a device can already do something.
    const platform::FileStatus status = platform::fileStatus(path);
    const fs::file_type kind = status.type;
    if (kind == fs::file_type::not_found || kind == fs::file_type::none) {
        read.absent = kind == fs::file_type::not_found;
        read.failure = platform::errorText(status.error);
        return read;
    }
    if (kind != fs::file_type::regular) {
        read.failure = "it is " + kindName(kind) + ", not a regular file";
        return read;
    }
    // Opened without blocking and checked again, for a file swapped since the look.
    platform::FileRead file = platform::readRegularFile(path, maxBytes);
    if (file.kind != fs::file_type::regular && file.error == 0) {
        read.failure = "it is " + kindName(file.kind) + ", not a regular file";
    } else if (file.error != 0) {
        read.absent = file.kind == fs::file_type::not_found;
        read.failure = platform::errorText(file.error);
    } else if (file.tooLarge) {
        read.failure = "it is larger than " + std::to_string(maxBytes >> 20) + " MB";
    } else {
        read.text = std::move(file.content);
    }
    return read;
}

std::optional<std::string> readWholeFile(const std::string& path) {
    return readFileText(path, std::numeric_limits<std::uint64_t>::max()).text;
}

std::string readfile(FileText read, const std::string& shownAs, std::ostream& out, std::ostream& err) {
    if (read.text) return std::move(*read.text);
    out << "\n*** Can't open file: " << shownAs << " ***\n";
    err << "vantor: cannot read " << shownAs << ": " << read.failure << "\n";
    return "end";
}

std::string readfile(const std::string& path, const std::string& shownAs, std::ostream& out, std::ostream& err) {
    return readfile(readFileText(path), shownAs, out, err);
}

}  // namespace vantor
