// A read-only connection to a music library. It owns the sqlite3 handle and
// installs the collation stand-ins; it sets no busy timeout and maps no
// result codes, which is the run driver's business. Its statements stop with
// SQLITE_INTERRUPT once it has been open longer than the time limit, so a
// filter that never ends cannot hang the run.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;

namespace vantor::db {

class LibraryFile;

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the file read-only and never creates it (a missing file gives
    // SQLITE_CANTOPEN, and so does anything but a regular file: a FIFO, a
    // device, a folder or a socket). The path is a file name only, never an
    // SQLite URI. Returns the SQLite result code; on failure the handle is
    // kept so errorMessage() can say why.
    int open(const std::string& path);

    // Opens the run's library the same way: its recovered copy once the run
    // has one, else the library itself, which may then meet a hot journal
    // (see reopenedOnRecoveredCopy).
    int open(LibraryFile& library);

    sqlite3* handle() const noexcept { return db_; }

    // When `rc` from a first read means "WAL library, but its shared-memory
    // file cannot be made" (a folder we may not write) and neither the -wal
    // nor the -shm file exists, no writer can be at work: the file alone holds
    // every commit. Reopens it as immutable (no locks, no side files) and
    // returns true so the caller retries once. Otherwise false.
    bool reopenedImmutable(int rc);

    // When `rc` from a read means "hot journal, and you are read-only" and
    // this connection was opened on a run's library, has the run's recovered
    // copy made (at most once per run), reopens on it and returns true so the
    // caller retries once; statements prepared before stay on the old handle
    // and must be prepared again. Otherwise false: no library, or no copy
    // could be made or checked (errorMessage() then says why).
    bool reopenedOnRecoveredCopy(int rc);

    // sqlite3_errmsg of the last call on this connection, for diagnostics.
    std::string errorMessage() const;

    // Why open(library) failed, for stderr: "cannot open the library PATH",
    // then `purpose` (" for sorting", say), ": " and errorMessage().
    std::string openFailure(const LibraryFile& library, std::string_view purpose = {}) const;

private:
    // Only the hot-journal recovery opens read-write, and only its private
    // copy, through its confined file system: the run's connections have no
    // way to write.
    friend std::string recoverCopy(const std::string& copy, const std::string& folder);

    // Opens the private copy read-write through the registered file system
    // `vfs`, without a time limit (the recovery never had one), and never creates it.
    int openRecoveryCopy(const std::string& copy, const char* vfs);

    void close() noexcept;

    int openWith(const std::string& name, int flags, const char* vfs = nullptr);

    sqlite3* db_ = nullptr;
    std::string path_;
    LibraryFile* library_ = nullptr;
    std::string refusal_;  // why path_ was not handed to SQLite at all
    // On the heap so the progress handler's pointer survives a move; none
    // for the recovery copy.
    std::unique_ptr<std::chrono::steady_clock::time_point> deadline_;
};

// The time limit of every connection opened from now on (10 minutes unless
// set): far beyond any real library, short of forever.
void setTimeLimit(std::chrono::milliseconds limit);
// The time limit new connections get.
std::chrono::milliseconds timeLimit();

}  // namespace vantor::db
