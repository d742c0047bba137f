// mkdir(2) makes the folder 0700, and fails on any name already taken (a
// link included). A process is told by its ID and its start time in clock
// ticks since boot (/proc/PID/stat): a reused ID comes with a later start.
#include "platform/private_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string_view>
#include <system_error>

#include "platform/files.h"
#include "platform/paths.h"

namespace vantor::platform {
namespace {

namespace fs = std::filesystem;

// When process `pid` started, or nothing when there is no such process
// (`gone`) or its start cannot be read. The start is field 22 of
// /proc/PID/stat, counted after the name, which stands in parentheses and
// may hold any character.
std::optional<std::uint64_t> startOf(std::uint64_t pid, bool& gone) {
    const FileRead stat = readRegularFile("/proc/" + std::to_string(pid) + "/stat", 4096);
    gone = stat.kind == fs::file_type::not_found;
    if (stat.error != 0 || stat.content.empty()) return std::nullopt;
    const std::size_t nameEnd = stat.content.rfind(')');
    if (nameEnd == std::string::npos) return std::nullopt;
    std::string_view rest = std::string_view(stat.content).substr(nameEnd + 1);
    for (int field = 3; field < 22; ++field) {
        const std::size_t blank = rest.find(' ', 1);
        if (blank == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(blank);
    }
    rest.remove_prefix(1);
    std::uint64_t start = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), start);
    if (ec != std::errc() || end == rest.data()) return std::nullopt;
    return start;
}

std::optional<std::uint64_t> ownStart() {
    static const std::optional<std::uint64_t> start = [] {
        bool gone = false;
        return startOf(processId(), gone);
    }();
    return start;
}

// The temporary folder as SQLite will name the files in it: links resolved.
std::optional<fs::path> temporaryFolder(int& error) {
    std::error_code ec;
    fs::path parent = fs::temp_directory_path(ec);
    if (!ec) parent = fs::canonical(parent, ec);
    if (ec) {
        error = ec.value();
        return std::nullopt;
    }
    return parent;
}

}  // namespace

std::string newPrivateFolderName(int& error) {
    const std::optional<fs::path> parent = temporaryFolder(error);
    if (!parent) return {};
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937_64 random{std::random_device{}()};
    std::string tail;
    for (int i = 0; i < 8; ++i) tail += kLetters[random() % (sizeof kLetters - 1)];
    // Without a start time the folder names no process that a sweep could
    // find gone, and is only ever removed by the run that made it.
    const std::string start = ownStart() ? std::to_string(*ownStart()) : "unknown";
    const std::string name = std::string(kPrivateFolderPrefix) + std::to_string(processId()) + "-" + start + "-" + tail;
    return utf8Path(*parent / name);
}

int makePrivateFolder(const std::string& name) {
    return ::mkdir(nativePath(name).c_str(), 0700) == 0 ? 0 : errno;
}

void removeAbandonedPrivateFolders() {
    int error = 0;
    const std::optional<fs::path> parent = temporaryFolder(error);
    // Without our own start time, /proc cannot tell a live process from a gone one.
    if (!parent || !ownStart()) return;
    std::error_code ec;
    for (fs::directory_iterator it(*parent, ec), end; !ec && it != end; it.increment(ec)) {
        const std::optional<FolderMaker> maker = folderMaker(it->path().filename().native());
        if (!maker) continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
        bool gone = false;
        const std::optional<std::uint64_t> start = startOf(maker->pid, gone);
        if (gone || (start && *start != maker->start)) {
            std::error_code ignored;
            fs::remove_all(it->path(), ignored);
        }
    }
}

}  // namespace vantor::platform
