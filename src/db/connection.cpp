// Opening a library read-only (plain file names only, no URIs, regular files
// only), the time limit, and the two reopenings a first read may ask for.
#include "db/connection.h"

#include <sqlite3.h>

#include <filesystem>
#include <utility>

#include "db/collation.h"
#include "db/hot_journal.h"
#include "db/library_file.h"
#include "platform/files.h"
#include "support/read_file.h"
#include "support/stop_cleanup.h"

namespace vantor::db {
namespace {

std::chrono::milliseconds gTimeLimit = std::chrono::minutes(10);

// SQLite asks every few thousand instructions; nonzero interrupts the statement.
// A stop ends it too: on Windows the copy's files go only once SQLite closes them.
int pastDeadline(void* deadline) {
    return stopArrived() ||
           std::chrono::steady_clock::now() > *static_cast<std::chrono::steady_clock::time_point*>(deadline);
}

bool ranOutOfTime(const std::chrono::steady_clock::time_point* deadline) {
    return deadline != nullptr && std::chrono::steady_clock::now() > *deadline;
}

// Settings that only take before SQLite's first use, made once. The run has
// one thread: memory statistics (which serialise every allocation) are never
// read. A library name is a file name and nothing else: no "file:" URI may
// reach other files or switch the library to read-write through its parameters.
// On Windows the default file layer is the long-path one: the plain one cuts
// a full path at 1,040 bytes of UTF-8, far short of what Windows takes.
void configureSqliteOnce() {
    static const bool configured = [] {
        const bool memstatus = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
        const bool uri = sqlite3_config(SQLITE_CONFIG_URI, 0) == SQLITE_OK;
        if (sqlite3_vfs* longPaths = sqlite3_vfs_find("win32-longpath")) sqlite3_vfs_register(longPaths, 1);
        return memstatus && uri;
    }();
    (void)configured;
}

// A name SQLite cannot read as a URI, even when it was set up before us to
// read them (then the setting above fails): "./file:x" names the same file.
std::string plainFileName(const std::string& path) {
    return path.starts_with("file:") ? "./" + path : path;
}

// Why the path is no library file to open, or nothing when it is a regular
// file. On Windows a device name (NUL, COM1, ...) is a device here too.
std::string whyNotALibraryFile(const std::string& path) {
    const platform::FileStatus status = platform::fileStatus(path);
    if (status.type == std::filesystem::file_type::regular) return {};
    if (status.type == std::filesystem::file_type::not_found) return "there is no such file";
    if (status.type == std::filesystem::file_type::none) return platform::errorText(status.error);
    return "it is " + kindName(status.type) + ", not a library file";
}

// Whether a side file SQLite would name after the library is there (or cannot be told).
bool sideFileMayExist(const std::string& name) {
    return platform::fileStatus(name).type != std::filesystem::file_type::not_found;
}

}  // namespace

void setTimeLimit(std::chrono::milliseconds limit) { gTimeLimit = limit; }

std::chrono::milliseconds timeLimit() { return gTimeLimit; }

Connection::~Connection() { close(); }

Connection::Connection(Connection&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)),
      path_(std::move(other.path_)),
      library_(std::exchange(other.library_, nullptr)),
      refusal_(std::move(other.refusal_)),
      deadline_(std::move(other.deadline_)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
        path_ = std::move(other.path_);
        library_ = std::exchange(other.library_, nullptr);
        refusal_ = std::move(other.refusal_);
        deadline_ = std::move(other.deadline_);
    }
    return *this;
}

int Connection::open(const std::string& path) {
    library_ = nullptr;
    path_ = path;
    deadline_ = std::make_unique<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now() + gTimeLimit);
    // No SQLITE_OPEN_CREATE: a mistyped path must not leave an empty library behind.
    return openWith(plainFileName(path), SQLITE_OPEN_READONLY);
}

int Connection::open(LibraryFile& library) {
    const int rc = open(library.readPath());
    library_ = &library;
    return rc;
}

int Connection::openRecoveryCopy(const std::string& copy, const char* vfs) {
    library_ = nullptr;
    path_ = copy;
    deadline_.reset();
    // No SQLITE_OPEN_CREATE: the copy is there, or something is wrong.
    return openWith(copy, SQLITE_OPEN_READWRITE, vfs);
}

// The one open under every other: refuses what is no library file before
// SQLite can block on it, and sets up collations and the time limit.
int Connection::openWith(const std::string& name, int flags, const char* vfs) {
    close();
    // SQLite opens the file itself, blocking on a FIFO and past the time
    // limit, so anything but a regular file is refused before it looks. The
    // file could still be swapped between this look and SQLite's open; only
    // someone racing the run on purpose could do that. The name goes to
    // SQLite as UTF-8 on every system: its Windows file layer converts it to
    // UTF-16 itself, so no narrow (ANSI) call ever sees it.
    refusal_ = whyNotALibraryFile(path_);
    if (!refusal_.empty()) return SQLITE_CANTOPEN;
    configureSqliteOnce();
    // A connection is only ever used by one thread at a time (the parts of a
    // split scan each have their own): it needs no mutex of its own.
    const int rc = sqlite3_open_v2(name.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, vfs);
    if (rc == SQLITE_OK) {
        installCollationHandler(db_);
        if (deadline_) sqlite3_progress_handler(db_, 10000, pastDeadline, deadline_.get());
    }
    return rc;
}

bool Connection::reopenedImmutable(int rc) {
    if (db_ == nullptr || rc != SQLITE_READONLY) return false;
    const int why = sqlite3_extended_errcode(db_);
    if (why != SQLITE_READONLY_DIRECTORY && why != SQLITE_READONLY_CANTINIT) return false;
    if (sideFileMayExist(path_ + "-wal") || sideFileMayExist(path_ + "-shm")) {
        return false;  // a writer may be at work, or may have left commits in the log
    }
    // In a URI "%", "?" and "#" are special; everything else of a path stands for itself.
    std::string uri = "file:";
    for (const char c : path_) {
        if (c == '%' || c == '?' || c == '#') {
            static const char hex[] = "0123456789ABCDEF";
            uri += '%';
            uri += hex[static_cast<unsigned char>(c) >> 4];
            uri += hex[static_cast<unsigned char>(c) & 0xF];
        } else {
            uri += c;
        }
    }
    uri += "?immutable=1";
    return openWith(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI) == SQLITE_OK;
}

bool Connection::reopenedOnRecoveredCopy(int rc) {
    if (library_ == nullptr || !refusedForHotJournal(db_, rc)) return false;
    // The names SQLite resolved: the journal it found hot is the one to copy.
    const char* file = sqlite3_db_filename(db_, "main");
    if (file == nullptr || *file == '\0') return false;
    if (!library_->recover(file, sqlite3_filename_journal(file))) return false;
    path_ = library_->readPath();
    return openWith(path_, SQLITE_OPEN_READONLY) == SQLITE_OK;
}

std::string Connection::errorMessage() const {
    if (!refusal_.empty()) return std::string(sqlite3_errstr(SQLITE_CANTOPEN)) + " (" + refusal_ + ")";
    // SQLite's own words here ("attempt to write a readonly database") would mislead.
    if (library_ != nullptr && !library_->failure().empty() &&
        sqlite3_extended_errcode(db_) == SQLITE_READONLY_ROLLBACK) {
        return "a writer that did not finish left a hot journal beside the library, and no private copy could be"
               " recovered from them: " + library_->failure();
    }
    std::string message = sqlite3_errmsg(db_);
    if (sqlite3_errcode(db_) == SQLITE_INTERRUPT && ranOutOfTime(deadline_.get())) {
        message += " after the time limit of " + std::to_string(gTimeLimit.count() / 1000) + " s";
    }
    return message;
}

std::string Connection::openFailure(const LibraryFile& library, std::string_view purpose) const {
    std::string message = "cannot open the library " + library.path();
    message += purpose;
    return message + ": " + errorMessage();
}

void Connection::close() noexcept {
    // The deadline may go before a statement that outlives us does.
    if (db_ != nullptr) sqlite3_progress_handler(db_, 0, nullptr, nullptr);
    // close_v2 so a statement that outlives us keeps a valid handle until it is finalized.
    sqlite3_close_v2(std::exchange(db_, nullptr));
}

}  // namespace vantor::db
