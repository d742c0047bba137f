// Telling whether a result path lands on the library or one of its side
// files, or on any other SQLite database, journal or log.
#include "report/result_path.h"

#include <array>
#include <filesystem>
#include <string_view>

#include "platform/files.h"
#include "support/whole_file.h"

namespace vantor {

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

const char* sqliteSignature(const std::string& path) {
    if (platform::fileStatus(path).type != std::filesystem::file_type::regular) return nullptr;
    const platform::FileRead head = platform::readRegularFile(path, 16, true);
    for (const Signature& s : kSignatures) {
        if (head.content.starts_with(s.bytes)) return s.what;
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> libraryFileNamed(const std::string& resultPath, const std::string& libraryPath) {
    const std::string target = writeTarget(resultPath);
    if (!libraryPath.empty()) {
        // One spelling for one place, whether or not the file exists yet; on
        // Windows names match without regard to case, as the system matches them.
        const std::string asWritten = platform::settledPath(resultPath), landsIn = platform::settledPath(target);
        const std::array<std::string, 2> libraries = {libraryPath, writeTarget(libraryPath)};
        for (const LibraryFile& file : kLibraryFiles) {
            for (const std::string& library : libraries) {
                const std::string name = library + file.suffix;
                const std::string place = platform::settledPath(name);
                // By name, for files not there yet; by identity, for hard links, other mounts and short names.
                if (platform::sameName(asWritten, place) || platform::sameName(landsIn, place) ||
                    platform::sameFile(target, name)) {
                    return file.what;
                }
            }
        }
    }
    if (const char* what = sqliteSignature(target)) return what;
    return std::nullopt;
}

}  // namespace vantor
