#include "db/library_file.h"

#include <cstdint>
#include <system_error>
#include <utility>

#include "db/hot_journal.h"
#include "db/private_folder.h"

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

Stamp stampOf(const fs::path& file) {
    std::error_code ec;
    Stamp stamp;
    stamp.size = fs::file_size(file, ec);
    if (ec) return {};
    stamp.modified = fs::last_write_time(file, ec);
    if (ec) return {};
    stamp.present = true;
    return stamp;
}

// One file, byte for byte, made writable for the recovery; "" or why not.
std::string copyFile(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, ec);
    return ec ? "cannot copy " + from.string() + ": " + ec.message() : "";
}

// The library and its journal, copied while neither changed; "" or why not.
// A journal that is gone by now was dealt with by its owner: the library
// alone is copied.
std::string copyUnchanged(const fs::path& file, const fs::path& journal, const fs::path& copy) {
    fs::path copyJournal = copy;
    copyJournal += "-journal";
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Stamp fileBefore = stampOf(file), journalBefore = stampOf(journal);
        std::string why = copyFile(file, copy);
        if (why.empty() && journalBefore.present) why = copyFile(journal, copyJournal);
        if (!why.empty()) return why;
        if (fileBefore.present && stampOf(file) == fileBefore && stampOf(journal) == journalBefore) return "";
        std::error_code ignored;
        fs::remove(copyJournal, ignored);
    }
    return "the library or its journal kept changing while it was copied";
}

}  // namespace

LibraryFile::LibraryFile(std::string path) : path_(std::move(path)) {}

LibraryFile::~LibraryFile() {
    if (folder_.empty()) return;
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

bool LibraryFile::recover(const std::string& file, const std::string& journal) {
    if (std::exchange(tried_, true)) return !copy_.empty();
    std::error_code ec;
    folder_ = makePrivateFolder(ec);
    if (ec) {
        failure_ = "no private folder for a copy: " + ec.message();
        return false;
    }
    const fs::path copy = folder_ / "library.db";
    failure_ = copyUnchanged(file, journal, copy);
    if (failure_.empty()) failure_ = recoverCopy(copy.string(), folder_.string());
    if (!failure_.empty()) return false;
    copy_ = copy.string();
    return true;
}

}  // namespace vantor::db
