// Helpers for tests that run whole runs: the built binary in a child process
// (result file, exit status, stdout compared byte for byte), or the run
// driver in-process with a fixed clock so random draws are reproducible.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "cli/run.h"
#include "support/random_source.h"

namespace vantor::testing {

namespace fs = std::filesystem;

#ifdef _WIN32
inline constexpr bool kOnWindows = true;
#else
inline constexpr bool kOnWindows = false;
#endif

// AddressSanitizer's shadow memory does not fit under an address-space limit.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderAsan = true;
#else
inline constexpr bool kUnderAsan = false;
#endif

// Why a test cannot hold on Windows; each is its skip message there.
namespace windows {
inline constexpr const char* kCommandLineLimit = "Windows: command lines are limited to 32,767 characters";
inline constexpr const char* kInvalidUtf8 = "Windows: invalid UTF-8 cannot travel through a UTF-16 command line";
inline constexpr const char* kNamesIgnoreCase = "Windows: file names ignore case";
inline constexpr const char* kNoMemoryLimit = "Wine does not enforce a child's memory limit";
inline constexpr const char* kNoSetuid = "Windows: setuid does not exist";
inline constexpr const char* kNoFileSizeLimit =
    "Windows: no per-process file-size limit (RLIMIT_FSIZE) to make a write fail, and a full disk needs a volume "
    "of its own, which Wine cannot give a test";
inline constexpr const char* kNoPermissionBits = "Windows: no permission bits or umask, only a read-only attribute";
inline constexpr const char* kNoSymbolicLinks =
    "Windows: symbolic links need a privilege a user does not have by default (Wine has none)";
inline constexpr const char* kColonInNames = "Windows: a colon in a file name names a stream of another file";
}  // namespace windows

// This test process's ID (getpid, GetCurrentProcessId).
int currentProcessId();

// The process environment, as children inherit it (setenv, SetEnvironmentVariableW).
std::optional<std::string> environmentVariable(const std::string& name);
void setEnvironmentVariable(const std::string& name, const std::optional<std::string>& value);

// The variable that names the system's temporary folder: TMPDIR, or TMP
// (which GetTempPathW reads first).
inline constexpr const char* kTemporaryFolderVariable = kOnWindows ? "TMP" : "TMPDIR";

// Root on Linux, who may write anywhere; never on Windows.
bool runningAsRoot();

// Whether this Windows program runs under Wine (which says so in ntdll).
bool underWine();

// The ANSI code page of a Windows program without a manifest that asks for
// UTF-8: the system's (the registry's Nls\CodePage\ACP); 0 on Linux.
unsigned systemAnsiCodePage();

// What tells one file from another on its volume: the inode, or the file
// index; 0 when there is no such file.
std::uint64_t fileIdentity(const fs::path& path);

// This process's umask (Linux); 0 on Windows, which has none.
unsigned currentUmask();

// Reads the file in one read of the size found on opening, as a front end
// polling it would, through a handle no child inherits (on Windows, C's
// fopen makes handles that every child started meanwhile keeps open).
std::string readOnce(const fs::path& path);

// Holds `path` open for reading while the result lives, as another program
// would: on Windows sharing it for reading, and for writing when asked, but
// never for deletion; on Linux, where sharing does not exist, a plain open.
std::shared_ptr<void> holdOpen(const fs::path& path, bool shareWriting);

// The result file's text for every database code; the code's digits follow it.
inline const std::string kDatabaseMessage =
    "DATABASE OPENING ERROR: Please press F4 to retry a few times (especially when MediaMonkey has finished "
    "accessing the DB). If this error persists, please contact me with bug report ";

// Today as a library day number, from the clock the binary will read.
inline double todayDayNumber() {
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select julianday('now','localtime')-2415018.5", -1, &st, nullptr);
    sqlite3_step(st);
    const double today = sqlite3_column_double(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return today;
}

inline std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void spit(const fs::path& p, const std::string& content) {
    std::ofstream(p, std::ios::binary) << content;
}

// A fresh directory per test, removed afterwards.
class TempDir {
public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process ID keeps two test runs at the same time (a plain and a
        // sanitized build, say) out of each other's files.
        std::string name = std::string("vantor_") + info->test_suite_name() + "_" + info->name() + "_" +
                           std::to_string(currentProcessId());
        for (char& c : name) if (c == '/') c = '_';
        path_ = fs::temp_directory_path() / name;
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

// Hands out a fixed sequence of draws, so scalings and selections can be
// checked at chosen points.
class ScriptedSource final : public RandomSource {
public:
    explicit ScriptedSource(std::vector<int> draws) : draws_(std::move(draws)) {}
    int next() override { return draws_.at(pos_++ % draws_.size()); }
    std::size_t drawn() const { return pos_; }

private:
    std::vector<int> draws_;
    std::size_t pos_ = 0;
};

struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

struct RunOptions {
    std::size_t memoryLimitBytes = 0;     // a positive value caps the child's address space (Linux only)
    std::uint64_t fileSizeLimitBytes = 0;  // writes past it raise SIGXFSZ, which the run ignores (Linux only)
    bool asNobody = false;                // root runs the child as user and group 65534 (Linux only)
    int timeoutSeconds = 0;               // a child still running then is killed: status kKilled
    std::string binary;                   // another build of vantor; empty: vantorBinary()
};

// The status of a child the timeout killed.
inline constexpr int kKilled = 137;

// The vantor binary the end-to-end tests run: $VANTOR_BINARY when set, else
// the one this build made (on Windows, vantor.exe beside this test program).
std::string vantorBinary();

// A program the build put beside this test program (".exe" added on Windows).
std::string builtBeside(const std::string& name);

// Runs the built vantor with these arguments (argv[1..]) in `cwd`, with
// stdout and stderr caught in files there. On Windows the arguments, UTF-8
// here, reach the child as a UTF-16 command line quoted by Windows' rules.
ProcessResult runBinary(const std::vector<std::string>& args, const fs::path& cwd, const RunOptions& options = {});

// The front end's eight arguments, its numbers typed as it types them.
inline std::vector<std::string> argv8(const std::string& db, const std::string& query, const std::string& sort,
                                      const std::string& math, int mode, int count, int norepeat,
                                      const std::string& result) {
    return {db, query, sort, math, std::to_string(mode), std::to_string(count), std::to_string(norepeat), result};
}

// The same with repeats kept (no-repeat 0).
inline std::vector<std::string> argv8(const std::string& db, const std::string& query, const std::string& sort,
                                      const std::string& math, int mode, int count, const std::string& result) {
    return argv8(db, query, sort, math, mode, count, 0, result);
}

// The run driver in-process: a fixed clock seeds the generator, so modes 1
// and 2 draw the same sequence every time.
inline ProcessResult runInProcess(const std::vector<std::string>& args, std::uint32_t clock,
                                  const fs::path& workDir, const Options& options = {}) {
    std::vector<const char*> argv{"vantor"};
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    MsvcRand rng;
    RunEnvironment env{out, err, rng, [clock] { return clock; }, workDir};
    ProcessResult r;
    r.status = run(static_cast<int>(argv.size()), argv.data(), env, options);
    r.out = out.str();
    r.err = err.str();
    return r;
}

}  // namespace vantor::testing
