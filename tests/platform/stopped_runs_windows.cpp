// Runs stopped from outside on Windows: Ctrl+Break (as Ctrl+C and the console
// closing, a console event) removes the private copy of a library with a hot
// journal and ends the run with STATUS_CONTROL_C_EXIT; a copy left by a run
// that was killed outright goes with the next run, and nothing else does.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db_test_support.h"
#include "demolib/demolib.h"
#include "e2e_library.h"
#include "harness.h"
#include "platform/paths.h"
#include "platform/private_folder.h"
#include "platform/windows_text.h"

using namespace vantor::testing;

namespace {

constexpr DWORD kStoppedByConsoleEvent = 0xC000013A;  // STATUS_CONTROL_C_EXIT

bool anyNameStartsWith(const fs::path& folder, const std::string& prefix) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (vantor::platform::utf8Path(it->path().filename()).starts_with(prefix)) return true;
    }
    return false;
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(vantor::platform::utf8Path(entry.path().filename()));
    }
    return names;
}

// vantor.exe started in a process group of its own, so that a console event
// sent to the group reaches it alone; not waited for.
PROCESS_INFORMATION start(const std::vector<std::string>& args, const fs::path& cwd) {
    const std::wstring binary = vantor::platform::nativePath(vantorBinary()).native();
    std::wstring commandLine = L"\"" + binary + L"\"";
    for (const std::string& a : args) commandLine += L" \"" + vantor::platform::wideFromUtf8(a) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(binary.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP,
                        nullptr, cwd.c_str(), &startup, &child)) {
        ADD_FAILURE() << "CreateProcessW failed: error " << GetLastError();
    }
    return child;
}

DWORD waitFor(const PROCESS_INFORMATION& child) {
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return status;
}

}  // namespace

TEST(StoppedRun, ConsoleEventLeavesNothingBehind) {
    TempDir dir;
    const std::string lib = vantor::platform::utf8Path(dir / "large.db");
    vantor::demo::GenerateOptions options;
    options.layout = vantor::demo::Layout::Classic;
    options.songs = 50000;
    vantor::demo::generateLibrary(lib, options);
    leaveHotJournal(lib, "UPDATE songs SET PlayCounter = PlayCounter + 1 WHERE ID <= 2000;");
    fs::create_directories(dir / "tmp");
    spit(dir / "result.txt", "1,2,3");
    const ScopedTmpdir tmpdir(vantor::platform::utf8Path(dir / "tmp"));

    // A console event goes to the processes of one console: the run shares ours,
    // made here when this test process has none (under ctest it has not).
    const bool ownConsole = AllocConsole();
    const PROCESS_INFORMATION run = start(argv8(lib, "id>0", "", "1", 0, 0, "result.txt"), dir.path());
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!anyNameStartsWith(dir / "tmp", "vantor-copy-") && WaitForSingleObject(run.hProcess, 0) == WAIT_TIMEOUT &&
           std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, run.dwProcessId)) {
        const DWORD why = GetLastError();
        TerminateProcess(run.hProcess, 1);
        waitFor(run);
        if (ownConsole) FreeConsole();
        GTEST_SKIP() << "no console event could be sent here (GenerateConsoleCtrlEvent: error " << why
                     << "): the run shares no console with this test process (so under Wine, where a Unix "
                        "SIGINT to the run is its Ctrl+C instead)";
    }
    EXPECT_EQ(waitFor(run), kStoppedByConsoleEvent);
    if (ownConsole) FreeConsole();
    EXPECT_EQ(namesIn(dir / "tmp"), std::set<std::string>{});
    EXPECT_EQ(slurp(dir / "result.txt"), "1,2,3");
    EXPECT_FALSE(anyNameStartsWith(dir.path(), "result.txt.vantor-"));
}

// A run killed outright (TerminateProcess) leaves its copy; the next run
// removes copies of processes that are gone, and nothing else.
TEST(StoppedRun, KilledRunsCopyGoesWithTheNextRun) {
    TempDir dir;
    fs::create_directories(dir / "tmp");
    const ScopedTmpdir tmpdir(vantor::platform::utf8Path(dir / "tmp"));
    int error = 0;
    const std::string live = vantor::platform::utf8Path(
        fs::path(vantor::platform::nativePath(vantor::platform::newPrivateFolderName(error))).filename());
    ASSERT_EQ(error, 0);
    const auto maker = vantor::platform::folderMaker(live);
    ASSERT_TRUE(maker.has_value()) << live;
    // A process that has ended, no handle to it kept: its ID names no process now.
    const DWORD gone = [&] {
        const PROCESS_INFORMATION child = start({"--version"}, dir.path());
        const DWORD id = child.dwProcessId;
        waitFor(child);
        return id;
    }();
    const std::string self = std::to_string(maker->pid), startTime = std::to_string(maker->start);
    struct Entry {
        std::string name;
        bool stays;
    };
    const Entry entries[] = {
        {live, true},
        {"vantor-copy-" + self + "-" + std::to_string(maker->start + 1) + "-reused", false},
        {"vantor-copy-" + std::to_string(gone) + "-" + startTime + "-gone", false},
        {"vantor-copy-abc123", true},
    };
    for (const Entry& e : entries) {
        fs::create_directory(dir / "tmp" / vantor::platform::nativePath(e.name));
        spit(dir / "tmp" / vantor::platform::nativePath(e.name) / "library.db", "x");
    }
    spit(dir / "tmp" / vantor::platform::nativePath("vantor-copy-" + std::to_string(gone) + "-" + startTime + "-file"),
         "x");

    const std::string small = threeSongLibrary(dir.path());
    const ProcessResult next = runBinary(argv8(small, "id>0", "ORDER BY ID", "1", 0, 0, "result.txt"), dir.path());
    EXPECT_EQ(next.status, 0);
    EXPECT_EQ(slurp(dir / "result.txt"), "11,12,13");
    const std::set<std::string> left = namesIn(dir / "tmp");
    for (const Entry& e : entries) EXPECT_EQ(left.contains(e.name), e.stays) << e.name;
    EXPECT_TRUE(left.contains("vantor-copy-" + std::to_string(gone) + "-" + startTime + "-file"));
}
