// Small helpers for the database-layer tests: a scratch directory and a
// writable connection to build fixtures with (the layer itself only reads).
#pragma once

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "db/collation.h"

namespace vantor::testing {

class ScratchDir {
public:
    ScratchDir() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("vantor-db-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Points the system's temporary folder (TMPDIR) somewhere else while it
// lives, for this process and the children it starts.
class ScopedTmpdir {
public:
    explicit ScopedTmpdir(const std::string& folder) {
        if (const char* old = ::getenv("TMPDIR")) old_ = old;
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~ScopedTmpdir() {
        if (old_) {
            ::setenv("TMPDIR", old_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }
    ScopedTmpdir(const ScopedTmpdir&) = delete;
    ScopedTmpdir& operator=(const ScopedTmpdir&) = delete;

private:
    std::optional<std::string> old_;
};

// A read-write connection that may create the file, with the collation stand-ins.
class Writer {
public:
    explicit Writer(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
            throw std::runtime_error("cannot create " + path);
        }
        vantor::db::installCollationHandler(db_);
    }
    ~Writer() { sqlite3_close_v2(db_); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void exec(const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string msg = err != nullptr ? err : "?";
            sqlite3_free(err);
            throw std::runtime_error(msg + " in: " + sql);
        }
    }
    sqlite3* handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

}  // namespace vantor::testing
