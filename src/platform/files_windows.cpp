// The Windows side of files.h: every name goes to the wide (UTF-16) calls
// through nativePath, so no ANSI code page is ever involved. Files are opened
// sharing read, write and delete, so the host can go on writing, renaming or
// deleting what we read; devices and pipes are told by name before anything
// is opened, and by GetFileType on what was opened.
#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <utility>

#include "platform/paths.h"
#include "platform/windows_text.h"

namespace vantor::platform {
namespace {

namespace fs = std::filesystem;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring wide(const std::string& path) { return nativePath(path).native(); }

HANDLE handleOf(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (ok()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }
    HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }

private:
    HANDLE h_;
};

bool isSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const wchar_t a = isSlash(text[i]) ? L'\\' : upper(text[i]);
        if (a != prefix[i]) return false;
    }
    return true;
}

// The last component of a path, without a stream suffix (":name", which
// names a part of the same file) and without the drive of "C:name".
std::wstring_view lastComponent(std::wstring_view path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (isSlash(path[i])) start = i + 1;
    }
    if (start == 0 && path.size() >= 2 && path[1] == L':') start = 2;
    std::wstring_view name = path.substr(start);
    return name.substr(0, std::min(name.find(L':'), name.size()));
}

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9, LPT1-9 (and the superscript
// digits Windows also takes there), in any case: Windows opens the device
// whatever the folder, and whatever follows the first dot ("nul.txt") or
// the blanks before it.
bool isDeviceName(std::wstring_view name) {
    std::wstring_view base = name.substr(0, std::min(name.find(L'.'), name.size()));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
    std::wstring upperBase;
    for (const wchar_t c : base) upperBase.push_back(upper(c));
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (upperBase == device) return true;
    }
    if (upperBase.size() != 4 || !(upperBase.starts_with(L"COM") || upperBase.starts_with(L"LPT"))) return false;
    const wchar_t digit = upperBase[3];
    return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

// What the name alone says: a device, a pipe, or nothing (then the disk decides).
fs::file_type kindByName(std::wstring_view path) {
    // "\\.\" and "\\?\" lead into the system's own name space: pipes, devices,
    // volumes. Only a drive or a share behind them is a file path.
    if (startsWithNoCase(path, L"\\\\.\\") || startsWithNoCase(path, L"\\\\?\\")) {
        const std::wstring_view rest = path.substr(4);
        if (startsWithNoCase(rest, L"PIPE\\")) return fs::file_type::fifo;
        const bool drivePath = rest.size() >= 3 && rest[1] == L':' && isSlash(rest[2]);
        if (!drivePath && !startsWithNoCase(rest, L"UNC\\")) return fs::file_type::character;
    }
    if (isDeviceName(lastComponent(path))) return fs::file_type::character;
    return fs::file_type::none;
}

// What an open handle is: a disk file or folder, a device, a pipe.
fs::file_type kindOfHandle(HANDLE h, int& error) {
    switch (GetFileType(h)) {
        case FILE_TYPE_CHAR: return fs::file_type::character;
        case FILE_TYPE_PIPE: return fs::file_type::fifo;
        case FILE_TYPE_DISK: break;
        default: return fs::file_type::unknown;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
        error = static_cast<int>(GetLastError());
        return fs::file_type::none;
    }
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? fs::file_type::directory
                                                                   : fs::file_type::regular;
}

bool isNotFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME || error == ERROR_INVALID_DRIVE;
}

// An open that failed: a folder, for which CreateFileW says only "access
// denied" unless asked for backup semantics (which we never ask for), or a
// plain failure.
fs::file_type kindAfterFailedOpen(const std::wstring& path, DWORD error) {
    if (isNotFound(error)) return fs::file_type::not_found;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return fs::file_type::directory;
    }
    return fs::file_type::none;
}

HANDLE openForReading(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// The name the system keeps for an open folder: links, junctions and short
// names resolved, "\\?\" taken off again.
std::wstring finalPath(HANDLE h) {
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()),
                                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        if (n < final.size()) {
            final.resize(n);
            break;
        }
        final.resize(n);
    }
    if (startsWithNoCase(final, L"\\\\?\\UNC\\")) return L"\\" + final.substr(7);
    if (startsWithNoCase(final, L"\\\\?\\")) return final.substr(4);
    return final;
}

// Volume serial number and file index of an existing file, opened only to
// read its attributes.
bool identity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    if (kindByName(path) != fs::file_type::none) return false;
    const Handle h(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h.ok() && GetFileInformationByHandle(h.get(), &info);
}

}  // namespace

FileStatus fileStatus(const std::string& path) {
    FileStatus status;
    const std::wstring name = wide(path);
    status.type = kindByName(name);
    if (status.type != fs::file_type::none) return status;
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        status.error = static_cast<int>(error);
        status.type = isNotFound(error) ? fs::file_type::not_found : fs::file_type::none;
        return status;
    }
    status.type = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? fs::file_type::directory : fs::file_type::regular;
    return status;
}

FileRead readRegularFile(const std::string& path, std::uint64_t maxBytes, bool prefixOnly) {
    FileRead read;
    const std::wstring name = wide(path);
    read.kind = kindByName(name);
    if (read.kind != fs::file_type::none) return read;
    const Handle h(openForReading(name));
    if (!h.ok()) {
        const DWORD error = GetLastError();
        read.kind = kindAfterFailedOpen(name, error);
        if (read.kind != fs::file_type::directory) read.error = static_cast<int>(error);
        return read;
    }
    read.kind = kindOfHandle(h.get(), read.error);
    if (read.kind != fs::file_type::regular) return read;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h.get(), &size)) {
        read.error = static_cast<int>(GetLastError());
        return read;
    }
    const auto bytes = static_cast<std::uint64_t>(size.QuadPart);
    if (bytes > maxBytes && !prefixOnly) {
        read.tooLarge = true;
        return read;
    }
    // The size is a hint: the file may still grow.
    read.content.reserve(static_cast<std::size_t>(std::min(bytes, maxBytes)));
    std::array<char, 65536> buffer;
    while (read.content.size() < maxBytes || !prefixOnly) {
        const std::uint64_t want =
            prefixOnly ? std::min<std::uint64_t>(buffer.size(), maxBytes - read.content.size()) : buffer.size();
        DWORD got = 0;
        if (!ReadFile(h.get(), buffer.data(), static_cast<DWORD>(want), &got, nullptr)) {
            read.error = static_cast<int>(GetLastError());
            break;
        }
        if (got == 0) break;
        read.content.append(buffer.data(), got);
        if (!prefixOnly && read.content.size() > maxBytes) {
            read.tooLarge = true;
            break;
        }
    }
    if (read.error != 0 || read.tooLarge) read.content.clear();
    return read;
}

OutputFile::~OutputFile() {
    if (handle_ != kClosed) CloseHandle(handleOf(handle_));
}

int OutputFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(handleOf(handle_), bytes.data(), piece, &wrote, nullptr)) {
            return static_cast<int>(GetLastError());
        }
        if (wrote == 0) return ERROR_WRITE_FAULT;  // no progress and no reason: never loop on it
        bytes.remove_prefix(wrote);
    }
    return 0;
}

void OutputFile::truncate() noexcept {
    if (handle_ == kClosed) return;
    LARGE_INTEGER start{};
    if (SetFilePointerEx(handleOf(handle_), start, nullptr, FILE_BEGIN)) SetEndOfFile(handleOf(handle_));
}

int OutputFile::close() {
    const HANDLE closing = handleOf(handle_);
    handle_ = kClosed;
    return CloseHandle(closing) ? 0 : static_cast<int>(GetLastError());
}

int createNew(const std::string& path, OutputFile& file) {
    const std::wstring name = wide(path);
    if (kindByName(name) != fs::file_type::none) return ERROR_INVALID_NAME;
    // CREATE_NEW fails on anything already there, a link included. Shared
    // for deletion, so that a stop can remove it while it is being written.
    const HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    file.handle_ = reinterpret_cast<std::intptr_t>(h);
    return 0;
}

bool alreadyExists(int error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

int openExistingOrNew(const std::string& path, OutputFile& file, fs::file_type& kind) {
    const std::wstring name = wide(path);
    kind = kindByName(name);
    if (kind != fs::file_type::none) return ERROR_INVALID_NAME;
    // Without truncating: nothing is emptied before its type is known. A
    // reader that shares the file for writing does not stop us.
    HANDLE opened = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
        opened = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        kind = kindAfterFailedOpen(name, error);
        if (kind != fs::file_type::directory) kind = fs::file_type::none;
        return static_cast<int>(error);
    }
    Handle h(opened);
    int error = 0;
    kind = kindOfHandle(h.get(), error);
    if (kind != fs::file_type::regular) {
        if (kind == fs::file_type::none) return error;
        return ERROR_INVALID_NAME;
    }
    if (!SetEndOfFile(h.get())) return static_cast<int>(GetLastError());
    file.handle_ = reinterpret_cast<std::intptr_t>(h.release());
    return 0;
}

bool mayWrite(const std::string& path) {
    const std::wstring name = wide(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
    // The file's access list, as the system judges it for us. A reader
    // holding the file is no refusal: replacing it waits for that reader.
    const Handle h(CreateFileW(name.c_str(), FILE_WRITE_DATA, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h.ok()) return true;
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

int replaceFile(const std::string& from, const std::string& to, bool& transient) {
    transient = false;
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    const DWORD error = GetLastError();
    // A reader that opened the result file without sharing it for deletion
    // blocks the replace until it closes it: Windows says "access denied" or
    // "sharing violation" then. A file we may not write was refused before.
    transient = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    return static_cast<int>(error);
}

int copyFile(const std::string& from, const std::string& to) {
    // CopyFileW shares the source for reading only, which fails while the
    // host has the library open for writing; this copy shares everything.
    const std::wstring source = wide(from), target = wide(to);
    if (kindByName(source) != fs::file_type::none || kindByName(target) != fs::file_type::none) {
        return ERROR_INVALID_NAME;
    }
    const Handle in(openForReading(source));
    if (!in.ok()) return static_cast<int>(GetLastError());
    int error = 0;
    if (kindOfHandle(in.get(), error) != fs::file_type::regular) return error != 0 ? error : ERROR_INVALID_NAME;
    // The folder is our own private one; the copy inherits its access list.
    // Shared for deletion only, so that a stop can remove it mid-copy.
    Handle out(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.ok()) return static_cast<int>(GetLastError());
    std::string buffer(1 << 20, '\0');
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            return static_cast<int>(GetLastError());
        }
        if (got == 0) break;
        DWORD wrote = 0;
        if (!WriteFile(out.get(), buffer.data(), got, &wrote, nullptr)) return static_cast<int>(GetLastError());
        if (wrote != got) return ERROR_WRITE_FAULT;
    }
    return CloseHandle(out.release()) ? 0 : static_cast<int>(GetLastError());
}

std::string settledPath(const std::string& path) {
    std::wstring full = fullPathName(wide(path));
    // The last component as Windows opens it: no stream suffix, no trailing
    // dots or blanks ("lib.db." and "lib.db::$DATA" are lib.db).
    std::size_t start = full.find_last_of(L"\\/");
    start = start == std::wstring::npos ? 0 : start + 1;
    std::wstring name = full.substr(start);
    name.resize(std::min(name.find(L':'), name.size()));
    while (!name.empty() && name != L"." && name != L".." && (name.back() == L'.' || name.back() == L' ')) {
        name.pop_back();
    }
    std::wstring folder = full.substr(0, start);
    // The folder as the system names it, where it exists.
    const Handle h(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (h.ok()) {
        std::wstring final = finalPath(h.get());
        if (!final.empty()) {
            if (!isSlash(final.back())) final.push_back(L'\\');
            folder = std::move(final);
        }
    }
    return utf8FromWide(folder + name);
}

bool sameName(const std::string& a, const std::string& b) {
    const std::wstring wa = wideFromUtf8(a), wb = wideFromUtf8(b);
    // The file system's own comparison: ordinal, upper-casing both.
    return CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()),
                                TRUE) == CSTR_EQUAL;
}

bool sameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return identity(wide(a), first) && identity(wide(b), second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

std::uint64_t processId() { return GetCurrentProcessId(); }

std::string errorText(int error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(error), 0,
                                   reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
    if (text != nullptr) LocalFree(text);
    // One line, without the period and line break the system ends it with.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.' ||
                                message.back() == L' ')) {
        message.pop_back();
    }
    if (message.empty()) return "Windows error " + std::to_string(error);
    return utf8FromWide(message);
}

}  // namespace vantor::platform
