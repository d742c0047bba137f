// vantor-console-host PROGRAM [ARGUMENTS...]: starts the program with its
// standard output and standard error on this process's console, opened for
// reading and writing as a console window hands them out, and ends with the
// program's exit status. The console tests run vantor.exe through it on a
// pseudo console, since Wine gives a process started there no console
// handles of its own, and cmd's "> CONOUT$" opens one for writing only,
// which GetConsoleMode refuses.
#include <windows.h>

#include <string>

int main() {
    // The rest of our own command line, exactly as it came: past our name
    // (quoted or not) and the blanks after it.
    const wchar_t* rest = GetCommandLineW();
    if (*rest == L'"') {
        ++rest;
        while (*rest != L'\0' && *rest != L'"') ++rest;
        if (*rest == L'"') ++rest;
    } else {
        while (*rest != L'\0' && *rest != L' ' && *rest != L'\t') ++rest;
    }
    while (*rest == L' ' || *rest == L'\t') ++rest;
    if (*rest == L'\0') return 125;

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherit, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return 126;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = console;
    startup.hStdError = console;
    PROCESS_INFORMATION child{};
    std::wstring command(rest);
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) return 127;
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    return static_cast<int>(status);
}
