// vantor.exe in front of a Windows console: which handles count as a console,
// and whole runs on a pseudo console, read back as the console shows them.
// Pseudo consoles came with Windows 10 1809.
#define NTDDI_VERSION 0x0A000006
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "demolib/demolib.h"
#include "harness.h"
#include "platform/paths.h"
#include "platform/windows_console.h"
#include "platform/windows_text.h"

using namespace vantor::testing;
using vantor::platform::isConsole;

namespace {

// Closes what it holds when it goes.
struct Owned {
    HANDLE h = nullptr;
    ~Owned() {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

// The screen text of a pseudo console's output: its terminal sequences taken
// out, and every blank and line break too, since the console draws a run of
// blanks as a cursor move and breaks long lines where its width ends.
std::string screenText(const std::string& terminal) {
    std::string text;
    for (std::size_t i = 0; i < terminal.size(); ++i) {
        const char c = terminal[i];
        if (c == '\x1B' && i + 1 < terminal.size()) {
            const char kind = terminal[++i];
            if (kind == '[') {  // CSI: parameters up to a final byte from '@' to '~'
                while (i + 1 < terminal.size() && !(terminal[i + 1] >= '@' && terminal[i + 1] <= '~')) ++i;
                ++i;
            } else if (kind == ']') {  // OSC (the window title): up to BEL or ESC '\'
                while (i + 1 < terminal.size() && terminal[i + 1] != '\x07' && terminal[i + 1] != '\x1B') ++i;
                ++i;
                if (i < terminal.size() && terminal[i] == '\x1B') ++i;
            }
            continue;
        }
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') text += c;
    }
    return text;
}

// Runs vantor.exe with these arguments (no quote in any, and no backslash
// at the end of one) with standard output and standard error on a console,
// as in a command prompt's window: a pseudo console, whose output comes back
// here. vantor-console-host hands the console to vantor.exe.
std::string shownOnConsole(const std::vector<std::string>& args, const fs::path& cwd) {
    Owned inRead, inWrite, outRead, outWrite;
    if (!CreatePipe(&inRead.h, &inWrite.h, nullptr, 0) || !CreatePipe(&outRead.h, &outWrite.h, nullptr, 0)) {
        ADD_FAILURE() << "CreatePipe: " << GetLastError();
        return {};
    }
    HPCON console = nullptr;
    if (const HRESULT hr = CreatePseudoConsole({300, 200}, inRead.h, outWrite.h, 0, &console); FAILED(hr)) {
        ADD_FAILURE() << "CreatePseudoConsole: " << std::hex << hr;
        return {};
    }
    std::string terminal;
    std::thread reader([&terminal, out = outRead.h] {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(out, buffer, sizeof buffer, &got, nullptr) && got > 0) terminal.append(buffer, got);
    });

    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributes(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    InitializeProcThreadAttributeList(list, 1, 0, &size);
    UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, console, sizeof console, nullptr, nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;  // none of ours: the host opens the console's
    startup.lpAttributeList = list;

    std::wstring command = L"\"" + vantor::platform::nativePath(builtBeside("vantor-console-host")).native() +
                           L"\" \"" + vantor::platform::nativePath(vantorBinary()).native() + L"\"";
    for (const std::string& a : args) {
        EXPECT_TRUE(a.find('"') == std::string::npos && !a.ends_with('\\')) << a;
        command += L" \"" + vantor::platform::wideFromUtf8(a) + L"\"";
    }
    PROCESS_INFORMATION child{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, EXTENDED_STARTUPINFO_PRESENT, nullptr,
                       cwd.c_str(), &startup.StartupInfo, &child)) {
        if (WaitForSingleObject(child.hProcess, 120000) == WAIT_TIMEOUT) {
            ADD_FAILURE() << "the run did not end";
            TerminateProcess(child.hProcess, kKilled);
        }
        DWORD status = 0;
        GetExitCodeProcess(child.hProcess, &status);
        EXPECT_EQ(status, 0u) << "125 to 127: the host could not start the run";
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    } else {
        ADD_FAILURE() << "CreateProcessW: " << GetLastError();
    }
    // Closing the console ends its output, and with it the reader.
    ClosePseudoConsole(console);
    CloseHandle(std::exchange(outWrite.h, nullptr));
    reader.join();
    DeleteProcThreadAttributeList(list);
    return screenText(terminal);
}

// Artists in four scripts, one tag that is no UTF-8 (Latin-1, as an old tag
// may be), in a UTF-8 library, which keeps such bytes.
std::string namesLibrary(const fs::path& dir) {
    using vantor::demo::Value;
    const auto song = [](std::int64_t id, std::string artist, std::string title) {
        return vantor::demo::FixtureSong{id,
                                         {{"Artist", Value(std::move(artist))},
                                          {"SongTitle", Value(std::move(title))},
                                          {"SongLength", Value(std::int64_t{200000})},
                                          {"Genre", Value(std::string("Rock"))}}};
    };
    const std::string path = vantor::platform::utf8Path(dir / "lib.db");
    vantor::demo::createLibrary(path, {.layout = vantor::demo::Layout::Classic},
                                {song(1, "Björk", "Jóga"), song(2, "Кино", "Кукушка"),
                                 song(3, "宇多田ヒカル", "First Love"), song(4, "Isaac Albéniz", "Asturias"),
                                 song(5, "Bj\xF6rk", "Hyperballad")});
    return path;
}

}  // namespace

TEST(WindowsConsole, OnlyAConsoleHandleCountsAsOne) {
    TempDir dir;
    Owned file{CreateFileW((dir.path() / "out.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)};
    Owned nul{CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                          nullptr)};
    Owned pipeRead, pipeWrite;
    ASSERT_TRUE(CreatePipe(&pipeRead.h, &pipeWrite.h, nullptr, 0));
    EXPECT_FALSE(isConsole(file.h));
    EXPECT_FALSE(isConsole(nul.h));  // a character device, which _isatty would take for a console
    EXPECT_FALSE(isConsole(pipeWrite.h));
    EXPECT_FALSE(isConsole(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(isConsole(nullptr));  // a process started without standard handles
}

TEST(WindowsConsole, TheListingShowsEveryNameOnTheConsole) {
    TempDir dir;
    const std::string lib = namesLibrary(dir.path());
    const std::string screen =
        shownOnConsole({"--show", "--seed", "1", lib, "genre=rock", "", "1", "0", "0", "0", "result.txt"}, dir.path());
    // Each name whole, the en dash beside it, in the order of the list.
    std::size_t at = 0;
    for (const std::string name : {"1Björk–Jóga3:20", "2Кино–Кукушка3:20", "3宇多田ヒカル–FirstLove3:20",
                                   "4IsaacAlbéniz–Asturias3:20", "5Bj\xEF\xBF\xBDrk–Hyperballad3:20"}) {
        const std::size_t found = screen.find(name, at);
        EXPECT_NE(found, std::string::npos) << name << " after " << at << " in: " << screen;
        if (found != std::string::npos) at = found;
    }
    // What code page 437 makes of the UTF-8 of "ö" and of the en dash.
    EXPECT_EQ(screen.find("├╢"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("ΓÇô"), std::string::npos) << screen;
    EXPECT_EQ(readOnce(dir.path() / "result.txt"), "1,2,3,4,5");
}

TEST(WindowsConsole, BothStreamsShowInTheOrderTheyWereWritten) {
    // An empty query filter fails: the seed and the reason on standard error
    // come between standard output's lines, and the message that ends
    // standard output, without a line break, is there at the very end.
    TempDir dir;
    const std::string lib = namesLibrary(dir.path());
    const std::string screen =
        shownOnConsole({"--seed", "7", lib, "", "", "1", "0", "0", "0", "result.txt"}, dir.path());
    std::size_t at = 0;
    for (const std::string marker : {"vantor:seed7", "arg1:", "Unlock:0", "vantor:", "ERROR:PleaseeditQueryFilter"}) {
        const std::size_t found = screen.find(marker, at);
        ASSERT_NE(found, std::string::npos) << marker << " after " << at << " in: " << screen;
        at = found + marker.size();
    }
    EXPECT_EQ(at, screen.size()) << screen;
}
