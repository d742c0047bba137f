// Small helpers for the database-layer tests: a scratch directory and a
// writable connection to build fixtures with (the layer itself only reads).
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

#include "db/collation.h"
#include "harness.h"
#include "platform/paths.h"

namespace vantor::testing {

class ScratchDir {
public:
    ScratchDir() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("vantor-db-" + std::to_string(currentProcessId()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string file(const std::string& name) const { return platform::utf8Path(path_ / platform::nativePath(name)); }

private:
    std::filesystem::path path_;
};

// Points the system's temporary folder (TMPDIR, or TMP on Windows)
// somewhere else while it lives, for this process and the children it starts.
class ScopedTmpdir {
public:
    explicit ScopedTmpdir(const std::string& folder) : old_(environmentVariable(kTemporaryFolderVariable)) {
        setEnvironmentVariable(kTemporaryFolderVariable, folder);
    }
    ~ScopedTmpdir() { setEnvironmentVariable(kTemporaryFolderVariable, old_); }
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

// What a writer that dies inside a transaction leaves behind, made without
// killing one: the statements run on a twin of the library with a cache so
// small that the changed pages spill into the twin's file, and the twin's
// torn file and hot journal are then copied over the library's own, in place
// (a reader may have the file open). The twin's writer then rolls back and
// closes, which touches only the twin. Needs no second process, so it works
// wherever the tests run.
inline void leaveHotJournal(const std::string& path, const std::string& statements) {
    namespace fs = std::filesystem;
    using platform::nativePath;
    const auto bytesOf = [](const std::string& file) {
        std::ifstream in(nativePath(file), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string twin = path + ".twin";
    fs::copy_file(nativePath(path), nativePath(twin), fs::copy_options::overwrite_existing);
    {
        Writer writer(twin);
        writer.exec("PRAGMA cache_size=1; BEGIN;");
        writer.exec(statements);
        if (!fs::exists(nativePath(twin + "-journal"))) throw std::runtime_error("no journal beside " + twin);
        std::ofstream(nativePath(path), std::ios::binary | std::ios::trunc) << bytesOf(twin);
        std::ofstream(nativePath(path + "-journal"), std::ios::binary | std::ios::trunc) << bytesOf(twin + "-journal");
    }
    fs::remove(nativePath(twin));
    fs::remove(nativePath(twin + "-journal"));
}

}  // namespace vantor::testing
