// Windows: the arguments again from the UTF-16 command line, split by the
// system's own rules (CommandLineToArgvW, the ones the C runtime follows);
// stdout and stderr switched from text mode, which writes "\r\n" for "\n";
// and a stream that is a console written as UTF-16 by WriteConsoleW, the one
// call that shows every character whatever the console's code page. Bytes
// written one at a time to a console are read in its code page, and a
// character cut between two writes cannot show at all.
#include "platform/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "platform/console_lines.h"
#include "platform/windows_console.h"
#include "platform/windows_text.h"

namespace vantor::platform {
namespace {

// Writes in pieces a console of any Windows version takes, never splitting a
// surrogate pair.
bool writeConsole(HANDLE console, std::u16string_view text) {
    constexpr std::size_t kPiece = 8192;
    while (!text.empty()) {
        std::size_t n = std::min(text.size(), kPiece);
        if (n < text.size() && IS_HIGH_SURROGATE(text[n - 1])) --n;
        DWORD wrote = 0;
        if (!WriteConsoleW(console, text.data(), static_cast<DWORD>(n), &wrote, nullptr) || wrote == 0) return false;
        text.remove_prefix(wrote);
    }
    return true;
}

// The console's line buffers behind std::cout and std::cerr, for each of
// them that is a console. Destroyed at exit before the runtime's last flush
// of the streams: it writes what is held and gives the streams their own
// buffers back.
class ConsoleStreams {
public:
    ConsoleStreams(HANDLE out, HANDLE err)
        : lines_([out, err](ConsoleLines::Stream s, std::u16string_view text) {
              return writeConsole(s == ConsoleLines::Stream::Output ? out : err, text);
          }) {
        if (isConsole(out)) outSaved_ = std::cout.rdbuf(&lines_.buffer(ConsoleLines::Stream::Output));
        if (isConsole(err)) {
            errSaved_ = std::cerr.rdbuf(&lines_.buffer(ConsoleLines::Stream::Error));
            // The buffer writes whole lines; unitbuf would hand it every << apart.
            std::cerr.unsetf(std::ios::unitbuf);
        }
    }
    ~ConsoleStreams() {
        lines_.flush();
        if (outSaved_ != nullptr) std::cout.rdbuf(outSaved_);
        if (errSaved_ != nullptr) {
            std::cerr.rdbuf(errSaved_);
            std::cerr.setf(std::ios::unitbuf);
        }
    }
    ConsoleStreams(const ConsoleStreams&) = delete;
    ConsoleStreams& operator=(const ConsoleStreams&) = delete;

private:
    ConsoleLines lines_;
    std::streambuf* outSaved_ = nullptr;
    std::streambuf* errSaved_ = nullptr;
};

}  // namespace

bool isConsole(void* handle) {
    DWORD mode = 0;
    return GetConsoleMode(static_cast<HANDLE>(handle), &mode) != 0;
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return {argv, argv + argc};  // out of memory: the narrow ones are better than none
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) arguments.push_back(utf8FromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

void binaryStandardStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // Redirected, stdout is buffered in full, as on Linux: to a device (NUL)
    // the C runtime would write every byte with a system call of its own.
    if (!isConsole(GetStdHandle(STD_OUTPUT_HANDLE))) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    static ConsoleStreams consoles(GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE));
}

}  // namespace vantor::platform
