#include "report/result_path.h"

#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "support/platform_files.h"
#include "support/whole_file.h"

namespace vantor {

namespace fs = std::filesystem;

namespace {

struct LibraryFile {
    const char* suffix;  // SQLite's name for it: the library's own name and this
    const char* what;
};

constexpr LibraryFile kLibraryFiles[] = {
    {"", "the library"},
    {"-journal", "the library's rollback journal"},
    {"-wal", "the library's write-ahead log"},
    {"-shm", "the library's shared-memory file"},
};

// The first bytes of SQLite's own files. A journal in the middle of a
// transaction may still show zeros; the library's journal is caught by name.
struct Signature {
    std::string_view bytes;
    const char* what;
};

constexpr Signature kSignatures[] = {
    {std::string_view("SQLite format 3\0", 16), "an SQLite database"},
    {std::string_view("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8), "an SQLite rollback journal"},
    {std::string_view("\x37\x7f\x06\x82", 4), "an SQLite write-ahead log"},
    {std::string_view("\x37\x7f\x06\x83", 4), "an SQLite write-ahead log"},
};

// One spelling for one place: links in the folders and ".." resolved,
// whether or not the file itself exists yet.
fs::path settled(const fs::path& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    fs::path canonical = fs::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : canonical;
}

const char* sqliteSignature(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return nullptr;
    const platform::FileRead head = platform::readRegularFile(path.string(), 16, true);
    for (const Signature& s : kSignatures) {
        if (head.content.starts_with(s.bytes)) return s.what;
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> libraryFileNamed(const std::string& resultPath, const std::string& libraryPath) {
    const fs::path target = writeTarget(resultPath);
    if (!libraryPath.empty()) {
        const fs::path asWritten = settled(resultPath), landsIn = settled(target);
        const std::array<fs::path, 2> libraries = {libraryPath, writeTarget(libraryPath)};
        for (const LibraryFile& file : kLibraryFiles) {
            for (const fs::path& library : libraries) {
                const fs::path name = library.string() + file.suffix;
                const fs::path place = settled(name);
                std::error_code ec;
                // By name, for files not there yet; by identity, for hard links and other mounts.
                if (asWritten == place || landsIn == place || fs::equivalent(target, name, ec)) return file.what;
            }
        }
    }
    if (const char* what = sqliteSignature(target)) return what;
    return std::nullopt;
}

}  // namespace vantor
