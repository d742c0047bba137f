// Runs stopped from outside, and runs whose files cannot be written, on
// Linux: a signal at any moment leaves neither the private copy of a library
// with a hot journal nor a temporary result file, and the result file as it
// was; a run killed outright leaves a copy that the next run removes; a full
// disk or a file-size limit is a failed write that says so.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db_test_support.h"
#include "demolib/demolib.h"
#include "e2e_library.h"
#include "harness.h"
#include "platform/private_folder.h"

using namespace vantor::testing;

namespace {

// What a writer that died mid-transaction leaves: a hot journal of a few
// pages beside the library.
void crashHost(const std::string& library) {
    leaveHotJournal(library, "UPDATE songs SET PlayCounter = PlayCounter + 1 WHERE ID <= 2000;");
}

// A library with a hot journal, made once per test binary run and removed at
// its end.
class LargeLibrary {
public:
    explicit LargeLibrary(int songs)
        : folder_(fs::temp_directory_path() /
                  ("vantor-stopped-runs-" + std::to_string(::getpid()) + "-" + std::to_string(songs))) {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        path_ = (folder_ / "large.db").string();
        vantor::demo::GenerateOptions options;
        options.layout = vantor::demo::Layout::Classic;
        options.songs = songs;
        vantor::demo::generateLibrary(path_, options);
        crashHost(path_);
    }
    ~LargeLibrary() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    fs::path folder_;
    std::string path_;
};

// Large enough that each moment of a run (its copy, its selection, its
// result's write) lasts long enough to be met.
const std::string& largeLibrary() {
    static const LargeLibrary library(100000);
    return library.path();
}

// Large enough that its copy is there for a while.
const std::string& mediumLibrary() {
    static const LargeLibrary library(20000);
    return library.path();
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

bool anyNameStartsWith(const fs::path& folder, const std::string& prefix) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename().string().starts_with(prefix)) return true;
    }
    return false;
}

// The built vantor, started in `cwd` and not waited for; TMPDIR is `tmp`.
class StartedRun {
public:
    StartedRun(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& tmp,
               bool hangupIgnored = false) {
        std::string binary = vantorBinary();
        pid_ = ::fork();
        if (pid_ == 0) {
            if (::chdir(cwd.c_str()) != 0) ::_exit(126);
            ::setenv("TMPDIR", tmp.c_str(), 1);
            // As nohup leaves it: a run must not take an ignored signal back.
            if (hangupIgnored) ::signal(SIGHUP, SIG_IGN);
            const int out = ::open((cwd / ".stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            ::dup2(out, 1);
            ::dup2(out, 2);
            std::vector<std::string> copies = args;
            std::vector<char*> argv{binary.data()};
            for (std::string& a : copies) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(binary.c_str(), argv.data());
            ::_exit(127);
        }
    }
    ~StartedRun() {
        if (!status_) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }

    pid_t pid() const { return pid_; }

    // Polls `ready` until it holds (true), or until the run has ended or a
    // minute has passed (false).
    bool waitUntil(const std::function<bool()>& ready) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (std::chrono::steady_clock::now() < giveUp) {
            if (ready()) return true;
            if (ended()) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    }

    // The exit status, or 128 + the signal that ended the run.
    int wait() {
        while (!status_) {
            int raw = 0;
            if (::waitpid(pid_, &raw, 0) == pid_) status_ = decoded(raw);
        }
        return *status_;
    }

private:
    static int decoded(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw); }

    bool ended() {
        int raw = 0;
        if (!status_ && ::waitpid(pid_, &raw, WNOHANG) == pid_) status_ = decoded(raw);
        return status_.has_value();
    }

    pid_t pid_ = -1;
    std::optional<int> status_;
};

// A folder for one run: its TMPDIR, and a result file with an earlier list.
struct RunFolder {
    RunFolder() {
        fs::create_directories(dir / "tmp");
        fs::create_directories(dir / "out");
        spit(dir / "out" / "result.txt", kEarlier);
    }
    static constexpr const char* kEarlier = "1,2,3";
    TempDir dir;
    fs::path tmp() const { return dir / "tmp"; }
    fs::path out() const { return dir / "out"; }
    std::string result() const { return (dir / "out" / "result.txt").string(); }
};

std::string signalName(int signal) {
    switch (signal) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        case SIGKILL: return "SIGKILL";
        default: return std::to_string(signal);
    }
}

// The moments of a run at which a stop is tried, each with the arguments
// that make it last and what shows that the run is in it.
struct Moment {
    const char* name;
    std::function<std::vector<std::string>(const RunFolder&)> args;
    std::function<bool(const RunFolder&, pid_t)> reached;
};

const std::vector<Moment>& moments() {
    static const std::vector<Moment> all = {
        {"the hot-journal copy",
         [](const RunFolder& f) { return argv8(largeLibrary(), "id>0", "", "1", 0, 0, f.result()); },
         [](const RunFolder& f, pid_t) { return anyNameStartsWith(f.tmp(), "vantor-copy-"); }},
        // Scored in parts on threads of their own, which only the selection starts.
        {"the selection",
         [](const RunFolder& f) {
             std::vector<std::string> args =
                 argv8(largeLibrary(), "year>0", "", "anyfield contains zzz", 0, 0, f.result());
             args.insert(args.begin(), {"--threads", "4"});
             return args;
         },
         [](const RunFolder&, pid_t pid) {
             std::error_code ec;
             const auto threads = fs::directory_iterator(fs::path("/proc") / std::to_string(pid) / "task", ec);
             return !ec && std::distance(fs::begin(threads), fs::end(threads)) > 1;
         }},
        // Three million draws make a result of some 20 MB.
        {"the result's write",
         [](const RunFolder& f) { return argv8(largeLibrary(), "id>0", "", "1", 1, 3000000, f.result()); },
         [](const RunFolder& f, pid_t) { return anyNameStartsWith(f.out(), "result.txt.vantor-"); }},
    };
    return all;
}

}  // namespace

// Every stop at every moment: the run ends by the signal (its status says
// which), the private copy and the temporary result file are gone, and the
// result file holds the earlier list. Prints the matrix as it goes.
TEST(StoppedRun, LeavesNothingBehind) {
    largeLibrary();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        for (const Moment& moment : moments()) {
            const std::string label = signalName(signal) + " during " + moment.name;
            SCOPED_TRACE(label);
            // A run that beat the poll to its moment is started again.
            bool met = false;
            for (int attempt = 0; attempt < 3 && !met; ++attempt) {
                RunFolder folder;
                StartedRun run(moment.args(folder), folder.dir.path(), folder.tmp());
                met = run.waitUntil([&] { return moment.reached(folder, run.pid()); });
                if (!met) continue;
                ::kill(run.pid(), signal);
                EXPECT_EQ(run.wait(), 128 + signal);
                const std::set<std::string> tmpLeft = namesIn(folder.tmp());
                std::set<std::string> outLeft = namesIn(folder.out());
                outLeft.erase("result.txt");
                EXPECT_EQ(tmpLeft, std::set<std::string>{});
                EXPECT_EQ(outLeft, std::set<std::string>{});
                EXPECT_EQ(slurp(folder.out() / "result.txt"), RunFolder::kEarlier);
                std::cout << "[ stopped  ] " << label << ": status " << 128 + signal << ", left "
                          << tmpLeft.size() + outLeft.size() << " files, result file as before\n";
            }
            EXPECT_TRUE(met) << "the run never reached " << moment.name;
        }
    }
}

// A hangup ignored when the run starts (nohup) stays ignored: the run goes
// on and writes its list.
TEST(StoppedRun, IgnoredHangupStaysIgnored) {
    RunFolder folder;
    StartedRun run(argv8(mediumLibrary(), "id>0", "", "1", 0, 0, folder.result()), folder.dir.path(), folder.tmp(),
                   true);
    ASSERT_TRUE(run.waitUntil([&] { return anyNameStartsWith(folder.tmp(), "vantor-copy-"); }));
    ::kill(run.pid(), SIGHUP);
    EXPECT_EQ(run.wait(), 0);
    EXPECT_TRUE(slurp(folder.result()).starts_with("1,2,3,4,5,")) << slurp(folder.result()).substr(0, 100);
    EXPECT_TRUE(fs::is_empty(folder.tmp()));
}

// SIGKILL cannot be caught: the copy stays. The next run removes it, and
// only it: folders of live processes, of other users, links and other names
// stay whatever they are called.
TEST(StoppedRun, KilledRunsCopyGoesWithTheNextRun) {
    RunFolder folder;
    {
        StartedRun killed(argv8(mediumLibrary(), "id>0", "", "1", 0, 0, folder.result()), folder.dir.path(),
                          folder.tmp());
        ASSERT_TRUE(killed.waitUntil([&] { return anyNameStartsWith(folder.tmp(), "vantor-copy-"); }));
        ::kill(killed.pid(), SIGKILL);
        EXPECT_EQ(killed.wait(), 128 + SIGKILL);
    }
    const std::set<std::string> leftByTheKill = namesIn(folder.tmp());
    ASSERT_EQ(leftByTheKill.size(), 1u);

    // This test process lives: a folder named after it, at its start time, is a live run's.
    int error = 0;
    const std::string live = [&] {
        const ScopedTmpdir tmpdir(folder.tmp().string());
        return fs::path(vantor::platform::newPrivateFolderName(error)).filename().string();
    }();
    ASSERT_EQ(error, 0);
    const auto maker = vantor::platform::folderMaker(live);
    ASSERT_TRUE(maker.has_value()) << live;
    // A child that has ended and been reaped: its ID names no process now.
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string self = std::to_string(maker->pid), start = std::to_string(maker->start);
    struct Entry {
        std::string name;
        std::function<void(const fs::path&)> make;
        bool stays;
    };
    const auto folderOf = [](const fs::path& p) { fs::create_directory(p); spit(p / "library.db", "x"); };
    const std::vector<Entry> entries = {
        {live, folderOf, true},
        {"vantor-copy-" + self + "-" + std::to_string(maker->start + 1) + "-reused", folderOf, false},
        {"vantor-copy-" + std::to_string(gone) + "-" + start + "-gone", folderOf, false},
        {"vantor-copy-" + std::to_string(gone) + "-" + start + "-file", [](const fs::path& p) { spit(p, "x"); }, true},
        {"vantor-copy-" + std::to_string(gone) + "-" + start + "-link",
         [&](const fs::path& p) { fs::create_directory_symlink(folder.dir / "target", p); }, true},
        {"vantor-copy-abc123", folderOf, true},  // names no process
        {"vantor-copy-" + std::to_string(gone) + "-unknown-x", folderOf, true},
        {"vantor-copy-" + std::to_string(gone) + "-" + start + "-another-user",
         [&](const fs::path& p) {
             folderOf(p);
             if (::chown(p.c_str(), 65534, 65534) != 0) fs::remove_all(p);
         },
         true},
    };
    fs::create_directories(folder.dir / "target");
    spit(folder.dir / "target" / "keep.txt", "keep");
    for (const Entry& e : entries) e.make(folder.tmp() / e.name);

    const std::string small = threeSongLibrary(folder.dir.path());
    StartedRun next(argv8(small, "id>0", "ORDER BY ID", "1", 0, 0, folder.result()), folder.dir.path(), folder.tmp());
    EXPECT_EQ(next.wait(), 0);
    EXPECT_EQ(slurp(folder.result()), "11,12,13");
    const std::set<std::string> left = namesIn(folder.tmp());
    EXPECT_FALSE(left.contains(*leftByTheKill.begin())) << "the killed run's copy is still there";
    for (const Entry& e : entries) {
        if (!runningAsRoot() && e.name.ends_with("another-user")) continue;  // could not be made
        EXPECT_EQ(left.contains(e.name), e.stays) << e.name;
    }
    EXPECT_EQ(slurp(folder.dir / "target" / "keep.txt"), "keep");
}

// A copy or a result that cannot be written says why in the system's words:
// a file-size limit is a failed write (SIGXFSZ is ignored), and a full disk
// says so rather than "Input/output error".
TEST(StoppedRun, FailedCopyOrWriteSaysWhy) {
    TempDir dir;
    const std::string lib = (dir / "host.db").string();
    vantor::demo::GenerateOptions options;
    options.layout = vantor::demo::Layout::Classic;
    options.songs = 3000;
    vantor::demo::generateLibrary(lib, options);
    crashHost(lib);
    const std::string libraryBefore = slurp(lib), journalBefore = slurp(lib + "-journal");
    fs::create_directories(dir / "tmp");
    const ScopedTmpdir tmpdir((dir / "tmp").string());

    // Past the limit the copy fails; the message is small enough to be written.
    RunOptions limited;
    limited.fileSizeLimitBytes = 64 * 1024;
    ProcessResult p = runBinary(argv8(lib, "id>0", "", "1", 0, 0, "result.txt"), dir.path(), limited);
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(slurp(dir / "result.txt"), kDatabaseMessage + "1508");
    EXPECT_NE(p.err.find("File too large"), std::string::npos) << p.err;
    EXPECT_EQ(p.err.find("Input/output error"), std::string::npos) << p.err;
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));

    // A full disk: a small file system of its own, which only root may mount.
    const fs::path full = dir / "full";
    fs::create_directories(full);
    if (!runningAsRoot() || ::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=256k") != 0) {
        GTEST_SKIP() << "a full disk needs a tmpfs of its own, which only root may mount (" << std::strerror(errno)
                     << ")";
    }
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{full};
    {
        const ScopedTmpdir onFull(full.string());
        p = runBinary(argv8(lib, "id>0", "", "1", 0, 0, "result.txt"), dir.path());
        EXPECT_EQ(p.status, 0);
        EXPECT_EQ(slurp(dir / "result.txt"), kDatabaseMessage + "1508");
        EXPECT_NE(p.err.find("No space left on device"), std::string::npos) << p.err;
        EXPECT_TRUE(fs::is_empty(full));
    }
    // The result file on the full disk: the copy is made elsewhere, the write fails.
    spit(full / "filler", std::string(252 * 1024, 'x'));
    p = runBinary(argv8(lib, "id>0", "", "1", 0, 0, (full / "result.txt").string()), dir.path());
    EXPECT_EQ(p.status, 0);
    EXPECT_TRUE(p.out.ends_with("Can't write file")) << p.out;
    EXPECT_NE(p.err.find("No space left on device"), std::string::npos) << p.err;
    EXPECT_EQ(namesIn(full), std::set<std::string>{"filler"});
    EXPECT_EQ(slurp(lib), libraryBefore);
    EXPECT_EQ(slurp(lib + "-journal"), journalBefore);
}
