// Starting the binary on Windows: one UTF-16 command line, each argument
// quoted so that the child's CommandLineToArgvW gives it back unchanged, and
// CreateProcessW with stdout and stderr going to files.
#include <windows.h>

#include <cwchar>

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

std::optional<std::string> environmentVariable(const std::string& name) {
    const std::wstring wideName = platform::wideFromUtf8(name);
    const DWORD n = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (n == 0) return std::nullopt;
    std::wstring value(n, L'\0');
    value.resize(GetEnvironmentVariableW(wideName.c_str(), value.data(), n));
    return platform::utf8FromWide(value);
}

void setEnvironmentVariable(const std::string& name, const std::optional<std::string>& value) {
    // The process's own block, which GetTempPathW reads and children inherit.
    SetEnvironmentVariableW(platform::wideFromUtf8(name).c_str(),
                            value ? platform::wideFromUtf8(*value).c_str() : nullptr);
}

bool runningAsRoot() { return false; }

unsigned systemAnsiCodePage() {
    // This test program's own manifest makes its GetACP() 65001; the system's page is kept here.
    wchar_t text[16] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", L"ACP", RRF_RT_REG_SZ,
                     nullptr, text, &size) != ERROR_SUCCESS) {
        return 0;
    }
    return static_cast<unsigned>(std::wcstoul(text, nullptr, 10));
}

bool underWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::uint64_t fileIdentity(const fs::path& path) {
    HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return known ? (std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow) : 0;
}

unsigned currentUmask() { return 0; }

std::string readOnce(const fs::path& path) {
    // Shared as C's fopen shares it: reading and writing, not deletion.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string text;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(h, &size)) {
        text.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(h, text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) got = 0;
        text.resize(got);
    }
    CloseHandle(h);
    return text;
}

std::shared_ptr<void> holdOpen(const fs::path& path, bool shareWriting) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | (shareWriting ? FILE_SHARE_WRITE : 0), nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) ADD_FAILURE() << "cannot open " << platform::utf8Path(path) << ": " << GetLastError();
    return std::shared_ptr<void>(h, [](HANDLE held) {
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    });
}

std::string builtBeside(const std::string& name) {
    std::wstring self(MAX_PATH, L'\0');
    DWORD n = 0;
    while ((n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()))) == self.size()) {
        self.resize(self.size() * 2);
    }
    self.resize(n);
    return platform::utf8Path(fs::path(self).parent_path() / platform::nativePath(name + ".exe"));
}

std::string vantorBinary() {
    if (const std::optional<std::string> fromEnvironment = environmentVariable("VANTOR_BINARY");
        fromEnvironment && !fromEnvironment->empty()) {
        return *fromEnvironment;
    }
    return builtBeside("vantor");
}

ProcessResult runBinary(const std::vector<std::string>& args, const fs::path& cwd, const RunOptions& options) {
    ProcessResult r;
    if (options.memoryLimitBytes > 0 || options.asNobody || options.fileSizeLimitBytes > 0) {
        ADD_FAILURE() << "runBinary: "
                      << (options.asNobody             ? windows::kNoSetuid
                          : options.fileSizeLimitBytes ? windows::kNoFileSizeLimit
                                                       : windows::kNoMemoryLimit);
        return r;
    }
    const fs::path binary = platform::nativePath(options.binary.empty() ? vantorBinary() : options.binary);
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
        ADD_FAILURE() << "CreateProcessW failed for " << platform::utf8Path(binary) << ": error " << GetLastError();
        return r;
    }
    const DWORD wait = options.timeoutSeconds > 0 ? static_cast<DWORD>(options.timeoutSeconds) * 1000 : INFINITE;
    DWORD status = 0;
    if (WaitForSingleObject(child.hProcess, wait) == WAIT_TIMEOUT) {
        TerminateProcess(child.hProcess, kKilled);
        WaitForSingleObject(child.hProcess, INFINITE);
    }
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
