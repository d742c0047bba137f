// The library file of one run, and the private copy the run reads instead
// once a writer that died has left a hot journal beside the library. The
// library, its journal and its WAL are only ever read: the copy and its
// recovery live in a folder of our own, which goes when this object does.
// One object per run, owned by the run; nothing here outlives it.
#pragma once

#include <string>

#include "support/stop_cleanup.h"

namespace vantor::db {

class LibraryFile {
public:
    explicit LibraryFile(std::string path);
    ~LibraryFile();
    // Connections keep a pointer to it.
    LibraryFile(const LibraryFile&) = delete;
    LibraryFile& operator=(const LibraryFile&) = delete;

    // The library as the user named it.
    const std::string& path() const noexcept { return path_; }

    // What a connection opens: the recovered copy once there is one, else the library.
    const std::string& readPath() const noexcept { return copy_.empty() ? path_ : copy_; }

    // Copies `file` (the library as SQLite resolved it) and `journal` (its
    // hot journal), both UTF-8 as SQLite gives them, into a private folder, checks that neither changed while
    // being copied (once more if one did), and has SQLite recover and check
    // the copy. Only the first call does so; later ones give its answer.
    // True when readPath() is now the recovered copy.
    bool recover(const std::string& file, const std::string& journal);

    // Why the copy could not be made or checked; empty when it was, or was not tried.
    const std::string& failure() const noexcept { return failure_; }

private:
    std::string path_;
    RemovedOnStop folderOnStop_;  // after the folder is removed, on the way out
    std::string folder_;
    std::string copy_;
    std::string failure_;
    bool tried_ = false;
};

}  // namespace vantor::db
