// A folder of our own under GetTempPathW. Its access list names this user
// alone, with full control, and takes nothing from the folder above
// ("D:P(A;OICI;FA;;;SID)"), so the files in it are no one else's to read
// even where the temporary folder is shared. Where the user's SID cannot be
// read, the folder takes the temporary folder's own access list, which on
// Windows is the user's profile, private already. A process is told by its
// ID and its creation time: a reused ID comes with a later one.
#include "platform/private_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/paths.h"
#include "platform/windows_text.h"

namespace vantor::platform {
namespace {

namespace fs = std::filesystem;

// The token's information of `kind` (TokenUser, TokenOwner), or nothing.
std::unique_ptr<char[]> tokenInformation(TOKEN_INFORMATION_CLASS kind) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::unique_ptr<char[]> buffer(size > 0 ? new char[size] : nullptr);
    if (buffer && !GetTokenInformation(token, kind, buffer.get(), size, &size)) buffer.reset();
    CloseHandle(token);
    return buffer;
}

// "D:P(A;OICI;FA;;;S-1-5-21-...)" for the user this process runs as; "" when unknown.
std::wstring ownerOnlyAccess() {
    const std::unique_ptr<char[]> user = tokenInformation(TokenUser);
    wchar_t* sid = nullptr;
    if (!user || !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid, &sid)) return {};
    std::wstring access = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
    LocalFree(sid);
    return access;
}

// The creation time of process `pid` as a number, or nothing when there is
// no such process still running (`gone`) or it cannot be told.
std::optional<std::uint64_t> startOf(DWORD pid, bool& gone) {
    gone = false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) {
        gone = GetLastError() == ERROR_INVALID_PARAMETER;  // no process has that ID
        return std::nullopt;
    }
    FILETIME created{}, exited{}, kernel{}, user{};
    DWORD exitCode = 0;
    std::optional<std::uint64_t> start;
    if (GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        start = (std::uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
    }
    // Ended, but someone still holds a handle to it.
    if (GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE) gone = true;
    CloseHandle(process);
    return start;
}

std::optional<std::uint64_t> ownStart() {
    static const std::optional<std::uint64_t> start = [] {
        bool gone = false;
        return startOf(GetCurrentProcessId(), gone);
    }();
    return start;
}

std::optional<std::wstring> temporaryFolder(int& error) {
    // TMP may name a folder past MAX_PATH; the call then says how much room it needs.
    std::wstring parent(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD n = GetTempPathW(static_cast<DWORD>(parent.size()), parent.data());
        if (n == 0) {
            error = static_cast<int>(GetLastError());
            return std::nullopt;
        }
        const bool fits = n < parent.size();
        parent.resize(n);
        if (fits) break;
    }
    // SQLite names the files in it by their full path; so must we, to tell ours apart.
    return fullPathName(parent);
}

// Whether `folder` is a folder (no link or junction) owned by this user: by
// its SID, or by the owner its processes give the files they make (an
// elevated run's is the Administrators group).
bool ownFolder(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return false;
    }
    const std::unique_ptr<char[]> user = tokenInformation(TokenUser), givenOwner = tokenInformation(TokenOwner);
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const bool same =
        owner != nullptr &&
        ((user && EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid)) ||
         (givenOwner && EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(givenOwner.get())->Owner)));
    LocalFree(descriptor);
    return same;
}

}  // namespace

std::string newPrivateFolderName(int& error) {
    const std::optional<std::wstring> parent = temporaryFolder(error);
    if (!parent) return {};
    static constexpr wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937_64 random{std::random_device{}() ^ GetTickCount64()};
    std::wstring tail;
    for (int i = 0; i < 8; ++i) tail += kLetters[random() % (std::size(kLetters) - 1)];
    // Without a start time the folder names no process that a sweep could
    // find gone, and is only ever removed by the run that made it.
    const std::wstring start = ownStart() ? std::to_wstring(*ownStart()) : L"unknown";
    const std::wstring folder = *parent + wideFromUtf8(kPrivateFolderPrefix) +
                                std::to_wstring(GetCurrentProcessId()) + L"-" + start + L"-" + tail;
    return utf8FromWide(folder);
}

int makePrivateFolder(const std::string& name) {
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring access = ownerOnlyAccess();
    if (!access.empty() &&
        ConvertStringSecurityDescriptorToSecurityDescriptorW(access.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        attributes.lpSecurityDescriptor = descriptor;
    }
    // CreateDirectoryW fails on any name already taken.
    const int error = CreateDirectoryW(nativePath(name).c_str(), &attributes) ? 0 : static_cast<int>(GetLastError());
    if (descriptor != nullptr) LocalFree(descriptor);
    return error;
}

void removeAbandonedPrivateFolders() {
    int error = 0;
    const std::optional<std::wstring> parent = temporaryFolder(error);
    if (!parent || !ownStart()) return;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(*parent), ec), end; !ec && it != end; it.increment(ec)) {
        const std::optional<FolderMaker> maker = folderMaker(utf8FromWide(it->path().filename().native()));
        if (!maker || maker->pid > 0xFFFFFFFFu || !ownFolder(it->path().native())) continue;
        bool gone = false;
        const std::optional<std::uint64_t> start = startOf(static_cast<DWORD>(maker->pid), gone);
        if (gone || (start && *start != maker->start)) {
            std::error_code ignored;
            fs::remove_all(it->path(), ignored);
        }
    }
}

}  // namespace vantor::platform
