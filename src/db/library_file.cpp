// The run's private copy of a library with a hot journal: copied, checked
// for changes during the copy, recovered, and removed with its folder.
#include "db/library_file.h"

#include <cstdint>
#include <filesystem>
#include <system_error>
#include <utility>

#include "db/hot_journal.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/private_folder.h"

namespace vantor::db {
namespace fs = std::filesystem;
namespace {

// What tells us a file changed under us: whether it is there, its size and
// its modification time.
struct Stamp {
    bool present = false;
    std::uintmax_t size = 0;
    fs::file_time_type modified{};
    bool operator==(const Stamp&) const = default;
};

// The file's stamp now; one that is not present when the file cannot be looked at.
Stamp stampOf(const std::string& file) {
    std::error_code ec;
    Stamp stamp;
    const fs::path name = platform::nativePath(file);
    stamp.size = fs::file_size(name, ec);
    if (ec) return {};
    stamp.modified = fs::last_write_time(name, ec);
    if (ec) return {};
    stamp.present = true;
    return stamp;
}

// One file, byte for byte, made writable for the recovery; "" or why not.
std::string copyFile(const std::string& from, const std::string& to) {
    const int error = platform::copyFile(from, to);
    return error != 0 ? "cannot copy " + from + ": " + platform::errorText(error) : "";
}

// The library and its journal, copied while neither changed; "" or why not.
// A journal that is gone by now was dealt with by its owner: the library
// alone is copied.
std::string copyUnchanged(const std::string& file, const std::string& journal, const std::string& copy) {
    const std::string copyJournal = copy + "-journal";
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Stamp fileBefore = stampOf(file), journalBefore = stampOf(journal);
        std::string why = copyFile(file, copy);
        if (why.empty() && journalBefore.present) why = copyFile(journal, copyJournal);
        if (!why.empty()) return why;
        if (fileBefore.present && stampOf(file) == fileBefore && stampOf(journal) == journalBefore) return "";
        std::error_code ignored;
        fs::remove(platform::nativePath(copyJournal), ignored);
    }
    return "the library or its journal kept changing while it was copied";
}

}  // namespace

LibraryFile::LibraryFile(std::string path) : path_(std::move(path)) {}

LibraryFile::~LibraryFile() {
    if (folder_.empty()) return;
    std::error_code ignored;
    fs::remove_all(platform::nativePath(folder_), ignored);
}

bool LibraryFile::recover(const std::string& file, const std::string& journal) {
    if (std::exchange(tried_, true)) return !copy_.empty();
    // Named for a stop before it is made: a run stopped mid-copy leaves no copy.
    int error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        folder_ = platform::newPrivateFolderName(error);
        if (folder_.empty()) break;
        folderOnStop_.arm(folder_, OnStop::removeFolder);
        error = platform::makePrivateFolder(folder_);
        if (!platform::alreadyExists(error)) break;
    }
    if (error != 0) {
        folderOnStop_.disarm();
        folder_.clear();
        failure_ = "no private folder for a copy: " + platform::errorText(error);
        return false;
    }
    const std::string copy = platform::utf8Path(platform::nativePath(folder_) / "library.db");
    failure_ = copyUnchanged(file, journal, copy);
    if (failure_.empty()) failure_ = recoverCopy(copy, folder_);
    if (!failure_.empty()) return false;
    copy_ = copy;
    return true;
}

}  // namespace vantor::db
