// The POSIX side of files.h: open(2) with O_NONBLOCK so a FIFO or a device
// never stalls the run, fstat(2) on what was really opened, and
// write/close/rename with every result checked. Names are bytes here, so
// nativePath is a copy; it is used all the same, as on every system.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "platform/paths.h"

namespace vantor::platform {
namespace {

std::filesystem::file_type kindOf(mode_t mode) {
    using std::filesystem::file_type;
    if (S_ISREG(mode)) return file_type::regular;
    if (S_ISDIR(mode)) return file_type::directory;
    if (S_ISFIFO(mode)) return file_type::fifo;
    if (S_ISCHR(mode)) return file_type::character;
    if (S_ISBLK(mode)) return file_type::block;
    if (S_ISSOCK(mode)) return file_type::socket;
    return file_type::unknown;
}

// Our descriptors are not handed to anything we might start.
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY;

int fd(std::intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

FileStatus fileStatus(const std::string& path) {
    FileStatus status;
    struct stat st {};
    if (::stat(nativePath(path).c_str(), &st) != 0) {
        status.error = errno;
        if (status.error == ENOENT || status.error == ENOTDIR) status.type = std::filesystem::file_type::not_found;
        return status;
    }
    status.type = kindOf(st.st_mode);
    status.permissions = static_cast<std::filesystem::perms>(st.st_mode & 07777);
    return status;
}

FileRead readRegularFile(const std::string& path, std::uint64_t maxBytes, bool prefixOnly) {
    FileRead read;
    // O_NONBLOCK: a FIFO that took the place of a checked file opens at once
    // instead of waiting for a writer, and is then refused by its type.
    const int fd = ::open(nativePath(path).c_str(), O_RDONLY | O_NONBLOCK | kOpenFlags);
    if (fd < 0) {
        read.error = errno;
        read.kind = read.error == ENOENT ? std::filesystem::file_type::not_found : std::filesystem::file_type::none;
        return read;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        read.error = errno;
        ::close(fd);
        return read;
    }
    read.kind = kindOf(st.st_mode);
    if (read.kind != std::filesystem::file_type::regular) {
        ::close(fd);
        return read;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > maxBytes && !prefixOnly) {
        read.tooLarge = true;
        ::close(fd);
        return read;
    }
    // The size is a hint: files in /proc say 0 and a file may still grow.
    read.content.reserve(static_cast<std::size_t>(std::min(size, maxBytes)));
    char buffer[65536];
    while (read.content.size() < maxBytes || !prefixOnly) {
        const std::size_t want =
            prefixOnly ? std::min<std::uint64_t>(sizeof buffer, maxBytes - read.content.size()) : sizeof buffer;
        const ssize_t got = ::read(fd, buffer, want);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            read.error = errno;
            break;
        }
        if (got == 0) break;
        read.content.append(buffer, static_cast<std::size_t>(got));
        if (!prefixOnly && read.content.size() > maxBytes) {
            read.tooLarge = true;
            break;
        }
    }
    ::close(fd);
    if (read.error != 0 || read.tooLarge) read.content.clear();
    return read;
}

OutputFile::~OutputFile() {
    if (handle_ != kClosed) ::close(fd(handle_));
}

int OutputFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(fd(handle_), bytes.data(), bytes.size());
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return errno;
        if (wrote == 0) return EIO;  // no progress and no reason: never loop on it
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return 0;
}

void OutputFile::truncate() noexcept {
    if (handle_ != kClosed) (void)::ftruncate(fd(handle_), 0);
}

int OutputFile::close() {
    const int closing = fd(handle_);
    handle_ = kClosed;
    // Linux releases the descriptor even when close reports an error, so it is never retried.
    return ::close(closing) == 0 ? 0 : errno;
}

int createNew(const std::string& path, OutputFile& file) {
    // O_EXCL also refuses a symbolic link in the way, so nothing else is ever written through it.
    const int fd = ::open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, 0666);
    if (fd < 0) return errno;
    file.handle_ = fd;
    return 0;
}

bool alreadyExists(int error) { return error == EEXIST; }

int openExistingOrNew(const std::string& path, OutputFile& file, std::filesystem::file_type& kind) {
    // Without O_TRUNC: nothing is emptied before fstat has said it is a regular file.
    const std::filesystem::path name = nativePath(path);
    int fd = ::open(name.c_str(), O_WRONLY | O_NONBLOCK | kOpenFlags);
    if (fd < 0 && errno == ENOENT) fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, 0666);
    if (fd < 0) {
        kind = std::filesystem::file_type::none;  // ENXIO: a FIFO without a reader, or a socket
        return errno;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int why = errno;
        ::close(fd);
        return why;
    }
    kind = kindOf(st.st_mode);
    if (kind != std::filesystem::file_type::regular) {
        ::close(fd);
        return EINVAL;
    }
    if (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, 0) != 0) {
        const int why = errno;
        ::close(fd);
        return why;
    }
    file.handle_ = fd;
    return 0;
}

bool mayWrite(const std::string& path) {
    // The effective user, as open(2) judges it.
    return ::faccessat(AT_FDCWD, nativePath(path).c_str(), W_OK, AT_EACCESS) == 0;
}

int replaceFile(const std::string& from, const std::string& to, bool& transient) {
    // rename(2) is atomic and does not mind readers holding the file open.
    transient = false;
    return ::rename(nativePath(from).c_str(), nativePath(to).c_str()) == 0 ? 0 : errno;
}

int copyFile(const std::string& from, const std::string& to) {
    // Not std::filesystem::copy_file: after a short copy it reports any
    // failed write as EIO, and a full disk must say so.
    const int in = ::open(nativePath(from).c_str(), O_RDONLY | O_NONBLOCK | kOpenFlags);
    if (in < 0) return errno;
    struct stat st {};
    int error = ::fstat(in, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? EINVAL : 0;
    OutputFile out;
    if (error == 0) {
        const int fd = ::open(nativePath(to).c_str(), O_WRONLY | O_CREAT | O_TRUNC | kOpenFlags, 0600);
        if (fd < 0 || ::fchmod(fd, 0600) != 0) error = errno;
        if (fd >= 0) out.handle_ = fd;
    }
    std::vector<char> buffer(error == 0 ? std::size_t{1} << 20 : 0);
    while (error == 0) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        error = out.write(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
    ::close(in);
    const int closed = out.isOpen() ? out.close() : 0;
    return error != 0 ? error : closed;
}

std::string settledPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(nativePath(path), ec);
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, ec);
    return utf8Path(ec ? absolute.lexically_normal() : canonical);
}

bool sameName(const std::string& a, const std::string& b) { return a == b; }

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(nativePath(a), nativePath(b), ec);
}

std::uint64_t processId() { return static_cast<std::uint64_t>(::getpid()); }

std::string errorText(int error) { return std::strerror(error); }

}  // namespace vantor::platform
