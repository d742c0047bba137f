// A folder of our own under GetTempPathW. Its access list names this user
// alone, with full control, and takes nothing from the folder above
// ("D:P(A;OICI;FA;;;SID)"), so the files in it are no one else's to read
// even where the temporary folder is shared. Where the user's SID cannot be
// read, the folder takes the temporary folder's own access list, which on
// Windows is the user's profile, private already.
#include "platform/private_folder.h"

#include <windows.h>
#include <sddl.h>

#include <memory>
#include <string>

#include "platform/windows_text.h"

namespace vantor::platform {
namespace {

// "D:P(A;OICI;FA;;;S-1-5-21-...)" for the user this process runs as; "" when unknown.
std::wstring ownerOnlyAccess() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::unique_ptr<char[]> buffer(new char[size > 0 ? size : 1]);
    wchar_t* sid = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.get(), size, &size)) {
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &sid);
    }
    CloseHandle(token);
    if (sid == nullptr) return {};
    std::wstring access = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
    LocalFree(sid);
    return access;
}

std::wstring hex(unsigned long long value) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    for (int i = 0; i < 12; ++i, value >>= 4) text.push_back(digits[value & 0xF]);
    return text;
}

}  // namespace

std::string makePrivateFolder(int& error) {
    // TMP may name a folder past MAX_PATH; the call then says how much room it needs.
    std::wstring parent(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD n = GetTempPathW(static_cast<DWORD>(parent.size()), parent.data());
        if (n == 0) {
            error = static_cast<int>(GetLastError());
            return {};
        }
        const bool fits = n < parent.size();
        parent.resize(n);
        if (fits) break;
    }

    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring access = ownerOnlyAccess();
    if (!access.empty() &&
        ConvertStringSecurityDescriptorToSecurityDescriptorW(access.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        attributes.lpSecurityDescriptor = descriptor;
    }
    // CreateDirectoryW fails on any name already taken, so a name someone
    // guessed and took first only costs another try.
    static unsigned count = 0;
    std::wstring folder;
    error = ERROR_ALREADY_EXISTS;
    for (int attempt = 0; attempt < 100 && error == ERROR_ALREADY_EXISTS; ++attempt) {
        const unsigned long long seed = (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
                                        GetTickCount64() * 0x9E3779B97F4A7C15ull ^ count++;
        folder = parent + L"vantor-copy-" + hex(seed);
        error = CreateDirectoryW(folder.c_str(), &attributes) ? 0 : static_cast<int>(GetLastError());
    }
    if (descriptor != nullptr) LocalFree(descriptor);
    if (error != 0) return {};

    // SQLite names the files in it by their full path; so must we, to tell ours apart.
    return utf8FromWide(fullPathName(folder));
}

}  // namespace vantor::platform
