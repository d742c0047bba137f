// Console events: Windows runs the handler on a thread of its own while the
// run goes on, so the clean-up may wait. It tries again for a while: SQLite
// shares its files for reading and writing but not for deletion, so a copy's
// files go only once the run has closed them, which a stop makes it do soon
// (stopArrived ends its statements). Then the default handler ends the
// process with STATUS_CONTROL_C_EXIT, as the event would have.
#include "platform/stop_events.h"

#include <windows.h>

#include <system_error>

namespace vantor::platform {
namespace {

bool (*gCleanUp)() noexcept = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: break;
        default: return FALSE;
    }
    // Windows ends a closing console's processes after five seconds: two for this.
    for (int attempt = 0; attempt < 100 && !gCleanUp(); ++attempt) Sleep(20);
    // A file the run was making just as the stop came goes too.
    Sleep(50);
    gCleanUp();
    return FALSE;
}

}  // namespace

void catchStops(bool (*cleanUp)() noexcept) {
    gCleanUp = cleanUp;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool removeFileNow(const NativeChar* path) noexcept {
    if (DeleteFileW(path)) return true;
    const DWORD why = GetLastError();
    return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND;
}

bool removeFolderNow(const NativeChar* path) noexcept {
    // A thread of its own may allocate.
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return !std::filesystem::exists(path, ec) && !ec;
}

bool emptyFileNow(const NativeChar* path) noexcept {
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD why = GetLastError();
        return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND;
    }
    CloseHandle(file);
    return true;
}

void waitForTheEnd() noexcept {
    for (;;) Sleep(INFINITE);
}

}  // namespace vantor::platform
