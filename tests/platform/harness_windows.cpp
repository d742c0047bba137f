// Starting the binary on Windows: one UTF-16 command line, each argument
// quoted so that the child's CommandLineToArgvW gives it back unchanged, and
// CreateProcessW with stdout and stderr going to files.
#include <windows.h>

#include "harness.h"
#include "platform/paths.h"
#include "platform/windows_text.h"

namespace vantor::testing {
namespace {

// Windows' rules: quotes around an argument with blanks or quotes (or none at
// all); inside them a quote is escaped by a backslash, and backslashes are
// doubled only where a quote follows them.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');  // they stand before the closing quote
    out.push_back(L'"');
    return out;
}

HANDLE inheritableFile(const fs::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int currentProcessId() { return static_cast<int>(GetCurrentProcessId()); }

std::string vantorBinary() {
    if (const wchar_t* fromEnvironment = _wgetenv(L"VANTOR_BINARY"); fromEnvironment != nullptr && *fromEnvironment) {
        return platform::utf8FromWide(fromEnvironment);
    }
    std::wstring self(MAX_PATH, L'\0');
    DWORD n = 0;
    while ((n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()))) == self.size()) {
        self.resize(self.size() * 2);
    }
    self.resize(n);
    return platform::utf8Path(fs::path(self).parent_path() / L"vantor.exe");
}

ProcessResult runBinary(const std::vector<std::string>& args, const fs::path& cwd, const RunOptions& options) {
    ProcessResult r;
    if (options.memoryLimitBytes > 0 || options.asNobody) {
        ADD_FAILURE() << "runBinary: " << (options.asNobody ? windows::kNoSetuid : windows::kNoMemoryLimit);
        return r;
    }
    const fs::path binary = platform::nativePath(vantorBinary());
    std::wstring commandLine = L"\"" + binary.native() + L"\"";
    for (const std::string& a : args) commandLine += L" " + quoted(platform::wideFromUtf8(a));
    if (commandLine.size() >= 32767) {  // the count includes the terminating zero
        ADD_FAILURE() << "runBinary: " << windows::kCommandLineLimit << "; this one has " << commandLine.size();
        return r;
    }

    const fs::path outFile = cwd / ".stdout", errFile = cwd / ".stderr";
    HANDLE in = inheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE out = inheritableFile(outFile, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritableFile(errFile, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessW(binary.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        cwd.c_str(), &startup, &child);
    for (HANDLE h : {in, out, err}) CloseHandle(h);
    if (!started) {
        ADD_FAILURE() << "CreateProcessW failed for " << vantorBinary() << ": error " << GetLastError();
        return r;
    }
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    r.status = static_cast<int>(status);
    r.out = slurp(outFile);
    r.err = slurp(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return r;
}

}  // namespace vantor::testing
