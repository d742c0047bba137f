// Windows' odd files: a folder, and device names in their spellings (any
// case, an extension, blanks before it, in a subfolder); a list file that
// another program has locked as the file whose read fails.
#include <windows.h>

#include <gtest/gtest.h>

#include "harness.h"
#include "odd_files.h"
#include "platform/files.h"

namespace vantor::testing {

namespace fs = std::filesystem;

std::vector<OddFile> oddFiles() {
    return {
        {"folder", "it is a folder", "odd", [](const fs::path& p) { fs::create_directories(p); }},
        {"NUL", "it is a device", "NUL", {}},
        {"con with an extension", "it is a device", "con.txt", {}},
        {"COM1 in lower case", "it is a device", "com1", {}},
        {"LPT9 with blanks and an extension", "it is a device", "Lpt9 .db", {}},
        {"AUX in a subfolder", "it is a device", "sub\\aux.ini", {}},
        {"PRN with a stream", "it is a device", "prn:x", {}},
    };
}

std::vector<UnreadableFile> unreadableFiles(const fs::path& dir) {
    if (underWine()) {
        return {{"a list file another program has locked", "locked", "", nullptr,
                 "Wine does not enforce another program's byte-range lock on a read"}};
    }
    // The whole file locked by this process: another one's ReadFile fails.
    const fs::path path = dir / "locked";
    spit(path, "1,2,3");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED whole{};
    if (h == INVALID_HANDLE_VALUE || !LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        ADD_FAILURE() << "cannot lock " << path.string() << ": " << GetLastError();
    }
    const std::shared_ptr<void> hold(h, [](HANDLE handle) {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    });
    return {{"a list file another program has locked", "locked", platform::errorText(ERROR_LOCK_VIOLATION), hold, ""}};
}

}  // namespace vantor::testing
